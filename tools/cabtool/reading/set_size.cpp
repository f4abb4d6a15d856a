#include "reading/set_size.h"

#include "reading/cab_format.h"
#include "commands/cabtool.h"
#include "reading/engine_io.h"
#include "output/file_meta.h"
#include "reading/folder_table.h"
#include "names/names.h"

#include <set>
#include <vector>

namespace cabtool {

namespace {

// Adds the sizes of the files that begin in this cabinet; false when its
// file list cannot be read whole.
bool addFileSizes(const std::string &path, std::uint64_t offset, const CabinetInfo &info, std::uint64_t &total)
{
    std::vector<StoredFile> files;
    std::string why;
    if (!readFileTable(path, info, files, why, offset)) {
        return false;
    }
    for (const StoredFile &file : files) {
        if (file.folder != kFromPrevious && file.folder != kBothWays) {
            total += file.size;
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
