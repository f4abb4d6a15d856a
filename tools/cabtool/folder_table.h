// The cabinet header and folder table, read directly: the engine walks files
// but does not describe folders, which `cabtool list` shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cabtool {

struct FolderInfo {
    std::uint16_t blocks = 0;
    std::uint16_t type = 0;
};

struct CabinetInfo {
    std::uint32_t size = 0;
    std::uint16_t setId = 0;
    std::uint16_t index = 0;
    std::uint16_t fileCount = 0;
    std::uint32_t filesOffset = 0;  // of the first file entry
    std::string previousName, nextName;
    std::vector<FolderInfo> folders;
};

// False with why filled when the header or folder table cannot be read. The
// cabinet begins at `offset` in the file (a cabinet inside another file).
bool readCabinetInfo(const std::string &path, CabinetInfo &info, std::string &why, std::uint64_t offset = 0);

// "none", "MSZIP", "Quantum window 2^N", "LZX window 2^N", or the raw number.
std::string describeCompression(std::uint16_t type);

}  // namespace cabtool
