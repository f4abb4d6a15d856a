// Shared by the probes: texts of the programs are in code page 932, the
// scripts that read them work in UTF-8.
#pragma once

#include <windows.h>

#include <cstdio>

inline void PrintUtf8(const char* label, const char* ansi)
{
    WCHAR wide[1024] = {};
    char utf8[4096] = {};
    if (MultiByteToWideChar(932, 0, ansi, -1, wide, 1024) > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::printf("%s: %s\n", label, utf8);
}
