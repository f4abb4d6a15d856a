#pragma once

#include <windows.h>

#include <cabinet/writer.h>

#include <string>
#include <vector>

#include "win/launch_model/win_fixture.h"

// Files for test cabinets, written with the project's cabinet writer.
struct StoredFile {
    std::string name;
    std::string bytes;
    WORD attributes = 0x20;
    WORD date = 0x5A87;  // 2025-04-07
    WORD time = 0x6B2E;  // 13:25:28
};

// Writes the cabinet (or set) named `name` into `folder`; false on any failure.
inline bool WriteCabinet(const std::string& folder, const std::string& name, const std::vector<StoredFile>& files,
                         std::uint32_t maxCabinetSize = 0)
{
    cabwriter::Options options;
    options.firstCabinetName = name;
    options.maxCabinetSize = maxCabinetSize;
    options.setId = 0x4F52;
    cabwriter::Writer writer(options);
    for (const StoredFile& file : files) {
        cabwriter::FileInfo info;
        info.name = file.name;
        info.verbatimName = true;
        info.date = file.date;
        info.time = file.time;
        info.attributes = file.attributes;
        if (!writer.addFile(info, std::vector<std::uint8_t>(file.bytes.begin(), file.bytes.end())))
            return false;
    }
    return writer.buildToDirectory(folder);
}

inline std::string ReadFileBytes(const std::string& path)
{
    std::string bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return "<missing>";
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.append(chunk, n);
    std::fclose(f);
    return bytes;
}

// Names in `folder` that look like the updater's temporary files.
inline int CountTemporaryFiles(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA((folder + "\\*.tmp").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do {
        ++count;
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
    return count;
}

// Pseudo-random bytes that deflate cannot shrink, so that a file spans blocks.
inline std::string NoiseBytes(std::size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 23);
    }
    return bytes;
}
