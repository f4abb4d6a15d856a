#include "salvage/salvage.h"

#include "reading/embedded.h"
#include "reading/engine_io.h"
#include "output/file_meta.h"
#include "reading/folder_table.h"
#include "names/names.h"
#include "output/progress.h"
#include "salvage/salvage_set.h"

#include "checksum.h"
#include "decoder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace cabtool {

namespace {

constexpr std::uint32_t kBlockSize = 32768;
// Files whose bytes overlap in a folder are written side by side; more than
// this many at one point only a hostile cabinet has.
constexpr std::size_t kMaxFilesAtOnce = 64;
// Past the end of any folder (offsets and sizes are 32-bit).
constexpr std::uint64_t kBeyondAnyFolder = std::uint64_t{1} << 33;
constexpr std::size_t kRangesShown = 8;

// ---- Writing one file ------------------------------------------------------------
//
// As extract writes (safe_output.h): the same name checks and overwrite policy,
// and each file lands whole through a temporary.

// Closes the file, then puts it in place with its stored date and attributes
// or, when it is not to be kept, removes it. False with why set on a failure.
bool finishOutput(std::FILE *stream, const std::string &temporary, const std::string &path, const SalvageFile &file,
                  bool keep, std::string &why)
{
    const bool closed = std::fclose(stream) == 0;
    if (!keep || !closed) {
        dropTemporary(temporary);
        why = closed ? "" : "cannot finish writing it";
        return closed;
    }
    return completeOutput(temporary, path, file.date, file.time, file.attributes, why) && why.empty();
}

// Skips n bytes of the output, which read as zeros once something follows them.
bool skipOutput(std::FILE *stream, std::uint64_t n)
{
    constexpr long kStep = 1L << 30;
    for (; n > 0; n -= std::min<std::uint64_t>(n, kStep)) {
        if (std::fseek(stream, static_cast<long>(std::min<std::uint64_t>(n, kStep)), SEEK_CUR) != 0) {
            return false;
        }
    }
    return true;
}

// ---- What became of each file --------------------------------------------------------

enum class Outcome { Pending, Intact, Damaged, Refused, Unreachable, Kept };

struct FileResult {
    Outcome outcome = Outcome::Pending;
    std::string path;  // where it was written
    std::string why;   // for a refusal
    std::vector<std::pair<std::uint64_t, std::uint64_t>> lost;  // [from, to) within the file
};

void addLost(FileResult &result, std::uint64_t from, std::uint64_t to)
{
    if (!result.lost.empty() && result.lost.back().second == from) {
        result.lost.back().second = to;
    } else {
        result.lost.emplace_back(from, to);
    }
}

std::string describeLost(const FileResult &result)
{
    std::string text = "bytes ";
    for (std::size_t i = 0; i < result.lost.size() && i < kRangesShown; ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(result.lost[i].first) + "-" +
                std::to_string(result.lost[i].second - 1);
    }
    if (result.lost.size() > kRangesShown) {
        text += " and " + std::to_string(result.lost.size() - kRangesShown) + " more ranges";
    }
    return text;
}

class Salvager {
public:
    Salvager(const SalvageSet &set, const std::string *outputFolder, SalvageFill fill, Overwrite policy)
        : set_(set), folder_(outputFolder), fill_(fill), policy_(policy), results_(set.files.size())
    {
    }

    void run();
    // Prints what became of every file in list order; answers the exit status.
    int conclude() const;

private:
    friend class FolderFeeder;
    void salvageFolder(std::size_t folder, const std::vector<std::size_t> &files);

    const SalvageSet &set_;
    const std::string *folder_;
    SalvageFill fill_;
    Overwrite policy_;
    std::vector<FileResult> results_;
};

// ---- Handing a folder's stream to its files --------------------------------------------

// The files of one folder by offset, fed the folder's stream piece by piece:
// decoded bytes, or a run of lost bytes.
class FolderFeeder {
public:
    FolderFeeder(Salvager &salvager, std::vector<std::size_t> byOffset)
        : s_(salvager), files_(std::move(byOffset))
    {
    }
    FolderFeeder(const FolderFeeder &) = delete;
    FolderFeeder &operator=(const FolderFeeder &) = delete;
    // Whatever the stream did not reach when reading stopped is lost.
    ~FolderFeeder() { lostFrom(0); }

