// The writer's internals: the files as added, and the layout that places their
// encoded blocks into one cabinet or a set of cabinets.
#pragma once

#include <cabinet/writer.h>

#include <cstdint>
#include <string>
#include <vector>

namespace cabwriter {

// A file entry's size field is 32 bits.
inline constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFu;

// Options::maxBlocksPerFolder within what a folder entry can count.
std::uint32_t blockLimit(const Options &options);

struct SourceFile {
    FileInfo info;
    std::string stored;  // the name as written into the file entry
    std::vector<std::uint8_t> bytes;
    std::string path;    // read during the build when not empty
    std::uint32_t size = 0;
    bool newFolderBefore = false;
    Compression compression;
};

// Places the files in order, encodes each folder's stream block by block, and
// serialises the cabinets. One use per object.
bool layOutCabinets(const Options &options, const std::vector<SourceFile> &files,
                    std::vector<CabinetImage> &cabinets, std::string &error);

}  // namespace cabwriter
