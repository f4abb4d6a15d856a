// End-to-end MSZIP extraction: the engine reading a whole cabinet through
// in-memory callbacks, checksums included, writing nowhere (what `cabtool
// test` does), against zlib's raw inflate of the same blocks and libdeflate
// over the same corpus as one stream. Also reports the engine's peak memory
// for two cabinet sizes, and `cabtool test` on a cabinet whose file list runs
// backwards against the same cabinet in folder order.
#include "checksum.h"
#include "mszip_folder.h"

#include <cabinet/engine.h>
#include <set_walk.h>
#include <engine_io.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

namespace {

using bench::Bytes;

constexpr std::uint32_t kBlock = 32768;

void put16(Bytes &out, std::size_t at, std::uint32_t value)
{
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}
void put32(Bytes &out, std::size_t at, std::uint32_t value)
{
    put16(out, at, value & 0xFFFF);
    put16(out, at + 2, value >> 16);
}

// One cabinet with one MSZIP folder holding the first `size` bytes of the
// corpus as `files` equal files, listed in folder order or backwards.
Bytes makeCabinet(std::size_t size, unsigned files, bool backwards)
{
    const bench::MszipFolder &folder = bench::mszipFolder();
    const std::size_t blocks = size / kBlock;
    Bytes list;
    for (unsigned n = 0; n < files; ++n) {
        const unsigned i = backwards ? files - 1 - n : n;
        const std::size_t at = list.size();
        list.resize(at + 16);
        put32(list, at, static_cast<std::uint32_t>(size / files));
        put32(list, at + 4, static_cast<std::uint32_t>(i * (size / files)));
        put16(list, at + 10, 0x5A21);
        put16(list, at + 14, 0x20);
        const std::string name = "file" + std::to_string(i) + ".bin";
        list.insert(list.end(), name.begin(), name.end() + 1);
    }
    const std::size_t listAt = 36 + 8;
    std::size_t dataAt = listAt + list.size();
    Bytes out(dataAt);
    std::memcpy(out.data(), "MSCF", 4);
    put32(out, 16, static_cast<std::uint32_t>(listAt));
    put16(out, 24, 0x0103);
    put16(out, 26, 1);
    put16(out, 28, files);
    put32(out, 36, static_cast<std::uint32_t>(dataAt));
    put16(out, 40, static_cast<std::uint32_t>(blocks));
    put16(out, 42, 1);  // MSZIP
    std::memcpy(out.data() + listAt, list.data(), list.size());
    for (std::size_t b = 0; b < blocks; ++b) {
        const Bytes &data = folder.blocks[b];
        const std::size_t at = out.size();
        out.resize(at + 8);
        put16(out, at + 4, static_cast<std::uint32_t>(data.size()));
        put16(out, at + 6, kBlock);
        out.insert(out.end(), data.begin(), data.end());
        std::uint32_t sum = cabinetChecksum(data.data(), static_cast<std::uint32_t>(data.size()), 0);
        put32(out, at, cabinetChecksum(out.data() + at + 4, 4, sum));
    }
    put32(out, 8, static_cast<std::uint32_t>(out.size()));
    return out;
}

// ---- The engine's callbacks over memory ---------------------------------------------

std::map<std::string, const Bytes *> g_cabinets;
struct OpenCabinet {
    const Bytes *bytes = nullptr;
    std::size_t position = 0;
};
OpenCabinet g_handles[8];
constexpr std::int32_t kCheckHandle = 100;
constexpr std::int32_t kDiscardHandle = 101;
Bytes *g_check = nullptr;
std::size_t g_allocated = 0;
std::size_t g_peak = 0;

void *memAlloc(std::uint32_t size)
{
    auto *block = static_cast<std::size_t *>(std::malloc(size + sizeof(std::max_align_t)));
    if (block == nullptr) {
        return nullptr;
    }
    *block = size;
    g_allocated += size;
    g_peak = std::max(g_peak, g_allocated);
    return reinterpret_cast<std::uint8_t *>(block) + sizeof(std::max_align_t);
}
void memFree(void *memory)
{
    auto *block = reinterpret_cast<std::size_t *>(static_cast<std::uint8_t *>(memory) - sizeof(std::max_align_t));
    g_allocated -= *block;
    std::free(block);
}
std::int32_t memOpen(const char *path, std::int32_t, std::int32_t)
{
    const auto found = g_cabinets.find(path);
    if (found == g_cabinets.end()) {
        return -1;
    }
    for (std::int32_t h = 0; h < 8; ++h) {
        if (g_handles[h].bytes == nullptr) {
            g_handles[h] = OpenCabinet{found->second, 0};
            return h;
        }
    }
    return -1;
}
std::int32_t memRead(std::int32_t handle, void *buffer, std::uint32_t count)
{
    OpenCabinet &c = g_handles[handle];
    const std::size_t n = std::min<std::size_t>(count, c.bytes->size() - c.position);
    std::memcpy(buffer, c.bytes->data() + c.position, n);
    c.position += n;
    return static_cast<std::int32_t>(n);
}
std::int32_t memWrite(std::int32_t handle, const void *buffer, std::uint32_t count)
{
    if (handle == kCheckHandle) {
        const auto *bytes = static_cast<const std::uint8_t *>(buffer);
        g_check->insert(g_check->end(), bytes, bytes + count);
    }
    return static_cast<std::int32_t>(count);
}
std::int32_t memClose(std::int32_t handle)
{
    if (handle >= 0 && handle < 8) {
        g_handles[handle] = OpenCabinet{};
    }
    return 0;
}
std::int32_t memSeek(std::int32_t handle, std::int32_t offset, std::int32_t origin)
{
    OpenCabinet &c = g_handles[handle];
    c.position = origin == 1 ? c.position + static_cast<std::size_t>(offset) : static_cast<std::size_t>(offset);
    return static_cast<std::int32_t>(c.position);
}

std::int32_t notifyTest(CabNotifyKind kind, CabNotifyRecord *)
{
    switch (kind) {
    case CabNotifyKind::FileStart:
        return g_check != nullptr ? kCheckHandle : kDiscardHandle;
    case CabNotifyKind::FileDone:
        return 1;
    default:
        return 0;
    }
}

// Creates an engine, extracts the named cabinet, destroys the engine; answers
// the bytes produced, 0 on failure.
std::size_t extractInMemory(const char *name, std::size_t size, Bytes *check)
{
    g_check = check;
    CabError error{};
    CabinetEngine *engine =
        CabinetEngine::create(memAlloc, memFree, memOpen, memRead, memWrite, memClose, memSeek, 1, &error);
    const bool ok = engine != nullptr && CabinetEngine::extract(engine, name, "", 0, notifyTest, nullptr, nullptr) == 1;
    if (engine != nullptr) {
        CabinetEngine::destroy(engine);
    }
    g_check = nullptr;
    return ok ? size : 0;
}

const Bytes &fullCabinet()
{
    static const Bytes built = makeCabinet(bench::kCorpusSize, 256, false);
    return built;
}

void BM_ExtractOurs(benchmark::State &state)
{
    Bytes check;
    check.reserve(bench::kCorpusSize);
    if (extractInMemory("full.cab", bench::kCorpusSize, &check) != bench::kCorpusSize || check != bench::corpus()) {
        state.SkipWithError("the engine does not reproduce the corpus");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes += extractInMemory("full.cab", bench::kCorpusSize, nullptr);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_ExtractOurs)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(3);

// ---- cabtool's walk on cabinet files --------------------------------------------------

class Discard final : public cabtool::WalkHandler {
public:
    std::int32_t fileStart(const CabNotifyRecord &) override { return cabtool::kDiscardHandle; }
    bool fileDone(const CabNotifyRecord &) override { return true; }
};

double cabtoolTestSeconds(const std::string &path, int *files)
{
    Discard handler;
    const auto start = std::chrono::steady_clock::now();
    const cabtool::WalkOutcome outcome = cabtool::walkCabinets(path, handler, true);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    *files = outcome.failures == 0 ? outcome.files : -1;
    return took.count();
}

// The 32 MiB, 256-file cabinet in folder order and backwards, each tested
// three times, alternating; the best time of each is kept.
void reportReversedList()
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("extract_bench_" + std::to_string(std::rand()));
    std::filesystem::create_directories(folder);
    const std::string paths[2] = {(folder / "in-order.cab").string(), (folder / "reversed.cab").string()};
    for (int i = 0; i < 2; ++i) {
        const Bytes cabinet = makeCabinet(32u << 20, 256, i == 1);
        std::FILE *out = std::fopen(paths[i].c_str(), "wb");
        if (out == nullptr) {
            std::printf("cannot write %s\n", paths[i].c_str());
            return;
        }
        std::fwrite(cabinet.data(), 1, cabinet.size(), out);
        std::fclose(out);
    }
    double best[2] = {1e9, 1e9};
    int files[2] = {};
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 2; ++i) {
            best[i] = std::min(best[i], cabtoolTestSeconds(paths[i], &files[i]));
        }
    }
    std::filesystem::remove_all(folder);
    std::printf("\ncabtool test, 32 MiB MSZIP folder of 256 files (best of 3):\n");
    std::printf("  list in folder order: %.3f s, %d files good\n", best[0], files[0]);
    std::printf("  list backwards:       %.3f s, %d files good\n", best[1], files[1]);
    std::printf("  ratio backwards/in order: %.2fx\n", best[1] / best[0]);
}

void reportPeakMemory()
{
    static const Bytes small = makeCabinet(4u << 20, 16, false);
    g_cabinets["small.cab"] = &small;
    std::printf("\nengine's peak memory through its alloc callback:\n");
    for (const auto &[name, size] : {std::pair<const char *, std::size_t>{"small.cab", 4u << 20},
                                     std::pair<const char *, std::size_t>{"full.cab", bench::kCorpusSize}}) {
        g_peak = 0;
        const bool ok = extractInMemory(name, size, nullptr) == size;
        std::printf("  %s (%zu MiB of files): %zu bytes%s\n", name, size >> 20, g_peak, ok ? "" : " (FAILED)");
    }
}

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    g_cabinets["full.cab"] = &fullCabinet();
    std::printf("cabinet: %zu bytes, one MSZIP folder of %zu blocks, 256 files\n", fullCabinet().size(),
                bench::mszipFolder().blocks.size());
    bench::registerBaselines();
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    bench::printRatios(reporter, "BM_ExtractOurs");
    reportPeakMemory();
    reportReversedList();
    benchmark::Shutdown();
    return 0;
}
