// Placing files into cabinets.
//
// Files are taken in order and poured into the current folder's stream; every
// 32768 bytes of stream become one data block, encoded and placed in the
// current cabinet. An encoder that codes several data blocks together (LZX)
// hands them over a few at a time, so placing may lag behind taking files. Room is counted as the cabinet fills: header and set
// names, folder entries, the file entry of every file listed, and the blocks.
//
// When a block does not fit, its first bytes stay in the current cabinet as
// the first piece of a split block (uncompressed size 0) and the rest opens the
// next cabinet, whose folder 0 continues the folder. Every file with bytes in
// or after that block is listed again in the new cabinet as continued. A file
// never begins inside a continued folder: extraction that starts at a later
// cabinet decodes its folders from their first block, which a continued folder
// in that cabinet does not have. So before a file's entry is taken, the
// cabinet must have room for it plus a block header and a byte of data, which
// guarantees that the block holding its first byte starts in this cabinet when
// blocks are placed as they are made. When the encoder holds blocks back, that
// block may land in a later cabinet; the file is then listed there as
// continued and is extracted from the cabinet that lists it first.
//
// With continueFolders, a file that finds no room for its entry stays in the
// open folder and is listed in the next cabinet, as beginning there in its
// folder 0. What makes that readable is a file that crosses the edge: the
// files waiting for the next cabinet begin in the block being filled, which
// also holds the end of a file listed here, and that block is made to reach
// into the next cabinet (split, or moved there whole). When the block being
// filled is empty, everything listed here has all its bytes here and nothing
// would cross; the file then begins a new folder as without the option. An
// encoder that holds blocks back would make this cabinet's room look larger
// than it is, so near the edge its blocks are placed before a file is taken.
#include "layout.h"

#include "encoder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace cabwriter {

