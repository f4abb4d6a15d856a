// Quantum extraction throughput through the engine, against zlib's raw inflate
// of the same data in the same run, and Quantum's compression beside MSZIP's.
//
// The first kPrefixSize bytes of the shared corpus (Quantum encoding of all of
// it would make start-up slow) are stored as one file in a cabinet with a
// Quantum folder (window 2^21) and data-block checksums. The engine extracts it
// with in-memory callbacks, checksums verified:
// - in memory: the window is allocated;
// - scratch file: the window's allocation is refused, so the decoder pages it
//   through a real temporary file; once with every page buffer it asks for,
//   once with memory for only 16 page buffers (512 pages to the window).
// The baseline is the MSZIP benchmarks' zlib over the first kPrefixSize bytes
// of their folder: the same bytes in 32768-byte raw deflate blocks, each
// primed with the previous block. Throughput is output bytes per second;
// ratios to zlib are printed last.
#include "mszip_folder.h"
#include "ratio_reporter.h"

#include <cabinet/engine.h>
#include <cabinet/writer.h>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using bench::Bytes;

constexpr std::size_t kPrefixSize = 16u << 20;
constexpr unsigned kWindowBits = 21;
const char *const kCabinetName = "bench.cab";

// ---------------------------------------------------------------------------
// Data

struct Prepared {
    Bytes original;
    std::vector<std::pair<std::string, std::size_t>> cabinetSizes;  // method, cabinet bytes
    Bytes quantumCabinet;
    double quantumEncodeSeconds = 0;
};

bool buildCabinet(const Bytes &data, const cabwriter::Compression &compression, Bytes &image)
{
    cabwriter::Options options;
    options.compression = compression;
    options.firstCabinetName = kCabinetName;
    cabwriter::Writer writer(options);
    cabwriter::FileInfo info;
    info.name = "corpus.bin";
    std::vector<cabwriter::CabinetImage> images;
    if (!writer.addFile(info, data) || !writer.build(images) || images.size() != 1) {
        std::fprintf(stderr, "writer: %s\n", writer.error().c_str());
        return false;
    }
    image = std::move(images.front().bytes);
    return true;
}

const Prepared &prepared()
{
    static const Prepared built = [] {
        Prepared p;
        const Bytes &corpus = bench::corpus();
        p.original.assign(corpus.begin(), corpus.begin() + static_cast<std::ptrdiff_t>(kPrefixSize));

        const auto start = std::chrono::steady_clock::now();
        if (!buildCabinet(p.original, cabwriter::Compression{cabwriter::Method::Quantum, kWindowBits},
                          p.quantumCabinet)) {
            std::exit(1);
        }
        p.quantumEncodeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        p.cabinetSizes.emplace_back("Quantum (window 2^21)", p.quantumCabinet.size());

        // The other methods the writer has, for their compression only.
        const std::pair<const char *, cabwriter::Compression> others[] = {
            {"MSZIP", cabwriter::Compression{cabwriter::Method::Mszip, 0}},
            {"LZX (lzx:21)", cabwriter::Compression{cabwriter::Method::Lzx, 21}},
        };
        for (const auto &[name, compression] : others) {
            Bytes image;
            if (!buildCabinet(p.original, compression, image)) {
                std::exit(1);
            }
            p.cabinetSizes.emplace_back(name, image.size());
        }
        return p;
    }();
    return built;
}

// ---------------------------------------------------------------------------
// The engine's callbacks: the cabinet from memory, the output counted (and kept
// when checking), a "*" scratch file as a real temporary file.

constexpr std::int32_t kOutputHandle = 100;
constexpr std::int32_t kScratchBase = 1000;  // scratch handles are this plus the descriptor

struct CabinetHandle {
    std::size_t position = 0;
    bool open = false;
};

