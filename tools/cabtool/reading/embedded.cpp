#include "reading/embedded.h"

#include "reading/cab_format.h"
#include "reading/engine_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

namespace cabtool {

namespace {

constexpr std::size_t kFixedHeader = 36;
constexpr std::size_t kChunk = std::size_t{1} << 20;
constexpr std::size_t kOverlap = 3;  // a signature may straddle two chunks
// No real cabinet keeps more than this before its file table (a header reserve
// of at most 60000 bytes, two pairs of names and a few thousand folders).
constexpr std::uint32_t kHeadAreaLimit = 1u << 20;
constexpr std::uint32_t kMaxHeaderReserve = 60000;
constexpr std::uint32_t kMinFileEntry = 17;  // fixed part and an empty name
constexpr std::uint32_t kFolderEntry = 8;
constexpr std::uint32_t kMinDataBlock = 8;   // a data block's fixed header
constexpr std::uint16_t kKnownFlags = 0x0007;

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

std::uint32_t le(const std::uint8_t *p, unsigned width)
{
    std::uint32_t value = 0;
    for (unsigned i = width; i-- > 0;) {
        value = value << 8 | p[i];
    }
    return value;
}

bool g_offsetPicked = false;
std::uint64_t g_pickedOffset = 0;

bool fileLength(std::FILE *in, std::uint64_t &length)
{
#ifdef _WIN32
    if (_fseeki64(in, 0, SEEK_END) != 0) {
        return false;
    }
    const long long end = _ftelli64(in);
#else
    if (fseeko(in, 0, SEEK_END) != 0) {
        return false;
    }
    const long long end = ftello(in);
#endif
    length = static_cast<std::uint64_t>(end);
    return end >= 0 && seekStream(in, 0);
}

// Reads the header area of what lies at offset and checks it.
std::string checkAt(std::FILE *in, std::uint64_t offset, std::uint64_t length, CabinetHead &found)
{
    std::vector<std::uint8_t> head(kFixedHeader);
    const std::uint64_t remaining = length - offset;
    std::size_t count = 0;
    if (seekStream(in, offset)) {
        count = std::fread(head.data(), 1, head.size(), in);
    }
    if (count == kFixedHeader) {
        const std::size_t area = headAreaSize(head.data());
        head.resize(area);
        count += std::fread(head.data() + kFixedHeader, 1, area - kFixedHeader, in);
    }
    std::string why = checkCabinetHead(head.data(), count, remaining, found);
    found.offset = offset;
    return why;
}

// Checks the header at `offset` from the scan's buffer when its header area
// lies there, through the probe stream otherwise.
bool plausibleAt(const std::uint8_t *bytes, std::size_t inBuffer, std::FILE *probe, std::uint64_t offset,
                 std::uint64_t length, CabinetHead &head)
{
    if (inBuffer < kFixedHeader || inBuffer < headAreaSize(bytes)) {
        return checkAt(probe, offset, length, head).empty();
    }
    head.offset = offset;
    return checkCabinetHead(bytes, headAreaSize(bytes), length - offset, head).empty();
}

// The scan proper: chunk by chunk, each occurrence of the signature checked,
// each cabinet found skipped over whole.
bool scan(std::FILE *in, std::FILE *probe, std::uint64_t length, std::vector<CabinetHead> &found)
{
    std::vector<std::uint8_t> chunk(kChunk + kOverlap);
    std::uint64_t start = 0;  // where chunk[0] lies in the file
    std::size_t carried = 0;
    while (start + carried < length) {
        const std::size_t got = std::fread(chunk.data() + carried, 1, kChunk, in);
        if (got == 0) {
            return !std::ferror(in);
        }
        const std::size_t filled = carried + got;
        std::size_t at = 0;
        bool jumped = false;
        CabinetHead head;
        while (filled >= 4 && at + 4 <= filled) {
            const void *hit = std::memchr(chunk.data() + at, 'M', filled - 3 - at);
            if (hit == nullptr) {
                break;
            }
            at = static_cast<std::size_t>(static_cast<const std::uint8_t *>(hit) - chunk.data());
            if (std::memcmp(chunk.data() + at, "MSCF", 4) != 0 || !plausibleAt(chunk.data() + at, filled - at, probe,
                                                                               start + at, length, head)) {
                ++at;
                continue;
            }
            found.push_back(head);
            const std::uint64_t after = head.offset + head.size;
            if (after + kOverlap >= start + filled) {
                if (!seekStream(in, after)) {
                    return false;
                }
                start = after;
                carried = 0;
                jumped = true;
                break;
            }
            at = static_cast<std::size_t>(after - start);
        }
        if (jumped) {
            continue;
        }
        const std::size_t keep = std::min(filled, kOverlap);
        std::memmove(chunk.data(), chunk.data() + filled - keep, keep);
        start += filled - keep;
        carried = keep;
    }
    return true;
}

std::FILE *g_introductionStream = nullptr;  // standard output

// "cabinet FILE at offset N: SIZE bytes, set S, index I", then tail.
void introduce(const std::string &path, const CabinetHead &head, const std::string &tail)
{
    std::fprintf(g_introductionStream != nullptr ? g_introductionStream : stdout,
                 "cabinet %s at offset %llu: %u bytes, set %u, index %u%s\n", path.c_str(),
                 static_cast<unsigned long long>(head.offset), static_cast<unsigned>(head.size),
                 static_cast<unsigned>(head.setId), static_cast<unsigned>(head.index), tail.c_str());
}

bool handleInWindow(const std::string &path, const CabinetHead &head,
                    const std::function<bool(const CabinetPlace &)> &handle)
{
    introduce(path, head, "");
    std::fflush(stdout);
    setCabinetWindow(path, head.offset, head.size);
    const bool ok = handle(CabinetPlace{head.offset, true});
    clearCabinetWindow();
    return ok;
}

bool handlePicked(const std::string &path, std::FILE *in, std::uint64_t length,
                  const std::function<bool(const CabinetPlace &)> &handle)
{
    const std::string where = path + ": no cabinet at offset " + std::to_string(g_pickedOffset) + ": ";
    if (g_pickedOffset >= length) {
        report(where + "the file is only " + std::to_string(length) + " bytes long");
        return false;
    }
    CabinetHead head;
    const std::string why = checkAt(in, g_pickedOffset, length, head);
    if (!why.empty()) {
        report(where + why);
        return false;
    }
    if (g_pickedOffset == 0) {
        return handle(CabinetPlace{});
    }
    return handleInWindow(path, head, handle);
}

}  // namespace

std::size_t headAreaSize(const std::uint8_t *fixed36)
{
    const std::uint32_t fileTable = le(fixed36 + 16, 4);
    return fileTable > kFixedHeader && fileTable <= kHeadAreaLimit ? fileTable : kFixedHeader;
}

// The rule: the signature; the three reserved header fields zero; format
// version 1.x; no flag beyond the three known ones; at least one folder and
// one file; the cabinet's size within what is left of the file; the file table
// inside the cabinet, after the header, with room for its entries; the header
// reserve within its limit; the set's names terminated within their limit;
// the folder table between the header and the file table; and every folder's
// data inside the cabinet, after the file table, with room for its blocks.
std::string checkCabinetHead(const std::uint8_t *head, std::size_t count, std::uint64_t remaining,
                             CabinetHead &found)
{
    if (count < 4 || std::memcmp(head, "MSCF", 4) != 0) {
        return "no cabinet signature there";
    }
    if (count < kFixedHeader) {
        return "the header is cut short";
    }
    const std::uint32_t size = le(head + 8, 4);
    const std::uint32_t fileTable = le(head + 16, 4);
    const unsigned folders = le(head + 26, 2);
    const unsigned files = le(head + 28, 2);
    const unsigned flags = le(head + 30, 2);
    if (le(head + 4, 4) != 0 || le(head + 12, 4) != 0 || le(head + 20, 4) != 0) {
        return "reserved header fields are not zero";
    }
    if (head[25] != 1) {
        return "unknown format version " + std::to_string(head[25]) + "." + std::to_string(head[24]);
    }
    if ((flags & ~kKnownFlags) != 0) {
        return "unknown header flags";
    }
    if (folders == 0 || files == 0) {
        return "no folder or no file";
    }
    if (size > remaining) {
        return "its size runs past the end of the file";
    }
    if (fileTable < kFixedHeader || fileTable > size || files * kMinFileEntry > size - fileTable) {
        return "its file table does not lie inside it";
    }
    if (fileTable > kHeadAreaLimit || count < fileTable) {
        return "the header is cut short";
    }
    std::size_t at = kFixedHeader;
    unsigned folderReserve = 0;
    if ((flags & kFlagReserve) != 0) {
        if (fileTable < at + 4 || le(head + at, 2) > kMaxHeaderReserve) {
            return "its reserve sizes are out of range";
        }
        folderReserve = head[at + 2];
        at += 4 + le(head + at, 2);
    }
    const unsigned names = ((flags & kFlagPrevious) != 0 ? 2 : 0) + ((flags & kFlagNext) != 0 ? 2 : 0);
    for (unsigned n = 0; n < names; ++n) {
        const std::size_t limit = std::min<std::size_t>(fileTable, at + kNameLimit);
        const void *end = at < limit ? std::memchr(head + at, 0, limit - at) : nullptr;
        if (end == nullptr) {
            return "a name of its set is not terminated";
        }
        at = static_cast<std::size_t>(static_cast<const std::uint8_t *>(end) - head) + 1;
    }
    if (at + static_cast<std::size_t>(folders) * (kFolderEntry + folderReserve) > fileTable) {
        return "its folder table runs into its file table";
    }
    const std::uint32_t dataFrom = fileTable + files * kMinFileEntry;
    for (unsigned f = 0; f < folders; ++f, at += kFolderEntry + folderReserve) {
        const std::uint32_t data = le(head + at, 4);
        const std::uint32_t blocks = le(head + at + 4, 2);
        if (data < dataFrom || data > size || blocks * kMinDataBlock > size - data) {
            return "a folder's data does not lie inside it";
        }
    }
    found.size = size;
    found.setId = static_cast<std::uint16_t>(le(head + 32, 2));
    found.index = static_cast<std::uint16_t>(le(head + 34, 2));
    found.hasPrevious = (flags & kFlagPrevious) != 0;
    return {};
}

bool findCabinets(const std::string &path, std::vector<CabinetHead> &found, std::string &why)
{
    found.clear();
    // The scan reads through one stream; headers are checked through another.
    std::unique_ptr<std::FILE, FileCloser> in(openCabinetFile(path.c_str()));
    std::unique_ptr<std::FILE, FileCloser> probe(openCabinetFile(path.c_str()));
    std::uint64_t length = 0;
    if (!in || !probe || !fileLength(in.get(), length) || !scan(in.get(), probe.get(), length, found)) {
        why = std::string("cannot read: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool takeOffsetOption(Args &args)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--offset") {
            continue;
        }
        if (i + 1 == args.size()) {
            return false;
        }
        const std::string &text = args[i + 1];
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        const std::string digits = hex ? text.substr(2) : text;
        if (digits.empty() || digits.size() > (hex ? 15u : 18u) ||
            digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos) {
            return false;
        }
        g_pickedOffset = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
        g_offsetPicked = true;
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        --i;
    }
    return true;
}

bool pickedOffset(std::uint64_t &offset)
{
    offset = g_pickedOffset;
    return g_offsetPicked;
}

void setIntroductionStream(std::FILE *stream)
{
    g_introductionStream = stream;
}

bool forEachCabinet(const std::string &path, bool followsSets, const std::function<bool(const CabinetPlace &)> &handle)
{
    std::unique_ptr<std::FILE, FileCloser> in(openCabinetFile(path.c_str()));
    std::uint64_t length = 0;
    if (!in || !fileLength(in.get(), length)) {
        return handle(CabinetPlace{});  // the commands report what is wrong as before
    }
    if (g_offsetPicked) {
        return handlePicked(path, in.get(), length, handle);
    }
    // A file that starts as a cabinet is taken as one when its header does
    // not hold up either, so that a damaged cabinet is reported as such and
    // not searched for other cabinets among its files' bytes.
    std::uint8_t signature[4] = {};
    CabinetHead first;
    if (std::fread(signature, 1, 4, in.get()) == 4 && std::memcmp(signature, "MSCF", 4) == 0 &&
        !checkAt(in.get(), 0, length, first).empty()) {
        return handle(CabinetPlace{});
    }
    in.reset();
    std::vector<CabinetHead> found;
    std::string why;
    if (!findCabinets(path, found, why)) {
        report(path + ": " + why);
        return false;
    }
    if (found.empty() || (found.size() == 1 && found[0].offset == 0)) {
        return handle(CabinetPlace{});
    }
    // A later cabinet of a set is left to the walk from the set's first
    // cabinet when that walk went through; otherwise it is handled itself, so
    // that the files that begin in it still come out.
    bool ok = true;
    std::map<std::uint16_t, std::uint64_t> walkedSets;  // set id, offset of its first cabinet
    for (const CabinetHead &head : found) {
        const auto walked = walkedSets.find(head.setId);
        if (followsSets && head.hasPrevious && walked != walkedSets.end()) {
            introduce(path, head, ", a later cabinet of the set walked from offset " + std::to_string(walked->second));
            continue;
        }
        const bool handled = handleInWindow(path, head, handle);
        if (handled && !head.hasPrevious) {
            walkedSets[head.setId] = head.offset;
        }
        ok = handled && ok;
    }
    return ok;
}

}  // namespace cabtool
