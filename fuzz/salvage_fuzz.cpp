// Arbitrary bytes as one cabinet, read by cabtool's salvage reader without
// writing anything. Salvage meets damaged input by design: nothing may be read
// outside the file, allocated without bound, or looped over without end.
// Run with -close_fd_mask=3: every damaged file is reported on stderr.
#include "engine_fuzz.h"

#include "salvage/salvage.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// A folder of its own, so that a next cabinet named in the input can only be
// the input itself.
std::string g_folder;

void removeScratch()
{
    std::remove((g_folder + "/in.cab").c_str());
    rmdir(g_folder.c_str());
}

const std::string &scratchCabinet()
{
    static const std::string path = [] {
        char pattern[] = "/tmp/salvage_fuzz.XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::abort();
        }
        g_folder = pattern;
        std::atexit(removeScratch);
        return g_folder + "/in.cab";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string &path = scratchCabinet();
    std::FILE *out = std::fopen(path.c_str(), "wb");
    if (out == nullptr || std::fwrite(data, 1, size, out) != size || std::fclose(out) != 0) {
        std::abort();
    }
    cabtool::runSalvage(path, 0, nullptr, cabtool::SalvageFill::Zero);
    return 0;
}