struct EngineIo {
    const Bytes *cabinet = nullptr;
    std::vector<CabinetHandle> handles;
    std::size_t produced = 0;
    Bytes *check = nullptr;
    // Allocations of refuseFrom bytes or more fail; once one has, later ones
    // succeed only within budgetAfterRefusal bytes (0: no limit).
    std::uint32_t refuseFrom = 0;
    std::uint32_t budgetAfterRefusal = 0;
    bool refused = false;
    std::uint32_t spentAfterRefusal = 0;
    int scratchOpens = 0;
};
EngineIo g_io;

void *ioAlloc(std::uint32_t n)
{
    if (g_io.refuseFrom != 0 && n >= g_io.refuseFrom) {
        g_io.refused = true;
        return nullptr;
    }
    if (g_io.refused && g_io.budgetAfterRefusal != 0) {
        if (n > g_io.budgetAfterRefusal - g_io.spentAfterRefusal) {
            return nullptr;
        }
        g_io.spentAfterRefusal += n;
    }
    return std::malloc(n == 0 ? 1 : n);
}
void ioFree(void *p) { std::free(p); }

std::int32_t ioOpen(const char *path, std::int32_t, std::int32_t)
{
    if (path[0] == '*' && path[1] == '\0') {
        char name[] = "/tmp/quantum-scratch-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) {
            return -1;
        }
        unlink(name);  // gone from the folder now, and from the disk at close
        ++g_io.scratchOpens;
        return kScratchBase + fd;
    }
    if (std::strcmp(path, kCabinetName) != 0) {
        return -1;
    }
    g_io.handles.push_back(CabinetHandle{0, true});
    return static_cast<std::int32_t>(g_io.handles.size() - 1);
}

CabinetHandle *cabinetHandle(std::int32_t h)
{
    if (h < 0 || static_cast<std::size_t>(h) >= g_io.handles.size() || !g_io.handles[h].open) {
        return nullptr;
    }
    return &g_io.handles[h];
}

std::int32_t ioRead(std::int32_t h, void *buffer, std::uint32_t count)
{
    if (h >= kScratchBase) {
        return static_cast<std::int32_t>(::read(h - kScratchBase, buffer, count));
    }
    CabinetHandle *handle = cabinetHandle(h);
    if (handle == nullptr) {
        return -1;
    }
    const std::size_t size = g_io.cabinet->size();
    const std::size_t n = std::min<std::size_t>(count, handle->position < size ? size - handle->position : 0);
    std::memcpy(buffer, g_io.cabinet->data() + handle->position, n);
    handle->position += n;
    return static_cast<std::int32_t>(n);
}

std::int32_t ioWrite(std::int32_t h, const void *buffer, std::uint32_t count)
{
    if (h >= kScratchBase) {
        return static_cast<std::int32_t>(::write(h - kScratchBase, buffer, count));
    }
    if (h != kOutputHandle) {
        return -1;
    }
    g_io.produced += count;
    if (g_io.check != nullptr) {
        const auto *p = static_cast<const std::uint8_t *>(buffer);
        g_io.check->insert(g_io.check->end(), p, p + count);
    }
    return static_cast<std::int32_t>(count);
}

std::int32_t ioClose(std::int32_t h)
{
    if (h >= kScratchBase) {
        return ::close(h - kScratchBase);
    }
    CabinetHandle *handle = cabinetHandle(h);
    if (handle == nullptr) {
        return -1;
    }
    handle->open = false;
    return 0;
}

std::int32_t ioSeek(std::int32_t h, std::int32_t offset, std::int32_t origin)
{
    if (h >= kScratchBase) {
        return static_cast<std::int32_t>(::lseek(h - kScratchBase, offset, origin));
    }
    CabinetHandle *handle = cabinetHandle(h);
    if (handle == nullptr) {
        return -1;
    }
    const std::int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<std::int64_t>(handle->position)
                                                            : static_cast<std::int64_t>(g_io.cabinet->size());
    const std::int64_t target = base + offset;
    if (target < 0 || target > static_cast<std::int64_t>(g_io.cabinet->size())) {
        return -1;
    }
    handle->position = static_cast<std::size_t>(target);
    return static_cast<std::int32_t>(target);
}

