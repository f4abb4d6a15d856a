#include "set_size.h"

#include "cab_format.h"
#include "cabtool.h"
#include "engine_io.h"
#include "file_meta.h"
#include "folder_table.h"
#include "names.h"

#include <cstdio>
#include <memory>
#include <set>

namespace cabtool {

namespace {


struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

// Adds the sizes of the files that begin in this cabinet; false when its
// file list cannot be read whole.
bool addFileSizes(const std::string &path, std::uint64_t offset, const CabinetInfo &info, std::uint64_t &total)
{
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(path.c_str(), "rb"));
    if (!in || !seekStream(in.get(), offset + info.filesOffset)) {
        return false;
    }
    for (unsigned i = 0; i < info.fileCount; ++i) {
        unsigned char fixed[16];
        if (std::fread(fixed, 1, sizeof fixed, in.get()) != sizeof fixed) {
            return false;
        }
        int c = 0;
        for (unsigned n = 0; n < kNameLimit && (c = std::fgetc(in.get())) > 0; ++n) {
        }
        if (c != 0) {
            return false;
        }
        const std::uint16_t folder = static_cast<std::uint16_t>(fixed[8] | fixed[9] << 8);
        if (folder != kFromPrevious && folder != kBothWays) {
            total += static_cast<std::uint32_t>(fixed[0] | fixed[1] << 8 | fixed[2] << 16 |
                                                static_cast<std::uint32_t>(fixed[3]) << 24);
        }
    }
    return true;
}

}  // namespace

std::uint64_t filesSizeOfSet(const std::string &path, bool followSet)
{
    std::string folder;
    std::string name;
    splitCabinetPath(path, folder, name);
    std::set<std::string> seen;
    std::uint64_t total = 0;
    while (!name.empty() && seen.insert(name).second) {
        CabinetInfo info;
        std::string why;
        // Only a regular file is read here: a name from a header may name a
        // FIFO, whose opening would hang before the walk could refuse it.
        // A cabinet inside another file is read through its window.
        const std::string path = folder + name;
        const std::uint64_t offset = cabinetWindowOffset(path);
        if (!isRegularFile(path) || !readCabinetInfo(path, info, why, offset) ||
            !addFileSizes(path, offset, info, total) || !followSet) {
            break;
        }
        // Later cabinets lie beside the first, found as the walk finds them.
        name = cabinetFileName(info.nextName, why);
    }
    return total;
}

}  // namespace cabtool
