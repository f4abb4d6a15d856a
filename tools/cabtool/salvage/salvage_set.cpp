#include "salvage/salvage_set.h"

#include "reading/cab_format.h"
#include "commands/cabtool.h"
#include "output/file_meta.h"
#include "names/names.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <set>
#include <tuple>

namespace cabtool {

namespace {


struct Layout {
    std::uint16_t flags = 0;
    std::uint16_t setId = 0;
    std::uint16_t index = 0;
    std::uint16_t folderCount = 0;
    std::uint16_t fileCount = 0;
    std::uint32_t filesOffset = 0;
    std::uint32_t folderEntrySize = 8;
    std::uint32_t blockHeaderSize = 8;
    std::uint64_t firstFolder = 0;
    std::string nextName;
};

// A NUL-terminated name of at most 255 characters at *pos; moves *pos past it.
bool readName(CabinetBytes &cab, std::uint64_t *pos, std::string *name)
{
    char text[kNameLimit];
    const std::size_t got = cab.readUpTo(*pos, text, sizeof text);
    const void *end = std::memchr(text, '\0', got);
    if (end == nullptr) {
        return false;
    }
    const auto length = static_cast<std::size_t>(static_cast<const char *>(end) - text);
    name->assign(text, length);
    *pos += length + 1;
    return true;
}

// The header up to the folder table. Without it nothing of the cabinet can be placed.
bool readLayout(CabinetBytes &cab, Layout &layout, std::string &why)
{
    std::uint8_t header[36];
    if (!cab.readAt(0, header, sizeof header) || std::memcmp(header, "MSCF", 4) != 0) {
        why = "not a cabinet file";
        return false;
    }
    layout.filesOffset = le32(header + 16);
    layout.folderCount = le16(header + 26);
    layout.fileCount = le16(header + 28);
    layout.flags = le16(header + 30);
    layout.setId = le16(header + 32);
    layout.index = le16(header + 34);
    std::uint64_t pos = sizeof header;
    if ((layout.flags & kFlagReserve) != 0) {
        std::uint8_t sizes[4];
        if (!cab.readAt(pos, sizes, sizeof sizes)) {
            why = "its header is cut short";
            return false;
        }
        pos += sizeof sizes + le16(sizes);
        layout.folderEntrySize += sizes[2];
        layout.blockHeaderSize += sizes[3];
    }
    std::string ignored;
    if ((layout.flags & kFlagPrevious) != 0 && (!readName(cab, &pos, &ignored) || !readName(cab, &pos, &ignored))) {
        why = "the previous cabinet's name in its header is unreadable";
        return false;
    }
    if ((layout.flags & kFlagNext) != 0 && (!readName(cab, &pos, &layout.nextName) || !readName(cab, &pos, &ignored))) {
        why = "the next cabinet's name in its header is unreadable";
        return false;
    }
    layout.firstFolder = pos;
    return true;
}

struct RawEntry {
    SalvageFile file;
    std::uint16_t folderIndex = 0;
};

// The file entries as far as they can be read: an entry cut off by the end of
// the file or with an unterminated name ends the list, since the next entry's
// position depends on it.
std::vector<RawEntry> readEntries(CabinetBytes &cab, const Layout &layout, const std::string &path, int &problems)
{
    std::vector<RawEntry> entries;
    std::uint64_t pos = layout.filesOffset;
    for (unsigned n = 0; n < layout.fileCount; ++n) {
        std::uint8_t fixed[16];
        RawEntry entry;
        const bool whole = cab.readAt(pos, fixed, sizeof fixed);
        pos += sizeof fixed;
        if (!whole || !readName(cab, &pos, &entry.file.name)) {
            report(path + ": file entry " + std::to_string(n + 1) + " of " + std::to_string(layout.fileCount) +
                   (whole ? " has no terminated name" : " lies beyond the end of the file") +
                   "; the rest of the file list cannot be read");
            ++problems;
            break;
        }
        entry.file.size = le32(fixed);
        entry.file.offset = le32(fixed + 4);
        entry.folderIndex = le16(fixed + 8);
        entry.file.date = le16(fixed + 10);
        entry.file.time = le16(fixed + 12);
        entry.file.attributes = le16(fixed + 14);
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool listsContinued(const std::vector<RawEntry> &entries, std::uint16_t a, std::uint16_t b)
{
    for (const RawEntry &entry : entries) {
        if (entry.folderIndex == a || entry.folderIndex == b) {
            return true;
        }
    }
    return false;
}

// Folder 0 of a cabinet that names a previous one began in an earlier cabinet
// when an entry runs on into it, or when no file with data begins at its
// offset 0: files may begin inside a folder that runs on, with offsets from
// where it began, and a file can end exactly where the earlier cabinet's part
// does. The engine decides the same way.
bool folderZeroBeganEarlier(const std::vector<RawEntry> &entries, std::uint16_t folderCount)
{
    bool folderZeroHasData = false;
    for (const RawEntry &entry : entries) {
        std::uint16_t folder = entry.folderIndex;
        if (folder == kFromPrevious || folder == kBothWays) {
            return true;
        }
        if (folder == kToNext && folderCount != 0) {
            folder = static_cast<std::uint16_t>(folderCount - 1);
        }
        if (folder == 0 && entry.file.size != 0) {
            if (entry.file.offset == 0) {
                return false;
            }
            folderZeroHasData = true;
        }
    }
    return folderZeroHasData;
}

// What each cabinet adds to the set: its folders, the first of which goes on
// with the last folder of the cabinet before it when a file runs on between
// them, and its file entries, each placed in the folder stream it reads from.
class SetBuilder {
public:
    explicit SetBuilder(SalvageSet &set) : set_(set) {}

    void addCabinet(CabinetBytes &cab, std::uint64_t base, const Layout &layout, const std::string &path, bool first)
    {
        std::vector<RawEntry> entries = readEntries(cab, layout, path, set_.problems);
        const bool fromEarlier = (layout.flags & kFlagPrevious) != 0 && folderZeroBeganEarlier(entries, layout.folderCount);
        const bool joins = !first && !lastFolders_.empty() && (fromEarlier || previousRunsOn_);
        std::vector<std::size_t> folders;
        for (unsigned i = 0; i < layout.folderCount; ++i) {
            SalvageSegment segment;
            std::uint8_t entry[8];
            if (!cab.readAt(layout.firstFolder + std::uint64_t{i} * layout.folderEntrySize, entry, sizeof entry)) {
                report(path + ": the folder table is cut short: folders " + std::to_string(i) + " to " +
                       std::to_string(layout.folderCount - 1) + " lie beyond the end of the file");
                ++set_.problems;
                break;
            }
            segment.cabinet = path;
            segment.base = base;
            segment.blockHeaderSize = layout.blockHeaderSize;
            segment.firstBlock = le32(entry);
            segment.blocks = le16(entry + 4);
            segment.type = le16(entry + 6);
            if (i == 0 && joins) {
                folders.push_back(lastFolders_.back());
            } else {
                folders.push_back(set_.folders.size());
                set_.folders.push_back(SalvageFolder{});
                set_.folders.back().label = "folder " + std::to_string(i) + " of " + path;
                set_.folders.back().startsEarlier = i == 0 && first && fromEarlier;
            }
            set_.folders[folders.back()].segments.push_back(segment);
        }
        const bool whole = folders.size() == layout.folderCount;
        for (RawEntry &entry : entries) {
            place(entry, folders, whole, joins || (first && fromEarlier), path);
        }
        // A cut table has no last folder for the next cabinet to go on with.
        lastFolders_ = whole ? std::move(folders) : std::vector<std::size_t>();
        previousRunsOn_ = (layout.flags & kFlagNext) != 0 && listsContinued(entries, kToNext, kBothWays);
    }

private:
    // folders: those of the cabinet that could be read; whole when that is all of them.
    void place(RawEntry &entry, const std::vector<std::size_t> &folders, bool whole, bool continued,
               const std::string &path)
    {
        SalvageFile &file = entry.file;
        const std::uint16_t index = entry.folderIndex;
        bool listedBefore = false;
        if (file.size == 0) {
            file.folder = kNoFolder;
        } else if (index < folders.size()) {
            file.folder = folders[index];
        } else if ((index == kToNext || (index == kBothWays && !continued)) && whole && !folders.empty()) {
            file.folder = folders.back();
        } else if ((index == kFromPrevious || index == kBothWays) && continued && !folders.empty()) {
            file.folder = folders.front();
            listedBefore = true;
        } else {
            report(path + ": " + file.name + ": skipped, its entry names folder " + std::to_string(index) +
                   (whole ? ", which does not exist" : ", which cannot be read"));
            ++set_.problems;
            return;
        }
        if (std::uint64_t{file.offset} + file.size > 0x100000000ull) {
            report(path + ": " + file.name + ": skipped, its entry places it beyond the end of any folder");
            ++set_.problems;
            return;
        }
        // A file that runs on from an earlier cabinet is listed there too.
        const bool known = !runningOn_.insert(std::make_tuple(file.folder, file.offset, file.size, file.name)).second;
        if (listedBefore && known) {
            return;
        }
        file.begunEarlier = listedBefore;
        set_.files.push_back(std::move(file));
    }

    SalvageSet &set_;
    std::set<std::tuple<std::size_t, std::uint32_t, std::uint32_t, std::string>> runningOn_;
    std::vector<std::size_t> lastFolders_;
    bool previousRunsOn_ = false;
};

// The next cabinet is looked for beside the first, by the last part of its name.
// A later cabinet of the set: beside the first, by the last part of its stored
// name as the walk finds it; empty when the name cannot be one.
std::string besideFirst(const std::string &folder, const std::string &stored)
{
    std::string why;
    const std::string name = cabinetFileName(stored, why);
    return name.empty() ? std::string() : folder + name;
}

}  // namespace

bool CabinetBytes::open(const std::string &path, std::uint64_t base)
{
    if (!isRegularFile(path)) {
        return false;
    }
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_ || std::fseek(file_.get(), 0, SEEK_END) != 0) {
        return false;
    }
    const long end = std::ftell(file_.get());
    if (end < 0 || static_cast<std::uint64_t>(end) < base) {
        return false;
    }
    base_ = base;
    size_ = static_cast<std::uint64_t>(end) - base;
    return true;
}

bool CabinetBytes::readAt(std::uint64_t offset, void *buffer, std::size_t count)
{
    return offset <= size_ && count <= size_ - offset && readUpTo(offset, buffer, count) == count;
}

bool CabinetBytes::fill(std::uint64_t offset)
{
    constexpr std::size_t kWindow = 1 << 16;
    window_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, size_ - offset)));
    windowStart_ = offset;
    const std::uint64_t at = base_ + offset;
    if (at > static_cast<std::uint64_t>(LONG_MAX) || std::fseek(file_.get(), static_cast<long>(at), SEEK_SET) != 0 ||
        std::fread(window_.data(), 1, window_.size(), file_.get()) != window_.size()) {
        window_.clear();
        return false;
    }
    return true;
}

