#include "output_path.h"

#include <cstring>

namespace {

// Lead byte of a double-byte character of code page 932.
bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameLetters(const char* part, std::size_t length, const char* name)
{
    if (std::strlen(name) != length)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (Upper(part[i]) != name[i])
            return false;
    }
    return true;
}

// The system opens a device for these names whatever follows the first dot,
// and ignores spaces before it.
bool NamesDevice(const char* part, std::size_t length)
{
    std::size_t base = 0;
    while (base < length && part[base] != '.')
        ++base;
    while (base > 0 && part[base - 1] == ' ')
        --base;
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (SameLetters(part, base, device))
            return true;
    }
    if (base == 4 && part[3] >= '1' && part[3] <= '9')
        return SameLetters(part, 3, "COM") || SameLetters(part, 3, "LPT");
    return false;
}

// Dots and spaces alone: "..", and what the system trims down to it or to nothing.
bool OnlyDotsAndSpaces(const char* part, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (part[i] != '.' && part[i] != ' ')
            return false;
    }
    return true;
}

bool IsSafePart(const char* part, std::size_t length)
{
    return length > 0 && !OnlyDotsAndSpaces(part, length) && !NamesDevice(part, length);
}

} // namespace

bool IsSafeStoredName(const char* stored)
{
    const char* part = stored;
    for (const char* p = stored;; ++p) {
        const char c = *p;
        if (c == '\0' || c == '\\' || c == '/') {
            if (!IsSafePart(part, static_cast<std::size_t>(p - part)))
                return false;
            if (c == '\0')
                return true;
            part = p + 1;
        } else if (c == ':') {
            return false;  // a drive or a stream
        } else if (IsLeadByte(static_cast<unsigned char>(c)) && p[1] != '\0') {
            ++p;
        }
    }
}

OutputPathStatus JoinOutputPath(char (&out)[kOutputPathSize], const char* folder, const char* stored)
{
    out[0] = '\0';
    if (!IsSafeStoredName(stored))
        return OutputPathStatus::Unsafe;
    const std::size_t folderLength = std::strlen(folder);
    const std::size_t storedLength = std::strlen(stored);
    if (folderLength + storedLength >= kOutputPathSize)
        return OutputPathStatus::TooLong;
    std::memcpy(out, folder, folderLength);
    std::memcpy(out + folderLength, stored, storedLength + 1);
    return OutputPathStatus::Ok;
}
