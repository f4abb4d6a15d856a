// Stored file names as text. A name whose entry has attribute 0x80 is UTF-8;
// the others are in code page 932, the code page of the systems that made
// these cabinets.
#pragma once

#include <cstdint>
#include <string>

namespace cabtool {

// The name as UTF-8: a UTF-8 name as it is stored (broken sequences left for
// the caller), the others converted from code page 932 with U+FFFD for each
// character that has no meaning there.
std::string storedNameAsUtf8(const std::string &stored, std::uint16_t attributes);

// True for a byte that begins a double-byte character of code page 932.
inline bool isDoubleByteLead(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace cabtool
