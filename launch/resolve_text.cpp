#include "resolve.h"

#include <cstdlib>
#include <cstring>

bool IsSchemeTarget(const char* text)
{
    if (text == nullptr || text[0] == '\0')
        return false;
    const char* colon = std::strchr(text, ':');
    return colon != nullptr && colon - text >= 2;
}

bool IsShiftJisLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

namespace {

void CopyRange(char (&out)[kTextSize], const char* begin, const char* end)
{
    std::size_t length = static_cast<std::size_t>(end - begin);
    if (length > kTextSize - 1)
        length = kTextSize - 1;
    std::memcpy(out, begin, length);
    out[length] = '\0';
}

} // namespace

void SplitPath(const char* path, PathParts& parts)
{
    const char* p = path;
    if (p[0] != '\0' && p[1] == ':' && !IsShiftJisLeadByte(static_cast<unsigned char>(p[0]))) {
        CopyRange(parts.drive, p, p + 2);
        p += 2;
    } else {
        parts.drive[0] = '\0';
    }

    // Last separator and last dot, stepping over double-byte characters whole.
    const char* lastSeparator = nullptr;
    const char* lastDot = nullptr;
    const char* end = p;
    while (*end != '\0') {
        const unsigned char c = static_cast<unsigned char>(*end);
        if (IsShiftJisLeadByte(c) && end[1] != '\0') {
            end += 2;
            continue;
        }
        if (c == '\\' || c == '/')
            lastSeparator = end;
        else if (c == '.')
            lastDot = end;
        ++end;
    }

    const char* nameStart = p;
    if (lastSeparator != nullptr) {
        CopyRange(parts.dir, p, lastSeparator + 1);
        nameStart = lastSeparator + 1;
    } else {
        parts.dir[0] = '\0';
    }

    if (lastDot != nullptr && lastDot >= nameStart) {
        CopyRange(parts.name, nameStart, lastDot);
        CopyRange(parts.ext, lastDot, end);
    } else {
        CopyRange(parts.name, nameStart, end);
        parts.ext[0] = '\0';
    }
}

void ProgramFolderOf(const char* modulePath, char (&folder)[kTextSize])
{
    PathParts parts;
    SplitPath(modulePath, parts);
    if (parts.dir[0] == '\0' || !JoinText(folder, parts.drive, parts.dir))
        JoinText(folder, "\\", "");
}

void ParseIconLocation(const char* value, IconLocation& location)
{
    location.file[0] = '\0';
    location.index = 0;

    const char* p = value;
    while (*p == ' ')
        ++p;

    const char* fileStart = p;
    const char* fileEnd;
    if (*p == '"') {
        // A quoted name may hold commas; it ends at the closing quote.
        fileStart = ++p;
        while (*p != '\0' && *p != '"')
            ++p;
        fileEnd = p;
        if (*p == '"')
            ++p;
    } else {
        while (*p != '\0' && *p != ',')
            ++p;
        fileEnd = p;
    }
    CopyRange(location.file, fileStart, fileEnd);

    while (*p == ' ')
        ++p;
    if (*p == ',')
        location.index = std::strtol(p + 1, nullptr, 10);
}

bool JoinText(char* out, const char* a, const char* b, const char* c)
{
    const std::size_t la = std::strlen(a);
    const std::size_t lb = std::strlen(b);
    const std::size_t lc = std::strlen(c);
    if (la + lb + lc > kTextSize - 1) {
        out[0] = '\0';
        return false;
    }
    std::memcpy(out, a, la);
    std::memcpy(out + la, b, lb);
    std::memcpy(out + la + lb, c, lc);
    out[la + lb + lc] = '\0';
    return true;
}