    // The folder's bytes [pos, pos + n); data null when they are lost.
    void feed(std::uint64_t pos, const std::uint8_t *data, std::uint64_t n)
    {
        const std::uint64_t end = pos + n;
        while (next_ < files_.size() && s_.set_.files[files_[next_]].offset < end) {
            start(files_[next_++]);
        }
        for (std::size_t i = 0; i < open_.size();) {
            Open &o = open_[i];
            const SalvageFile &file = s_.set_.files[o.file];
            const std::uint64_t at = file.offset + o.done;
            if (at < pos) {
                lose(o, pos - at);  // bytes the stream never reached
            }
            const std::uint64_t from = std::max(at, pos);
            const std::uint64_t to = std::min<std::uint64_t>(std::uint64_t{file.offset} + file.size, end);
            if (to > from) {
                if (data != nullptr) {
                    put(o, data + (from - pos), static_cast<std::uint32_t>(to - from));
                } else {
                    lose(o, to - from);
                }
            }
            if (o.done == file.size) {
                complete(o);
                open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
    }

    // Everything from pos on is lost.
    void lostFrom(std::uint64_t pos) { feed(pos, nullptr, kBeyondAnyFolder - pos); }

private:
    struct Open {
        std::size_t file = 0;
        std::uint64_t done = 0;        // bytes of the file dealt with
        std::FILE *out = nullptr;      // null when nothing is written
        std::string temporary;         // what out writes, moved into place when complete
        std::string target;            // where it goes
        bool endsInGap = false;        // the last bytes were skipped, not written
    };

    void start(std::size_t index)
    {
        FileResult &result = s_.results_[index];
        if (open_.size() == kMaxFilesAtOnce) {
            result.outcome = Outcome::Refused;
            result.why = "its bytes overlap too many other files";
            return;
        }
        Open o;
        o.file = index;
        if (s_.folder_ != nullptr) {
            const SalvageFile &file = s_.set_.files[index];
            OutputPlan plan;
            const OutputStep step = planOutput(*s_.folder_, file.name, file.attributes, s_.policy_, file.date,
                                               file.time, plan);
            result.path = plan.shown;
            result.why = plan.why;
            if (step == OutputStep::Write) {
                o.out = createTemporaryFor(plan.path, o.temporary);
                result.why = o.out == nullptr ? std::string("cannot create: ") + std::strerror(errno) : "";
            }
            if (o.out == nullptr) {
                result.outcome = step == OutputStep::Skip ? Outcome::Kept : Outcome::Refused;
                return;
            }
            o.target = plan.path;
        }
        open_.push_back(o);
    }

    void put(Open &o, const std::uint8_t *data, std::uint32_t n)
    {
        if (o.out != nullptr && std::fwrite(data, 1, n, o.out) != n) {
            giveUp(o, "cannot write: " + std::string(std::strerror(errno)));
        }
        o.endsInGap = false;
        o.done += n;
        advanceProgress(n);
    }

    void lose(Open &o, std::uint64_t n)
    {
        addLost(s_.results_[o.file], o.done, o.done + n);
        if (o.out != nullptr && s_.fill_ == SalvageFill::Skip) {
            std::string ignored;
            finishOutput(o.out, o.temporary, o.target, s_.set_.files[o.file], false, ignored);
            o.out = nullptr;
        } else if (o.out != nullptr && !skipOutput(o.out, n)) {
            giveUp(o, "cannot write the zeros for its lost bytes");
        }
        o.endsInGap = true;
        o.done += n;
        advanceProgress(n);
    }

    void giveUp(Open &o, const std::string &why)
    {
        FileResult &result = s_.results_[o.file];
        std::string ignored;
        finishOutput(o.out, o.temporary, o.target, s_.set_.files[o.file], false, ignored);
        o.out = nullptr;
        result.outcome = Outcome::Refused;
        result.why = why;
    }

    void complete(Open &o)
    {
        FileResult &result = s_.results_[o.file];
        if (result.outcome == Outcome::Pending) {
            result.outcome = result.lost.empty() ? Outcome::Intact : Outcome::Damaged;
        }
        if (o.out == nullptr) {
            return;
        }
        // A file that ends in lost bytes gets its length from its last zero.
        if (o.endsInGap && (std::fseek(o.out, -1, SEEK_CUR) != 0 || std::fputc(0, o.out) == EOF)) {
            giveUp(o, "cannot write the zeros for its lost bytes");
            return;
        }
        if (!finishOutput(o.out, o.temporary, o.target, s_.set_.files[o.file], true, result.why)) {
            result.outcome = Outcome::Refused;
        }
        o.out = nullptr;
    }

    Salvager &s_;
    std::vector<std::size_t> files_;
    std::size_t next_ = 0;
    std::vector<Open> open_;
};

// ---- Reading a folder's blocks ------------------------------------------------------------

struct DecoderHolder {
    const BlockDecoder *ops = nullptr;
    void *object = nullptr;
    DecoderHolder() = default;
    DecoderHolder(const DecoderHolder &) = delete;
    DecoderHolder &operator=(const DecoderHolder &) = delete;
    ~DecoderHolder()
    {
        if (object != nullptr) {
            ops->destroyDecoder(object);
        }
    }
};

// Sets up the decoder of a compression type; false (reported) when there is none.
bool setUpDecoder(std::uint16_t type, const std::string &label, DecoderHolder &decoder, std::uint32_t *bufferSize)
{
    static const BlockDecoder *const kDecoders[4] = {nullptr, &kMszipDecoder, &kQuantumDecoder, &kLzxDecoder};
    const unsigned method = type & 0x0Fu;
    if (method > 3) {
        report(label + ": compression method " + std::to_string(method) + " is not supported; its data is lost");
        return false;
    }
    decoder.ops = kDecoders[method];
    *bufferSize = kBlockSize;
    if (decoder.ops == nullptr) {
        return true;
    }
    const DecoderParams params{method == 1 ? 0u : (type >> 8) & 0x1Fu, 1};
    std::uint32_t maxBlock = kBlockSize;
    const DecoderResult made =
        decoder.ops->queryBufferSizes(&maxBlock, params, bufferSize) != DecoderResult::Ok
            ? DecoderResult::BadWindow
            : decoder.ops->createDecoder(&maxBlock, params, decoderCallbacks(), &decoder.object);
    if (made != DecoderResult::Ok || *bufferSize > 0xFFFF) {
        decoder.object = nullptr;
        report(label + ": its decoder cannot be set up (" + describeCompression(type) +
               (made == DecoderResult::NoMemory ? ": out of memory" : "") + "); its data is lost");
        return false;
    }
    return true;
}

}  // namespace

void Salvager::salvageFolder(std::size_t index, const std::vector<std::size_t> &files)
{
    const SalvageFolder &folder = set_.folders[index];
    FolderFeeder feeder(*this, files);
    const std::uint16_t type = folder.segments.front().type;
    DecoderHolder decoder;
    std::uint32_t bufferSize = 0;
    if (!setUpDecoder(type, folder.label, decoder, &bufferSize)) {
        return;
    }
    // Stored and MSZIP blocks stand alone once the history is forgotten.
    const bool blocksStandAlone = (type & 0x0F) <= 1;
    std::vector<std::uint8_t> compressed(bufferSize);
    std::vector<std::uint8_t> block(kBlockSize);
    std::vector<std::uint8_t> header;
    std::uint64_t pos = 0;
    std::uint32_t held = 0;       // bytes of the first piece of a split block
    bool heldIntact = true;
    for (std::size_t s = 0; s < folder.segments.size(); ++s) {
        const SalvageSegment &segment = folder.segments[s];
        CabinetBytes cab;
        if (segment.type != type || !cab.open(segment.cabinet, segment.base)) {
            return;
        }
        header.resize(segment.blockHeaderSize);
        std::uint64_t at = segment.firstBlock;
        for (unsigned b = 0; b < segment.blocks; ++b) {
            // A header that cannot be read or whose data would not fit leaves
            // no way to find the next block.
            if (!cab.readAt(at, header.data(), header.size())) {
                return;
            }
            const std::uint32_t stored = le32(header.data());
            const std::uint16_t pieceSize = le16(header.data() + 4);
            const std::uint16_t expected = le16(header.data() + 6);
            if (held + pieceSize > bufferSize || !cab.readAt(at + header.size(), compressed.data() + held, pieceSize)) {
                return;
            }
            at += header.size() + pieceSize;
            bool intact = stored == 0 ||
                          cabinetChecksum(header.data() + 4, static_cast<std::uint32_t>(header.size() - 4),
                                          cabinetChecksum(compressed.data() + held, pieceSize, 0)) == stored;
            const bool lastOfFolder = b + 1 == segment.blocks && s + 1 == folder.segments.size();
            if (expected == 0 && b + 1 == segment.blocks && !lastOfFolder) {
                // The first piece of a block that the next cabinet completes.
                held += pieceSize;
                heldIntact = intact;
                continue;
            }
            const std::uint32_t total = held + pieceSize;
            intact = intact && heldIntact;
            held = 0;
            heldIntact = true;
            // A block that claims no bytes, or more than a block holds, has a
            // damaged header. Every block of a folder but its last holds a full
            // 32768 bytes, so where blocks stand alone reading goes on after it.
            std::uint32_t length = expected;
            if (expected == 0 || expected > kBlockSize) {
                if (!blocksStandAlone || lastOfFolder) {
                    return;
                }
                length = kBlockSize;
                intact = false;
            }
            std::uint32_t produced = 0;
            if (intact && decoder.ops == nullptr) {
                std::memcpy(block.data(), compressed.data(), total);
                produced = total;
            } else if (intact) {
                produced = (type & 0x0F) == 1 ? kBlockSize : length;
                if (decoder.ops->decodeBlock(decoder.object, compressed.data(), total, block.data(), &produced) !=
                    DecoderResult::Ok) {
                    intact = false;
                }
            }
            if (intact && produced == length) {
                feeder.feed(pos, block.data(), length);
            } else if (blocksStandAlone) {
                feeder.feed(pos, nullptr, length);
                if (decoder.ops != nullptr) {
                    decoder.ops->resetDecoder(decoder.object);
                }
            } else {
                return;
            }
            pos += length;
        }
    }
    feeder.lostFrom(pos);
}

void Salvager::run()
{
    std::uint64_t total = 0;
    for (const SalvageFile &file : set_.files) {
        total += file.size;
    }
    startProgress(total);
    std::vector<std::vector<std::size_t>> byFolder(set_.folders.size());
    for (std::size_t i = 0; i < set_.files.size(); ++i) {
        const SalvageFile &file = set_.files[i];
        if (file.folder == kNoFolder) {
            // Empty: nothing to decode.
            FolderFeeder empty(*this, {i});
        } else if (set_.folders[file.folder].startsEarlier) {
            // A file that begins here inside that folder is lost without the
            // earlier cabinets, as the engine refuses it.
            results_[i].outcome = file.begunEarlier ? Outcome::Unreachable : Outcome::Refused;
            results_[i].why = file.begunEarlier ? "" : describeError(CabErrorCode::PreviousCabinetNeeded);
        } else {
            byFolder[file.folder].push_back(i);
        }
    }
    for (std::size_t f = 0; f < byFolder.size(); ++f) {
        std::vector<std::size_t> &files = byFolder[f];
        if (files.empty()) {
            continue;
        }
        std::stable_sort(files.begin(), files.end(),
                         [this](std::size_t a, std::size_t b) { return set_.files[a].offset < set_.files[b].offset; });
        salvageFolder(f, files);
    }
    finishProgress();
}

int Salvager::conclude() const
{
    int good = 0;
    int failures = set_.problems;
    for (std::size_t i = 0; i < results_.size(); ++i) {
        const std::string name = shownName(set_.files[i].name, set_.files[i].attributes);
        const FileResult &result = results_[i];
        switch (result.outcome) {
        case Outcome::Pending:
        case Outcome::Intact:
            ++good;
            if (!quiet()) {
                emitLine(stdout, folder_ != nullptr ? result.path : "ok  " + name);
            }
            break;
        case Outcome::Kept:
            // Kept on request: not a failure.
            report(result.path + ": skipped, " + result.why);
            break;
        case Outcome::Damaged:
            ++failures;
            if (folder_ == nullptr) {
                report(name + ": damaged, " + describeLost(result) + " lost");
            } else if (fill_ == SalvageFill::Zero) {
                emitLine(stdout, result.path);
                report(name + ": damaged, " + describeLost(result) + " lost (filled with zeros)");
            } else {
                report(name + ": damaged, " + describeLost(result) + " lost (file left out)");
            }
            break;
        case Outcome::Refused:
            ++failures;
            report(name + ": refused, " + result.why);
            break;
        case Outcome::Unreachable:
            report(name + ": skipped, it begins in an earlier cabinet");
            break;
        }
    }
    if (folder_ == nullptr) {
        std::printf("%d file(s) good, %d failure(s)\n", good, failures);
    }
    return failures == 0 ? kExitOk : kExitFailed;
}

bool takeSalvageOption(Args &args, std::optional<SalvageFill> &fill)
{
    for (std::size_t i = 0; i < args.size();) {
        const std::string &arg = args[i];
        if (arg.compare(0, 9, "--salvage") != 0) {
            ++i;
            continue;
        }
        if (arg == "--salvage" || arg == "--salvage=zero") {
            fill = SalvageFill::Zero;
        } else if (arg == "--salvage=skip") {
            fill = SalvageFill::Skip;
        } else {
            usageError("--salvage takes zero or skip (" + arg + ")");
            return false;
        }
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return true;
}

int runSalvage(const std::string &path, std::uint64_t offset, const std::string *outputFolder, SalvageFill fill,
               Overwrite policy)
{
    SalvageSet set;
    std::string why;
    if (!readSalvageSet(path, offset, set, why)) {
        report(path + ": " + why);
        return kExitFailed;
    }
    Salvager salvager(set, outputFolder, fill, policy);
    salvager.run();
    return salvager.conclude();
}

int salvageEach(const std::string &path, const std::string *outputFolder, SalvageFill fill, Overwrite policy)
{
    const bool ok = forEachCabinet(path, true, [&](const CabinetPlace &place) {
        return runSalvage(path, place.offset, outputFolder, fill, policy) == kExitOk;
    });
    return ok ? kExitOk : kExitFailed;
}

}  // namespace cabtool