std::size_t CabinetBytes::readUpTo(std::uint64_t offset, void *buffer, std::size_t count)
{
    if (!file_ || offset >= size_) {
        return 0;
    }
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - offset));
    const bool inWindow = offset >= windowStart_ && offset - windowStart_ + count <= window_.size();
    if (!inWindow && !fill(offset)) {
        return 0;
    }
    count = std::min(count, window_.size() - static_cast<std::size_t>(offset - windowStart_));
    std::memcpy(buffer, window_.data() + (offset - windowStart_), count);
    return count;
}

bool readSalvageSet(const std::string &path, std::uint64_t base, SalvageSet &set, std::string &why)
{
    std::string folder;
    std::string name;
    splitCabinetPath(path, folder, name);
    SetBuilder builder(set);
    std::set<std::string> seen;
    std::string current = path;
    Layout previous;
    for (bool first = true;; first = false) {
        CabinetBytes cab;
        Layout layout;
        std::string problem;
        // Later cabinets are files of their own.
        const std::uint64_t at = first ? base : 0;
        if (!cab.open(current, at)) {
            problem = "missing or unreadable";
        } else if (!readLayout(cab, layout, problem)) {
        } else if (!first && (layout.setId != previous.setId || layout.index != previous.index + 1)) {
            problem = "it belongs to another set or comes out of order";
        }
        if (!problem.empty()) {
            if (first) {
                why = problem;
                return false;
            }
            report(current + ": " + problem + "; what continues into it, and the files listed only there, are lost");
            ++set.problems;
            return true;
        }
        seen.insert(current);
        builder.addCabinet(cab, at, layout, current, first);
        if ((layout.flags & kFlagNext) == 0) {
            return true;
        }
        const std::string next = besideFirst(folder, layout.nextName);
        if (next.empty() || seen.count(next) != 0) {
            report(escapeControls(current) + ": the next cabinet it names (" + escapeControls(layout.nextName) +
                   ") cannot be one of the set; what continues into it is lost");
            ++set.problems;
            return true;
        }
        previous = layout;
        current = next;
    }
}

}  // namespace cabtool
