// Length-limited canonical prefix codes for the encoders.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cabwriter {

// Code lengths for symbols with the given frequencies, none longer than
// maxLength (at most 16). The code always fills the code space exactly, as
// strict readers demand: with one symbol in use a second one gets a code too;
// with none in use every length is 0.
void buildCodeLengths(const std::uint32_t *frequencies, std::size_t count, unsigned maxLength,
                      std::uint8_t *lengths);

// Canonical codes for the lengths (shorter codes first, then by symbol),
// most significant bit first.
void canonicalCodes(const std::uint8_t *lengths, std::size_t count, std::uint16_t *codes);

}  // namespace cabwriter
