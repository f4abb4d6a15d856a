// The writer's internals: the files as added, and the layout that places their
// encoded blocks into one cabinet or a set of cabinets.
#pragma once

#include <cabinet/writer.h>

#include <cstdint>
#include <cstdio>
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

// Where the layout puts the cabinets, in set order. The data blocks of the
// cabinet being filled arrive as they are placed; when nothing more goes into
// it, its head (header, folder entries and file entries, which come before the
// blocks in the file) arrives with its name. The head is known only then: it
// counts the files and folders and points at the blocks.
class CabinetSink {
public:
    virtual ~CabinetSink() = default;
    virtual bool appendBlocks(const std::uint8_t *bytes, std::size_t count, std::string &error) = 0;
    virtual bool finishCabinet(const std::string &name, const std::vector<std::uint8_t> &head,
                               std::string &error) = 0;
};

// Places the files in order, encodes each folder's stream block by block, and
// hands each cabinet to the sink as it is completed; only the blocks an
// encoder holds back and the lists of files and folders are kept meanwhile.
bool layOutCabinets(const Options &options, const std::vector<SourceFile> &files, CabinetSink &sink,
                    std::string &error);

// A sink that writes the cabinets as files into a folder. Cabinets are written
// under temporary names beside their own and given their names only by
// commit, so a build that fails leaves neither a partial set nor a damaged
// earlier one; whatever commit did not rename is removed when the sink goes.
// Block data beyond a few megabytes per cabinet waits in a scratch file there
// until the cabinet's head is known.
class CabinetFiles final : public CabinetSink {
public:
    explicit CabinetFiles(std::string folder);
    ~CabinetFiles() override;
    CabinetFiles(const CabinetFiles &) = delete;
    CabinetFiles &operator=(const CabinetFiles &) = delete;

    bool appendBlocks(const std::uint8_t *bytes, std::size_t count, std::string &error) override;
    bool finishCabinet(const std::string &name, const std::vector<std::uint8_t> &head, std::string &error) override;
    // Gives every cabinet written its name, in set order; on failure the ones
    // renamed already are removed too. The final paths are appended to written.
    bool commit(std::vector<std::string> &written, std::string &error);

private:
    bool spill(std::string &error);
    bool copySpill(std::FILE *out);
    void discard();

    std::string folder_;
    std::string tag_;  // makes the temporary names this process's own
    std::vector<std::uint8_t> buffer_;
    std::vector<std::uint8_t> copy_;
    std::FILE *spill_ = nullptr;
    std::string spillPath_;
    std::uint64_t spilled_ = 0;
    std::vector<std::string> temporary_;
    std::vector<std::string> final_;
};

}  // namespace cabwriter