namespace {

constexpr std::uint16_t kContinuedFromPrevious = 0xFFFD;
constexpr std::uint16_t kContinuedToNext = 0xFFFE;
constexpr std::uint16_t kContinuedBothWays = 0xFFFF;
constexpr std::uint16_t kFlagPrevious = 1;
constexpr std::uint16_t kFlagNext = 2;
constexpr std::uint16_t kFlagReserve = 4;
constexpr std::uint64_t kNoLimit = 0x7FFFFFFF;  // offsets are read as signed 32-bit seeks
constexpr std::size_t kMaxFilesPerCabinet = 0xFFFF;
// Folder indexes from 0xFFFD up mark continued files.
constexpr std::size_t kMaxFoldersPerCabinet = kContinuedFromPrevious - 1;
// Placement::firstCabinet of a file that waits for the next cabinet's list.
constexpr std::uint32_t kNotListedYet = 0xFFFFFFFF;
// Files that may wait for the next cabinet: with the continued files (one per
// byte of a block at most) they stay within what one cabinet lists.
constexpr std::size_t kMaxWaiting = kMaxFilesPerCabinet - 32768 - 1;

// A folder's part in one cabinet. Its blocks go to the sink as they are
// placed; only their count and size are kept for the folder entry.
struct CabFolder {
    std::uint32_t folder = 0;  // index into Folder list
    std::uint32_t blocks = 0;  // data blocks and pieces of split ones
    std::uint64_t dataBytes = 0;  // their headers and data
};

struct CabPlan {
    std::vector<CabFolder> folders;
    std::vector<std::uint32_t> listed;  // files, in the order they were taken up
    std::uint64_t used = 0;
};

struct Folder {
    std::uint16_t type = 0;
    std::uint32_t firstCabinet = 0;
    std::uint64_t streamSize = 0;
    std::vector<std::uint32_t> files;
};

struct Placement {
    std::uint32_t folder = 0;
    std::uint32_t offset = 0;
    std::uint32_t firstCabinet = 0;
    std::uint32_t lastCabinet = 0;
};

void put16(std::vector<std::uint8_t> &out, std::size_t at, std::uint32_t value)
{
    out[at] = static_cast<std::uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

void put32(std::vector<std::uint8_t> &out, std::size_t at, std::uint32_t value)
{
    put16(out, at, value & 0xFFFF);
    put16(out, at + 2, value >> 16);
}

void appendText(std::vector<std::uint8_t> &out, const std::string &text)
{
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

class Layout {
public:
    Layout(const Options &options, const std::vector<SourceFile> &files, CabinetSink &sink, std::string &error)
        : options_(options), files_(files), sink_(sink), error_(error)
    {
        limit_ = options.maxCabinetSize != 0 ? options.maxCabinetSize : kNoLimit;
        continueFolders_ = options.continueFolders && options.maxCabinetSize != 0;
        blockLimit_ = blockLimit(options);
        reserveFields_ = options.reserveFieldsAlways || options.cabinetReserve != 0 ||
                         options.folderReserve != 0 || options.blockReserve != 0;
        folderEntrySize_ = 8u + options.folderReserve;
        blockHeaderSize_ = 8u + options.blockReserve;
        placements_.resize(files.size());
        blockHeader_.assign(blockHeaderSize_, options.reserveFill);
    }

    bool run()
    {
        if (!newCabinet(false, 0)) {
            return false;
        }
        for (std::uint32_t i = 0; i < files_.size(); ++i) {
            if (!takeFile(i)) {
                return false;
            }
        }
        return closeFolder() && finishCabinet(current());
    }

private:
    std::string cabinetName(std::uint32_t c) const { return setMemberName(options_.firstCabinetName, c); }

    std::string diskName(std::uint32_t c) const
    {
        return options_.diskLabel.empty() ? std::string() : options_.diskLabel + std::to_string(c + 1);
    }

    std::uint64_t fixedHeaderSize(std::uint32_t c, bool previous, bool next) const
    {
        std::uint64_t size = 36;
        if (reserveFields_) {
            size += 4u + options_.cabinetReserve;
        }
        if (previous) {
            size += cabinetName(c - 1).size() + 1 + diskName(c - 1).size() + 1;
        }
        if (next) {
            size += cabinetName(c + 1).size() + 1 + diskName(c + 1).size() + 1;
        }
        return size;
    }

    std::uint64_t entrySize(std::uint32_t file) const { return 16u + files_[file].stored.size() + 1; }

    std::uint64_t room() const
    {
        const std::uint64_t used = cabs_.back().used;
        return used >= limit_ ? 0 : limit_ - used;
    }

    std::uint32_t current() const { return static_cast<std::uint32_t>(cabs_.size() - 1); }

    bool tooSmall()
    {
        error_ = "the cabinet size limit of " + std::to_string(options_.maxCabinetSize) +
                 " bytes is too small for this layout (a data block may span only two cabinets)";
        return false;
    }

    // Opens the next cabinet. When the open folder goes on into it, the folder
    // becomes the new cabinet's folder 0 and every file with bytes at or after
    // stream offset `from` is listed there again.
    bool newCabinet(bool continueFolder, std::uint64_t from)
    {
        const auto c = static_cast<std::uint32_t>(cabs_.size());
        if (c > 0 && options_.maxCabinetSize == 0) {
            error_ = "the cabinet would pass 2 GiB, the most one cabinet can hold; a cabinet size limit "
                     "(--max-cabinet) makes a set of cabinets instead";
            return false;
        }
        CabPlan plan;
        // Every cabinet but the last names its successor; the last simply ends
        // up smaller than counted here.
        plan.used = fixedHeaderSize(c, c > 0, options_.maxCabinetSize != 0);
        if (continueFolder) {
            plan.folders.push_back(CabFolder{openFolder_, 0, 0});
            plan.used += folderEntrySize_;
            // A folder's files end in stream order, so those with bytes at or
            // after `from` are its last ones.
            const std::vector<std::uint32_t> &inFolder = folders_[openFolder_].files;
            const auto goingOn = std::partition_point(inFolder.begin(), inFolder.end(), [&](std::uint32_t file) {
                return placements_[file].offset + std::uint64_t{files_[file].size} <= from;
            });
            bool crossing = false;
            for (auto it = goingOn; it != inFolder.end(); ++it) {
                Placement &p = placements_[*it];
                if (files_[*it].size != 0 && p.firstCabinet != kNotListedYet) {
                    p.lastCabinet = c;
                    plan.listed.push_back(*it);
                    plan.used += entrySize(*it);
                    crossing = true;
                }
            }
            if (!crossing) {
                error_ = "internal: a folder would go on into cabinet " + std::to_string(c + 1) +
                         " without a file that crosses into it";
                return false;
            }
            for (std::uint32_t file : waiting_) {
                placements_[file].firstCabinet = placements_[file].lastCabinet = c;
                plan.listed.push_back(file);
                plan.used += entrySize(file);
            }
            waiting_.clear();
        } else if (!waiting_.empty()) {
            error_ = "internal: files wait for a cabinet that does not continue their folder";
            return false;
        }
        cabs_.push_back(std::move(plan));
        // Nothing more goes into the cabinet before: it is complete.
        if (c > 0 && !finishCabinet(c - 1)) {
            return false;
        }
        if (cabs_.back().used > limit_) {
            return tooSmall();
        }
        return true;
    }

    bool openFolder(const Compression &compression)
    {
        encoder_ = makeEncoder(compression, error_);
        if (!encoder_) {
            return false;
        }
        Folder folder;
        folder.type = compression.typeWord();
        folder.firstCabinet = current();
        folders_.push_back(folder);
        openFolder_ = static_cast<std::uint32_t>(folders_.size() - 1);
        hasOpenFolder_ = true;
        cabs_.back().folders.push_back(CabFolder{openFolder_, 0, 0});
        cabs_.back().used += folderEntrySize_;
        placedStart_ = 0;
        pending_.clear();
        return true;
    }

    bool closeFolder()
    {
        if (!hasOpenFolder_) {
            return true;
        }
        if (!pending_.empty() && !flushPending()) {
            return false;
        }
        std::vector<EncodedBlock> ready;
        if (!encoder_->flush(ready, error_) || !placeReady(ready)) {
            return false;
        }
        if (!waiting_.empty()) {
            error_ = "internal: a folder ended with files that wait for the next cabinet";
            return false;
        }
        hasOpenFolder_ = false;
        encoder_.reset();
        return true;
    }

    // The current cabinet lists as many files or folders as it can: the file
    // begins the next cabinet of the set, or without a size limit there is none.
    bool cabinetFullBefore(const SourceFile &file)
    {
        if (options_.maxCabinetSize == 0) {
            error_ = "one cabinet lists at most 65535 files and 65532 folders; a cabinet size limit "
                     "(--max-cabinet) makes a set of cabinets that holds " + file.stored;
            return false;
        }
        // Placing the closed folder's last blocks may already have begun one.
        const CabPlan &plan = cabs_.back();
        if (plan.listed.size() < kMaxFilesPerCabinet && plan.folders.size() < kMaxFoldersPerCabinet) {
            return true;
        }
        return newCabinet(false, 0);
    }

    bool takeFile(std::uint32_t index)
    {
        const SourceFile &file = files_[index];
        const std::uint64_t entry = entrySize(index);
        // Room for the entry, a block header and one byte of the block that
        // will hold the file's first byte.
        const std::uint64_t needed = entry + blockHeaderSize_ + 1;
        bool newFolder = !hasOpenFolder_ || file.newFolderBefore ||
                         (options_.filesPerFolder != 0 &&
                          folders_[openFolder_].files.size() >= options_.filesPerFolder) ||
                         folders_[openFolder_].type != file.compression.typeWord();
        if (!newFolder && !continueFolders_) {
            newFolder = folders_[openFolder_].firstCabinet != current() || room() < needed;
        }
        // A folder's stream offsets are 32 bits; without a size limit it must
        // also fit its blocks into the one cabinet.
        if (!newFolder) {
            const std::uint64_t stream = folders_[openFolder_].streamSize + file.size;
            newFolder = stream > kMaxFileSize ||
                        (options_.maxCabinetSize == 0 && stream > std::uint64_t{blockLimit_} * kBlockSize);
        }
        bool wait = false;
        if (!newFolder && continueFolders_) {
            if (!placeHeldNearEdge(needed)) {
                return false;
            }
            // Files after one that waits wait too, so that cabinets keep the
            // folder's files in stream order. A folder part that counts all
            // the blocks it may have here leaves no more room than a full cabinet.
            if (!waiting_.empty() || room() < needed || folderPartFull()) {
                newFolder = waiting_.size() >= kMaxWaiting || (waiting_.empty() && pending_.empty());
                wait = !newFolder;
            }
        }
        if (!wait && (cabs_.back().listed.size() >= kMaxFilesPerCabinet ||
                      (newFolder && cabs_.back().folders.size() >= kMaxFoldersPerCabinet))) {
            if (!closeFolder() || !cabinetFullBefore(file)) {
                return false;
            }
            newFolder = true;
        }
        if (newFolder) {
            if (!closeFolder()) {
                return false;
            }
            if (room() < needed + folderEntrySize_) {
                if (!newCabinet(false, 0)) {
                    return false;
                }
                if (room() < needed + folderEntrySize_) {
                    return tooSmall();
                }
            }
            if (!openFolder(file.compression)) {
                return false;
            }
        }
        Folder &folder = folders_[openFolder_];
        Placement &placement = placements_[index];
        placement.folder = openFolder_;
        placement.offset = static_cast<std::uint32_t>(folder.streamSize);
        folder.files.push_back(index);
        folder.streamSize += file.size;
        if (wait) {
            placement.firstCabinet = placement.lastCabinet = kNotListedYet;
            waiting_.push_back(index);
        } else {
            placement.firstCabinet = placement.lastCabinet = current();
            cabs_.back().listed.push_back(index);
            cabs_.back().used += entry;
        }
        return pour(file);
    }

    bool folderPartFull() const { return cabs_.back().folders.back().blocks >= blockLimit_; }

    // Near the edge, so that room() counts the blocks an encoder holds back:
    // a file must not be listed here when the block holding its first byte
    // would only begin in a later cabinet, nor wait needlessly.
    bool placeHeldNearEdge(std::uint64_t needed)
    {
        const std::uint32_t held = encoder_->heldBlocks();
        if (held == 0 || (room() >= needed + std::uint64_t{held} * (blockHeaderSize_ + kLargestEncodedBlock) &&
                          cabs_.back().folders.back().blocks + held < blockLimit_)) {
            return true;
        }
        std::vector<EncodedBlock> ready;
        return encoder_->flush(ready, error_) && placeReady(ready);
    }

    void reportInput(std::uint32_t bytes) const
    {
        if (options_.onInput) {
            options_.onInput(bytes);
        }
    }

    // Feeds a file's bytes into the pending block, placing every full block.
    bool pour(const SourceFile &file)
    {
        if (file.path.empty()) {
            std::uint32_t done = 0;
            while (done < file.size) {
                const std::uint32_t take =
                    std::min<std::uint32_t>(file.size - done, kBlockSize - static_cast<std::uint32_t>(pending_.size()));
                pending_.insert(pending_.end(), file.bytes.begin() + done, file.bytes.begin() + done + take);
                done += take;
                reportInput(take);
                if (pending_.size() == kBlockSize && !flushPending()) {
                    return false;
                }
            }
            return true;
        }
        std::FILE *in = std::fopen(file.path.c_str(), "rb");
        if (in == nullptr) {
            error_ = file.path + ": cannot open: " + std::strerror(errno);
            return false;
        }
        std::uint32_t done = 0;
        bool ok = true;
        while (ok && done < file.size) {
            const std::size_t have = pending_.size();
            const std::uint32_t take =
                std::min<std::uint32_t>(file.size - done, kBlockSize - static_cast<std::uint32_t>(have));
            pending_.resize(have + take);
            if (std::fread(pending_.data() + have, 1, take, in) != take) {
                error_ = file.path + ": cannot read all of it (did it shrink?)";
                ok = false;
                break;
            }
            done += take;
            reportInput(take);
            if (pending_.size() == kBlockSize) {
                ok = flushPending();
            }
        }
        if (ok && std::fgetc(in) != EOF) {
            error_ = file.path + " grew while it was being stored";
            ok = false;
        }
        std::fclose(in);
        return ok;
    }

    // Hands the pending block to the encoder and places whatever it has
    // finished; an encoder may hold blocks back and finish several at once.
    bool flushPending()
    {
        std::vector<EncodedBlock> ready;
        if (!encoder_->queueBlock(pending_.data(), static_cast<std::uint32_t>(pending_.size()), ready, error_)) {
            return false;
        }
        pending_.clear();
        return placeReady(ready);
    }

    bool placeReady(std::vector<EncodedBlock> &ready)
    {
        for (EncodedBlock &block : ready) {
            const std::uint64_t start = placedStart_;
            placedStart_ += block.uncompressed;
            if (!place(block.data, static_cast<std::uint16_t>(block.uncompressed), start)) {
                return false;
            }
        }
        return true;
    }

    // Writes a data block (or a piece of a split one) into the current
    // cabinet: header with checksum, reserve area, then the data.
    bool emitBlock(const std::uint8_t *data, std::size_t size, std::uint16_t uncompressed)
    {
        put32(blockHeader_, 0, 0);
        put16(blockHeader_, 4, static_cast<std::uint32_t>(size));
        put16(blockHeader_, 6, uncompressed);
        if (options_.checksums) {
            const std::uint32_t sum = checksum(data, size, 0);
            put32(blockHeader_, 0, checksum(blockHeader_.data() + 4, blockHeaderSize_ - 4, sum));
        }
        if (!sink_.appendBlocks(blockHeader_.data(), blockHeader_.size(), error_) ||
            !sink_.appendBlocks(data, size, error_)) {
            return false;
        }
        CabPlan &plan = cabs_.back();
        plan.used += blockHeaderSize_ + size;
        plan.folders.back().blocks += 1;
        plan.folders.back().dataBytes += blockHeaderSize_ + size;
        return true;
    }

    bool place(const std::vector<std::uint8_t> &data, std::uint16_t uncompressed, std::uint64_t streamOffset)
    {
        const std::uint64_t header = blockHeaderSize_;
        while (true) {
            // A folder entry counts its blocks in this cabinet in 16 bits.
            if (folderPartFull()) {
                if (!newCabinet(true, streamOffset)) {
                    return false;
                }
                continue;
            }
            const std::uint64_t free = room();
            // Files that begin in this block wait for the next cabinet, so the
            // block has to reach into it, whole or as its second piece.
            const bool mustCross = !waiting_.empty();
            if (!mustCross && header + data.size() <= free) {
                return emitBlock(data.data(), data.size(), uncompressed);
            }
            if (free >= header + 1 && data.size() >= 2) {
                // The first piece of a split block counts no uncompressed bytes.
                const std::size_t first = static_cast<std::size_t>(std::min<std::uint64_t>(free - header, data.size() - 1));
                if (!emitBlock(data.data(), first, 0) || !newCabinet(true, streamOffset)) {
                    return false;
                }
                const std::size_t rest = data.size() - first;
                if (header + rest > room()) {
                    return tooSmall();
                }
                return emitBlock(data.data() + first, rest, uncompressed);
            }
            if (!newCabinet(true, streamOffset)) {
                return false;
            }
            if (room() < header + 1) {
                return tooSmall();
            }
        }
    }

    // A cabinet's folders are in the order they were opened, so a search by
    // number finds one without a walk over tens of thousands of them per file.
    std::uint16_t folderIndexIn(std::uint32_t c, std::uint32_t folder) const
    {
        const auto &list = cabs_[c].folders;
        const auto found = std::lower_bound(list.begin(), list.end(), folder,
                                            [](const CabFolder &f, std::uint32_t wanted) { return f.folder < wanted; });
        return found != list.end() && found->folder == folder ? static_cast<std::uint16_t>(found - list.begin()) : 0;
    }

    // Hands a complete cabinet's head to the sink and forgets its lists.
    bool finishCabinet(std::uint32_t c)
    {
        std::vector<std::uint8_t> head;
        if (!serialiseHead(c, head) || !sink_.finishCabinet(cabinetName(c), head, error_)) {
            return false;
        }
        cabs_[c].listed = {};
        cabs_[c].folders = {};
        return true;
    }

    // The header, folder entries and file entries of cabinet c: everything
    // before its data blocks, which the sink already has.
    bool serialiseHead(std::uint32_t c, std::vector<std::uint8_t> &out)
    {
        const CabPlan &plan = cabs_[c];
        const bool set = cabs_.size() > 1;
        const bool previous = set && c > 0;
        const bool next = set && c + 1 < cabs_.size();
        if (plan.folders.size() >= kContinuedFromPrevious) {
            error_ = "too many folders in one cabinet";
            return false;
        }
        if (plan.listed.size() > 0xFFFF) {
            error_ = "more than 65535 files in one cabinet";
            return false;
        }

        // Continued files first (the reader steps over them in this order when
        // it arrives from the previous cabinet), then the files that begin
        // here, then those that go on into the next cabinet: a reader that
        // follows a file into the next cabinet never returns to this list.
        std::vector<std::uint32_t> order;
        for (int group = 0; group < 3; ++group) {
            for (std::uint32_t file : plan.listed) {
                const Placement &p = placements_[file];
                const int g = p.firstCabinet < c ? 0 : (p.lastCabinet > c ? 2 : 1);
                if (g == group) {
                    order.push_back(file);
                }
            }
        }

        out.assign(36, 0);
        out[0] = 'M';
        out[1] = 'S';
        out[2] = 'C';
        out[3] = 'F';
        put16(out, 24, 0x0103);
        put16(out, 26, static_cast<std::uint32_t>(plan.folders.size()));
        put16(out, 28, static_cast<std::uint32_t>(order.size()));
        put16(out, 30, (previous ? kFlagPrevious : 0) | (next ? kFlagNext : 0) | (reserveFields_ ? kFlagReserve : 0));
        put16(out, 32, options_.setId);
        put16(out, 34, c);
        if (reserveFields_) {
            out.resize(40);
            put16(out, 36, options_.cabinetReserve);
            out[38] = options_.folderReserve;
            out[39] = options_.blockReserve;
            out.insert(out.end(), options_.cabinetReserve, options_.reserveFill);
        }
        if (previous) {
            appendText(out, cabinetName(c - 1));
            appendText(out, diskName(c - 1));
        }
        if (next) {
            appendText(out, cabinetName(c + 1));
            appendText(out, diskName(c + 1));
        }

        const std::size_t folderTable = out.size();
        out.resize(folderTable + plan.folders.size() * folderEntrySize_, options_.reserveFill);
        const std::size_t fileList = out.size();
        put32(out, 16, static_cast<std::uint32_t>(fileList));

        for (std::uint32_t file : order) {
            const Placement &p = placements_[file];
            const bool fromPrevious = p.firstCabinet < c;
            const bool toNext = p.lastCabinet > c;
            std::uint16_t index = folderIndexIn(c, p.folder);
            if (fromPrevious && toNext) {
                index = kContinuedBothWays;
            } else if (fromPrevious) {
                index = kContinuedFromPrevious;
            } else if (toNext) {
                index = kContinuedToNext;
            }
            const SourceFile &source = files_[file];
            const std::size_t at = out.size();
            out.resize(at + 16, 0);
            put32(out, at, source.size);
            put32(out, at + 4, p.offset);
            put16(out, at + 8, index);
            put16(out, at + 10, source.info.date);
            put16(out, at + 12, source.info.time);
            put16(out, at + 14, source.info.attributes);
            appendText(out, source.stored);
        }

        std::uint64_t end = out.size();
        for (std::size_t f = 0; f < plan.folders.size(); ++f) {
            const CabFolder &folder = plan.folders[f];
            if (folder.blocks > 0xFFFF) {
                error_ = "internal: more than 65535 data blocks of one folder in one cabinet";
                return false;
            }
            const std::size_t entry = folderTable + f * folderEntrySize_;
            put32(out, entry, static_cast<std::uint32_t>(end));
            put16(out, entry + 4, folder.blocks);
            put16(out, entry + 6, folders_[folder.folder].type);
            end += folder.dataBytes;
        }
        if (end > limit_) {
            error_ = "internal: cabinet " + std::to_string(c + 1) + " came out larger than the limit";
            return false;
        }
        put32(out, 8, static_cast<std::uint32_t>(end));
        return true;
    }

    const Options &options_;
    const std::vector<SourceFile> &files_;
    CabinetSink &sink_;
    std::string &error_;
    std::uint64_t limit_ = kNoLimit;
    std::uint32_t blockLimit_ = 0xFFFF;
    bool reserveFields_ = false;
    bool continueFolders_ = false;
    std::uint32_t folderEntrySize_ = 8;
    std::uint32_t blockHeaderSize_ = 8;

    std::vector<CabPlan> cabs_;
    std::vector<Folder> folders_;
    std::vector<Placement> placements_;
    // Files of the open folder, in stream order, to be listed in the next
    // cabinet as beginning there.
    std::vector<std::uint32_t> waiting_;
    bool hasOpenFolder_ = false;
    std::uint32_t openFolder_ = 0;
    std::unique_ptr<BlockEncoder> encoder_;
    std::vector<std::uint8_t> pending_;
    std::uint64_t placedStart_ = 0;  // stream offset of the next block to place
    std::vector<std::uint8_t> blockHeader_;
};

}  // namespace

std::uint32_t blockLimit(const Options &options)
{
    return std::clamp<std::uint32_t>(options.maxBlocksPerFolder, 1, 0xFFFF);
}

bool layOutCabinets(const Options &options, const std::vector<SourceFile> &files, CabinetSink &sink,
                    std::string &error)
{
    Layout layout(options, files, sink, error);
    return layout.run();
}

}  // namespace cabwriter
