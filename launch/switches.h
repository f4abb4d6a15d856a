#pragma once

#include <cstdint>

// What the launcher's command line asks for. Bit n of `groupMask` stands for
// the group with index n ("/1" is bit 0, "/2" bit 1, "/3" bit 2); `skinOne`
// is set by "/F".
struct Switches {
    std::uint32_t groupMask = 0;
    bool skinOne = false;
};

// Reads blank-separated switches. Only the blank separates tokens (a tab is
// an ordinary character), and a switch counts only when its letter ends the
// token: "/1x", "/12" and "/f" are no switches. Tokens that do not start with
// a slash are skipped whole.
constexpr Switches ParseSwitches(const char* commandLine)
{
    Switches result;
    if (commandLine == nullptr)
        return result;
    const char* p = commandLine;
    while (*p != '\0') {
        while (*p == ' ')
            ++p;
        if (*p == '\0')
            break;
        if (*p == '/' && p[1] != '\0' && (p[2] == ' ' || p[2] == '\0')) {
            switch (p[1]) {
            case '1': result.groupMask |= 1u; break;
            case '2': result.groupMask |= 2u; break;
            case '3': result.groupMask |= 4u; break;
            case 'F': result.skinOne = true; break;
            default: break;
            }
        }
        while (*p != '\0' && *p != ' ')
            ++p;
    }
    return result;
}

// The group that the switches pick at a first start, before the saved
// LaunchNum replaces it: the lowest switch given wins. -1 when none is given.
constexpr int FirstStartGroup(std::uint32_t groupMask)
{
    if (groupMask & 1u)
        return 0;
    if (groupMask & 2u)
        return 1;
    if (groupMask & 4u)
        return 2;
    return -1;
}
