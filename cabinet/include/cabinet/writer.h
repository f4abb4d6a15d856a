// The cabinet writer: builds cabinet files (and sets of cabinets) from a list
// of files, for the command-line tool and for the tests of the engine.
//
// Usage: make a Writer with Options, add files in the order they are to be
// stored, optionally begin new folders with beginFolder, then call build or
// buildToDirectory. Files added by path are read during the build, a block at
// a time. Every operation answers true on success; on failure, error() says
// why. The writer never throws on bad input.
//
// Layout decisions that a reader of the output can rely on:
// - Within a folder, every data block except the folder's last holds exactly
//   32768 uncompressed bytes.
// - With a cabinet size limit, a folder that runs on into the next cabinet
//   carries only the files that began in the earlier cabinet: the first file
//   that would begin in the later cabinet starts a new folder there. Every file
//   that begins in a cabinet can therefore be extracted starting from that
//   cabinet alone; files that began earlier are listed first, as continued.
//   Options::continueFolders lifts this (see there).
// - A folder goes on into the next cabinet only together with a file that
//   crosses the edge: listed in both, going on (0xFFFE or 0xFFFF) in the
//   earlier and continued (0xFFFD or 0xFFFF) in the later, where its entry
//   comes before those of the files that begin there. That entry is what tells
//   a reader that the later cabinet's folder 0 began before it.
// - A data block never spans more than two cabinets; a size limit too small to
//   allow that fails the build.
// - A cabinet lists at most 65535 files and 65532 folders; with a size limit
//   the next cabinet of the set is begun when either is full.
// - A folder's stream stays below 4 GiB: a file that would pass it begins a
//   new folder. A file itself holds at most 4 GiB - 1 bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cabwriter {

// Compression methods by their number in the folder's compression type.
enum class Method : std::uint8_t {
    None = 0,
    Mszip = 1,
    Quantum = 2,
    Lzx = 3,
};

struct Compression {
    Method method = Method::Mszip;
    // Window size exponent for the methods that have one (stored in bits 8 to
    // 12 of the compression type; Quantum takes 10 to 21); MSZIP and stored ignore it.
    std::uint8_t windowBits = 0;
    // LZX: rewrite the targets of x86 CALL instructions (0xE8) as absolute
    // addresses, which makes program code compress better. Not part of the
    // type word; the first file of a folder decides it for the folder.
    bool callTranslation = true;

    // The 16-bit compression type as a folder entry stores it.
    std::uint16_t typeWord() const;
};

// Parses "none", "mszip", "quantum" (window exponent 21) and "quantum:N" with
// N from 10 to 21, "lzx" (window exponent 21) and "lzx:N" with N from 15 to 21
// (case-insensitive). Answers false for anything else, including methods this
// writer cannot encode yet.
bool parseCompression(const std::string &text, Compression &out);