std::int32_t ioNotify(CabNotifyKind kind, CabNotifyRecord *)
{
    switch (kind) {
    case CabNotifyKind::FileStart:
        return kOutputHandle;
    case CabNotifyKind::FileDone:
        return 1;
    default:
        return 0;
    }
}

enum class Window { InMemory, ScratchFile, ScratchFileSixteenPages };

// One extraction of the cabinet by a fresh engine; answers the bytes produced, 0 on failure.
std::size_t extractOnce(Window window, Bytes *check)
{
    g_io = EngineIo{};
    g_io.cabinet = &prepared().quantumCabinet;
    g_io.check = check;
    if (window != Window::InMemory) {
        g_io.refuseFrom = 1u << kWindowBits;
    }
    if (window == Window::ScratchFileSixteenPages) {
        g_io.budgetAfterRefusal = 16 * (4096 + 64) + 4096;  // the buffers and the page table
    }
    CabError error{};
    CabinetEngine *engine = CabinetEngine::create(ioAlloc, ioFree, ioOpen, ioRead, ioWrite, ioClose, ioSeek, 1, &error);
    if (engine == nullptr) {
        return 0;
    }
    const int ok = CabinetEngine::extract(engine, kCabinetName, "", 0, ioNotify, nullptr, nullptr);
    CabinetEngine::destroy(engine);
    if (ok != 1 || (window != Window::InMemory && g_io.scratchOpens != 1)) {
        return 0;
    }
    return g_io.produced;
}

void runQuantum(benchmark::State &state, Window window)
{
    Bytes check;
    check.reserve(kPrefixSize);
    if (extractOnce(window, &check) != kPrefixSize || check != prepared().original) {
        state.SkipWithError("the engine does not reproduce the corpus");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes += extractOnce(window, nullptr);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_QuantumInMemory(benchmark::State &state) { runQuantum(state, Window::InMemory); }
void BM_QuantumScratchFile(benchmark::State &state) { runQuantum(state, Window::ScratchFile); }
void BM_QuantumScratchFile16Pages(benchmark::State &state) { runQuantum(state, Window::ScratchFileSixteenPages); }

BENCHMARK(BM_QuantumInMemory)->Unit(benchmark::kMillisecond)->MinTime(1.5)->Repetitions(3);
BENCHMARK(BM_QuantumScratchFile)->Unit(benchmark::kMillisecond)->MinTime(1.5)->Repetitions(3);
BENCHMARK(BM_QuantumScratchFile16Pages)->Unit(benchmark::kMillisecond)->MinTime(1.5)->Repetitions(3);

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    const Prepared &p = prepared();
    std::printf("corpus: the first %zu bytes of the shared corpus; Quantum encoding took %.1f s\n", p.original.size(),
                p.quantumEncodeSeconds);
    for (const auto &[method, size] : p.cabinetSizes) {
        std::printf("  %-22s cabinet of %zu bytes (%.1f%%)\n", method.c_str(), size,
                    100.0 * static_cast<double>(size) / static_cast<double>(p.original.size()));
    }

    bench::registerBaselines(kPrefixSize);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto zlib = reporter.medians.find("zlib");
    if (zlib != reporter.medians.end() && zlib->second > 0) {
        std::printf("\nzlib inflate %.1f MB/s (median output throughput)\n", zlib->second / 1e6);
        for (const char *name : {"BM_QuantumInMemory", "BM_QuantumScratchFile", "BM_QuantumScratchFile16Pages"}) {
            const auto ours = reporter.medians.find(name);
            if (ours != reporter.medians.end()) {
                std::printf("%-30s %7.1f MB/s, ratio to zlib %.2fx\n", name + 3, ours->second / 1e6,
                            ours->second / zlib->second);
            }
        }
    }
    benchmark::Shutdown();
    return 0;
}
