// Salvage: a damaged cabinet set read as far as it can be read.
//
// The engine stops at the first thing wrong, by design. Salvage reads the
// structures itself with ordinary file reads, trusting no size or offset it
// has not checked against the file, and keeps what it can: the cabinets of the
// set up to the first one missing or unreadable, each folder as the stream it
// forms across cabinets, and every file entry that can be read and placed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace cabtool {

// Little-endian fields of the format.
inline std::uint16_t le16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t le32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(le16(p)) | static_cast<std::uint32_t>(le16(p + 2)) << 16;
}

// Reads from one cabinet file; every read must lie wholly inside the file.
class CabinetBytes {
public:
    // The cabinet from byte `base` of the file at path on (a cabinet inside
    // another file). False when path is not a regular file or cannot be opened.
    bool open(const std::string &path, std::uint64_t base = 0);
    std::uint64_t size() const { return size_; }
    bool readAt(std::uint64_t offset, void *buffer, std::size_t count);
    // Reads what there is of count bytes at offset; answers how many.
    std::size_t readUpTo(std::uint64_t offset, void *buffer, std::size_t count);

private:
    struct Closer {
        void operator()(std::FILE *f) const { std::fclose(f); }
    };
    bool fill(std::uint64_t offset);

    std::unique_ptr<std::FILE, Closer> file_;
    std::uint64_t base_ = 0;
    std::uint64_t size_ = 0;  // from base_ on
    // Reads go through a window of the file: the structures are read a few
    // bytes at a time, mostly in order.
    std::vector<std::uint8_t> window_;
    std::uint64_t windowStart_ = 0;
};

// One folder's data blocks in one cabinet.
struct SalvageSegment {
    std::string cabinet;    // path
    std::uint64_t base = 0;  // of the cabinet in that file
    std::uint32_t firstBlock = 0;
    std::uint16_t blocks = 0;
    std::uint16_t type = 0;
    std::uint32_t blockHeaderSize = 8;  // with the per-block reserve
};

// A folder's stream as it runs on through the cabinets of the set.
struct SalvageFolder {
    std::vector<SalvageSegment> segments;
    std::string label;  // "folder N of X.cab", for messages
    // It began in a cabinet before the one given: its offsets cannot be reached.
    bool startsEarlier = false;
};

inline constexpr std::size_t kNoFolder = static_cast<std::size_t>(-1);

struct SalvageFile {
    std::string name;
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
    std::uint16_t date = 0;
    std::uint16_t time = 0;
    std::uint16_t attributes = 0;
    std::size_t folder = kNoFolder;  // into SalvageSet::folders; none for an empty file
    bool begunEarlier = false;       // listed as running on from an earlier cabinet
};

struct SalvageSet {
    std::vector<SalvageFolder> folders;
    std::vector<SalvageFile> files;  // in list order, each file once
    int problems = 0;                // damage to the structures, already reported
};

// Reads the cabinet at byte `base` of the file at path, and the later
// cabinets of its set that lie beside that file. False only when path cannot be read as a cabinet at all (why filled);
// damage found on the way is reported and counted in problems.
bool readSalvageSet(const std::string &path, std::uint64_t base, SalvageSet &set, std::string &why);

}  // namespace cabtool