struct Options {
    // Method of the folders not begun explicitly with Writer::beginFolder.
    Compression compression;
    // Start a new folder after this many files; 0 keeps one folder as long as
    // nothing else forces a new one.
    std::uint32_t filesPerFolder = 0;
    // Largest size of one cabinet file in bytes; 0 means one cabinet of any size.
    // When the files do not fit, the output is a set of cabinets. Without a
    // limit a file must fit into one folder (maxBlocksPerFolder blocks, about
    // 2 GiB), and the whole cabinet into 2 GiB; larger input needs a limit.
    std::uint32_t maxCabinetSize = 0;
    // With a size limit: the folder that runs on into the next cabinet takes
    // further files there too, as the format allows. They are listed in the
    // later cabinet with folder index 0 and offsets counted from the start of
    // the whole folder, so a reader that extracts them has to decode that
    // folder from the cabinet where it began, and needs the cabinets before
    // it. Packs better (no folder entry and no fresh start of the compression
    // history per cabinet) but readers that take folder 0 of a later cabinet
    // for the folder's start get those files wrong, so it is off by default.
    // Where nothing of the folder crosses the edge (a file ends exactly with
    // a data block that fills the cabinet), the next file begins a new folder
    // as without this option.
    bool continueFolders = false;
    // Data blocks one folder may hold in one cabinet: the format's count field
    // takes 65535. A full folder goes on in the next cabinet of the set, as
    // when the size limit is reached. Lowered only by tests, which reach the
    // count without gigabytes of input.
    std::uint32_t maxBlocksPerFolder = 65535;
    // Reserve areas. The reserve sizes are written (flag bit 2) when any of
    // them is nonzero, or always with reserveFieldsAlways.
    std::uint16_t cabinetReserve = 0;
    std::uint8_t folderReserve = 0;
    std::uint8_t blockReserve = 0;
    bool reserveFieldsAlways = false;
    std::uint8_t reserveFill = 0;  // the byte every reserve area is filled with
    // Data-block checksums; without them every block stores 0.
    bool checksums = true;
    std::uint16_t setId = 0;
    // File name of the first cabinet; later ones are named by setMemberName.
    // Only the file name is stored in the headers, so the cabinets of a set are
    // expected to lie side by side.
    std::string firstCabinetName = "out.cab";
    // Disk names stored for previous and next cabinets: this label followed by
    // the disk number from 1 ("DISK1", ...); an empty label stores empty names.
    std::string diskLabel = "DISK";
    // Called during the build as input is taken in, with the bytes just
    // taken, for a progress display; Writer::inputSize is what they add up to.
    std::function<void(std::uint32_t)> onInput;
};

struct FileInfo {
    // Name to store. '/' is stored as '\', the separator inside cabinets.
    // Absolute names, drive letters, empty parts and "." or ".." parts are
    // refused unless verbatimName is set.
    std::string name;
    std::uint16_t date = 0x0021;  // 1980-01-01, packed MS-DOS date
    std::uint16_t time = 0;       // packed MS-DOS time
    std::uint16_t attributes = 0x20;
    // Store name byte for byte (only an empty name, a NUL byte or more than 255
    // bytes are refused): for callers that form names themselves, such as a
    // tool whose names are in a double-byte code page where 0x5C may be half
    // of a character, and for tests that need hostile names.
    bool verbatimName = false;
};

struct CabinetImage {
    std::string name;  // file name of this cabinet within its set
    std::vector<std::uint8_t> bytes;
};

class Writer {
public:
    explicit Writer(Options options);
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    bool addFile(const FileInfo &info, std::vector<std::uint8_t> bytes);
    // The file is read when build runs; its size is taken now and must not change.
    bool addFileFromPath(const FileInfo &info, const std::string &path);
    // Files added after this call go into a new folder with this method.
    void beginFolder(const Compression &compression);

    // Lays out and encodes everything added so far. One image per cabinet, in
    // set order. The writer may be built only once.
    bool build(std::vector<CabinetImage> &cabinets);
    // Builds the same cabinets as build but writes each into directory (which
    // must exist) as it is completed, so memory stays within a few megabytes
    // whatever the size of the input or of the cabinets. The cabinets take
    // their names only when the whole set is written: a build that fails
    // leaves no cabinet behind and files of the same names as they were.
    // Temporary files (NAME.PID.tmp, blocks.PID.tmp) lie in directory meanwhile.
    bool buildToDirectory(const std::string &directory, std::vector<std::string> *writtenPaths = nullptr);

    const std::string &error() const;
    // Bytes of all the files added so far.
    std::uint64_t inputSize() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Name of set member `index` (0 = the first cabinet): "OUT.cab", "OUT2.cab",
// "OUT3.cab"... The number goes before the last extension, or at the end when
// there is none.
std::string setMemberName(const std::string &firstName, unsigned index);

// Data-block checksum: XOR of the little-endian 32-bit words, then of the tail
// bytes as the format packs them, starting from seed.
std::uint32_t checksum(const std::uint8_t *bytes, std::size_t count, std::uint32_t seed);

// Packed MS-DOS date and time from calendar values (year 1980 to 2107).
std::uint16_t dosDate(int year, int month, int day);
std::uint16_t dosTime(int hour, int minute, int second);

}  // namespace cabwriter
