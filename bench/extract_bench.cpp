// End-to-end MSZIP extraction: the engine reading a whole cabinet through
// in-memory callbacks, checksums included, writing nowhere (what `cabtool
// test` does), against zlib's raw inflate of the same blocks and libdeflate
// over the same corpus as one stream. Also reports the engine's peak memory
// for two cabinet sizes, and `cabtool test` on a cabinet whose file list runs
// backwards against the same cabinet in folder order.
#include "checksum.h"
#include "memory_engine.h"
#include "mszip_folder.h"

#include "reading/set_walk.h"
#include "reading/engine_io.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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

const Bytes &fullCabinet()
{
    static const Bytes built = makeCabinet(bench::kCorpusSize, 256, false);
    return built;
}

void BM_ExtractOurs(benchmark::State &state)
{
    Bytes check;
    check.reserve(bench::kCorpusSize);
    if (bench::extractInMemory("full.cab", &check) != bench::kCorpusSize || check != bench::corpus()) {
        state.SkipWithError("the engine does not reproduce the corpus");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes += bench::extractInMemory("full.cab", nullptr);
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
    bench::addMemoryCabinet("small.cab", small);
    std::printf("\nengine's peak memory through its alloc callback:\n");
    for (const auto &[name, size] : {std::pair<const char *, std::size_t>{"small.cab", 4u << 20},
                                     std::pair<const char *, std::size_t>{"full.cab", bench::kCorpusSize}}) {
        bench::resetPeak();
        const bool ok = bench::extractInMemory(name, nullptr) == size;
        std::printf("  %s (%zu MiB of files): %zu bytes%s\n", name, size >> 20, bench::peakBytes(),
                    ok ? "" : " (FAILED)");
    }
}

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    bench::addMemoryCabinet("full.cab", fullCabinet());
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
