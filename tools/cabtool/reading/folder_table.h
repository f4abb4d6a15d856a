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
    std::uint32_t firstBlock = 0;  // offset of its first data block in the cabinet
};

struct CabinetInfo {
    std::uint32_t size = 0;
    std::uint16_t setId = 0;
    std::uint16_t index = 0;
    std::uint16_t fileCount = 0;
    std::uint16_t flags = 0;
    std::uint16_t cabinetReserve = 0;  // reserve sizes: per cabinet, folder, data block
    std::uint8_t folderReserve = 0;
    std::uint8_t blockReserve = 0;
    std::uint32_t filesOffset = 0;  // of the first file entry
    std::string previousName, nextName;
    std::string previousDisk, nextDisk;
    std::vector<FolderInfo> folders;
};

// False with why filled when the header or folder table cannot be read. The
// cabinet begins at `offset` in the file (a cabinet inside another file).
bool readCabinetInfo(const std::string &path, CabinetInfo &info, std::string &why, std::uint64_t offset = 0);

// One file entry as stored.
struct StoredFile {
    std::uint32_t size = 0;
    std::uint32_t offset = 0;  // of its data in its folder
    std::uint16_t folder = 0;  // with the continuation values 0xFFFD to 0xFFFF
    std::uint16_t date = 0;
    std::uint16_t time = 0;
    std::uint16_t attributes = 0;
    std::string name;
};

// The file list of a cabinet read by readCabinetInfo at the same offset;
// false with why filled when it is cut short or a name is unterminated.
bool readFileTable(const std::string &path, const CabinetInfo &info, std::vector<StoredFile> &files,
                   std::string &why, std::uint64_t offset = 0);

// "none", "MSZIP", "Quantum window 2^N", "LZX window 2^N", or the raw number.
std::string describeCompression(std::uint16_t type);

}  // namespace cabtool
