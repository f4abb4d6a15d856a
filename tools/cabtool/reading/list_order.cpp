#include "reading/list_order.h"

#include "reading/cab_format.h"
#include "reading/engine_io.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace cabtool {

namespace {


struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

std::uint32_t le(const unsigned char *p, unsigned width)
{
    std::uint32_t value = 0;
    for (unsigned i = width; i-- > 0;) {
        value = value << 8 | p[i];
    }
    return value;
}

bool beginsEarlier(std::uint16_t folder) { return folder == kFromPrevious || folder == kBothWays; }
bool goesOn(std::uint16_t folder) { return folder == kToNext || folder == kBothWays; }

}  // namespace

bool readFileList(const std::string &path, std::uint32_t firstEntry, std::uint16_t count,
                  std::vector<ListEntry> &entries, std::uint64_t offset)
{
    entries.clear();
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(path.c_str(), "rb"));
    unsigned char header[36];
    if (!in || !seekStream(in.get(), offset) || std::fread(header, 1, sizeof header, in.get()) != sizeof header ||
        !seekStream(in.get(), offset + firstEntry)) {
        return false;
    }
    std::uint32_t position = firstEntry;
    for (unsigned i = 0; i < count; ++i) {
        unsigned char fixed[16];
        if (std::fread(fixed, 1, sizeof fixed, in.get()) != sizeof fixed) {
            return false;
        }
        unsigned nameBytes = 0;
        int c = 0;
        do {
            c = std::fgetc(in.get());
            ++nameBytes;
        } while (c > 0 && nameBytes < kNameLimit);
        if (c != 0) {
            return false;
        }
        entries.push_back(ListEntry{position, static_cast<std::uint16_t>(le(fixed + 8, 2)), le(fixed + 4, 4)});
        position += sizeof fixed + nameBytes;
    }
    return true;
}

std::vector<std::uint16_t> folderOrder(const std::vector<ListEntry> &entries)
{
    // Entries that began earlier lead, those that go on into the next cabinet
    // close the list; between them only real folders.
    std::size_t first = 0;
    while (first < entries.size() && beginsEarlier(entries[first].folder)) {
        ++first;
    }
    std::size_t last = entries.size();
    while (last > first && goesOn(entries[last - 1].folder)) {
        --last;
    }
    std::vector<std::uint16_t> order(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = static_cast<std::uint16_t>(i);
        if (i >= first && i < last && entries[i].folder >= kFromPrevious) {
            return {};
        }
    }
    const auto byFolderOffset = [&entries](std::uint16_t a, std::uint16_t b) {
        if (entries[a].folder != entries[b].folder) {
            return entries[a].folder < entries[b].folder;
        }
        return entries[a].offset < entries[b].offset;
    };
    if (std::is_sorted(order.begin() + first, order.begin() + last, byFolderOffset)) {
        return {};
    }
    std::stable_sort(order.begin() + first, order.begin() + last, byFolderOffset);
    return order;
}

}  // namespace cabtool
