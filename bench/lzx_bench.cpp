// LZX extraction through the whole engine against zlib's raw inflate.
//
// The benchmark corpus is written with the cabinet writer as one LZX folder
// (window 2^21) of 1 MiB files, with block checksums, and extracted through
// the engine with in-memory callbacks whose output goes nowhere, as a test
// run of a cabinet does: reading, checksums, decoding and the output calls
// all count. The baseline is zlib inflating the same corpus as one raw
// deflate stream. Throughput is output bytes per second; the ratio
// engine/zlib is printed last, with the compressed sizes of LZX and MSZIP
// cabinets of the corpus and what the LZX decoder allocates.
#include "corpus.h"
#include "decoder.h"
#include "ratio_reporter.h"

#include <cabinet/engine.h>
#include <cabinet/writer.h>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using bench::Bytes;
using bench::kCorpusSize;

constexpr std::size_t kFileSize = 1u << 20;
constexpr std::int32_t kCabinetHandleBase = 10;
constexpr std::int32_t kOutputHandle = 99;

Bytes writeCabinet(const cabwriter::Compression &compression)
{
    const Bytes &corpus = bench::corpus();
    cabwriter::Options options;
    options.compression = compression;
    options.firstCabinetName = "corpus.cab";
    cabwriter::Writer writer(options);
    for (std::size_t at = 0; at < corpus.size(); at += kFileSize) {
        cabwriter::FileInfo info;
        info.name = "part" + std::to_string(at / kFileSize) + ".bin";
        const std::size_t size = std::min(kFileSize, corpus.size() - at);
        writer.addFile(info, Bytes(corpus.begin() + static_cast<std::ptrdiff_t>(at),
                                   corpus.begin() + static_cast<std::ptrdiff_t>(at + size)));
    }
    std::vector<cabwriter::CabinetImage> images;
    if (!writer.build(images) || images.size() != 1) {
        std::fprintf(stderr, "writer: %s\n", writer.error().c_str());
        std::exit(1);
    }
    return std::move(images.front().bytes);
}

const Bytes &lzxCabinet()
{
    static const Bytes cabinet = writeCabinet(cabwriter::Compression{cabwriter::Method::Lzx, 21});
    return cabinet;
}

// ---- In-memory callbacks; the engine gives them no context, so state is global.

struct Reading {
    std::size_t position = 0;
    bool open = false;
};
Reading g_handles[2];
std::size_t g_written = 0;
std::size_t g_allocated = 0;
std::size_t g_peak = 0;

void *countingAlloc(std::uint32_t size)
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

void countingFree(void *p)
{
    if (p != nullptr) {
        auto *block = reinterpret_cast<std::size_t *>(static_cast<std::uint8_t *>(p) - sizeof(std::max_align_t));
        g_allocated -= *block;
        std::free(block);
    }
}

std::int32_t memOpen(const char *, std::int32_t, std::int32_t)
{
    for (std::int32_t h = 0; h < 2; ++h) {
        if (!g_handles[h].open) {
            g_handles[h] = Reading{0, true};
            return kCabinetHandleBase + h;
        }
    }
    return -1;
}

std::int32_t memRead(std::int32_t handle, void *buffer, std::uint32_t count)
{
    Reading &r = g_handles[handle - kCabinetHandleBase];
    const Bytes &image = lzxCabinet();
    const std::size_t n = std::min<std::size_t>(count, image.size() - std::min(r.position, image.size()));
    std::memcpy(buffer, image.data() + r.position, n);
    r.position += n;
    return static_cast<std::int32_t>(n);
}

std::int32_t memWrite(std::int32_t handle, const void *, std::uint32_t count)
{
    if (handle != kOutputHandle) {
        return -1;
    }
    g_written += count;
    return static_cast<std::int32_t>(count);
}

std::int32_t memClose(std::int32_t handle)
{
    if (handle >= kCabinetHandleBase && handle < kCabinetHandleBase + 2) {
        g_handles[handle - kCabinetHandleBase].open = false;
    }
    return 0;
}

std::int32_t memSeek(std::int32_t handle, std::int32_t offset, std::int32_t origin)
{
    Reading &r = g_handles[handle - kCabinetHandleBase];
    const std::int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<std::int64_t>(r.position)
                                                            : static_cast<std::int64_t>(lzxCabinet().size());
    if (base + offset < 0) {
        return -1;
    }
    r.position = static_cast<std::size_t>(base + offset);
    return static_cast<std::int32_t>(r.position);
}

std::int32_t notify(CabNotifyKind kind, CabNotifyRecord *)
{
    switch (kind) {
    case CabNotifyKind::FileStart:
        return kOutputHandle;
    case CabNotifyKind::FileDone:
        return 1;
    case CabNotifyKind::NeedCabinet:
        return -1;
    default:
        return 0;
    }
}

// Extracts every file; answers the bytes written, 0 on failure.
std::size_t extractOnce(CabinetEngine *engine)
{
    g_written = 0;
    if (CabinetEngine::extract(engine, "corpus.cab", "mem/", 0, notify, nullptr, nullptr) != 1) {
        return 0;
    }
    return g_written;
}

void BM_LzxEngine(benchmark::State &state)
{
    CabError error{};
    CabinetEngine *engine = CabinetEngine::create(countingAlloc, countingFree, memOpen, memRead, memWrite, memClose,
                                                  memSeek, 0, &error);
    if (engine == nullptr || extractOnce(engine) != kCorpusSize) {
        state.SkipWithError("the engine does not extract the LZX cabinet");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes += extractOnce(engine);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    CabinetEngine::destroy(engine);
}

const Bytes &rawDeflate()
{
    static const Bytes stream = [] {
        const Bytes &corpus = bench::corpus();
        z_stream z{};
        deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
        Bytes out(deflateBound(&z, static_cast<uLong>(corpus.size())));
        z.next_in = const_cast<Bytef *>(corpus.data());
        z.avail_in = static_cast<uInt>(corpus.size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, Z_FINISH);
        out.resize(z.total_out);
        deflateEnd(&z);
        return out;
    }();
    return stream;
}

std::size_t inflateOnce(z_stream &z, Bytes &out)
{
    const Bytes &in = rawDeflate();
    inflateReset(&z);
    z.next_in = const_cast<Bytef *>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    return inflate(&z, Z_FINISH) == Z_STREAM_END ? z.total_out : 0;
}

void BM_ZlibInflate(benchmark::State &state)
{
    z_stream z{};
    inflateInit2(&z, -15);
    Bytes out(kCorpusSize);
    if (inflateOnce(z, out) != kCorpusSize || out != bench::corpus()) {
        inflateEnd(&z);
        state.SkipWithError("zlib does not reproduce the corpus");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes += inflateOnce(z, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    inflateEnd(&z);
}

// Alternating repetitions keep both sides under the same machine load.
BENCHMARK(BM_ZlibInflate)->Unit(benchmark::kMillisecond)->MinTime(1.5)->Repetitions(3);
BENCHMARK(BM_LzxEngine)->Unit(benchmark::kMillisecond)->MinTime(1.5)->Repetitions(3);

// What the LZX decoder alone allocates for a window of 2^21.
std::size_t decoderAllocation()
{
    g_allocated = g_peak = 0;
    DecoderCallbacks callbacks{};
    callbacks.alloc = countingAlloc;
    callbacks.free = countingFree;
    std::uint32_t maxBlock = 32768;
    void *decoder = nullptr;
    if (kLzxDecoder.createDecoder(&maxBlock, DecoderParams{21, 0}, callbacks, &decoder) != DecoderResult::Ok) {
        return 0;
    }
    const std::size_t size = g_allocated;
    kLzxDecoder.destroyDecoder(decoder);
    return size;
}

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    const std::size_t lzx = lzxCabinet().size();
    const std::size_t mszip = writeCabinet(cabwriter::Compression{cabwriter::Method::Mszip, 0}).size();
    const std::size_t deflated = rawDeflate().size();
    auto percent = [](std::size_t n) { return 100.0 * static_cast<double>(n) / kCorpusSize; };
    std::printf("corpus: %zu bytes; cabinets: LZX (lzx:21) %zu bytes (%.1f%%), MSZIP %zu bytes (%.1f%%); "
                "zlib raw stream %zu bytes (%.1f%%)\n",
                kCorpusSize, lzx, percent(lzx), mszip, percent(mszip), deflated, percent(deflated));
    std::printf("LZX decoder allocation for a 2^21 window: %zu bytes\n", decoderAllocation());

    bench::RatioReporter reporter;
    g_allocated = g_peak = 0;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nengine peak allocation while extracting: %zu bytes\n", g_peak);
    const auto ours = reporter.medians.find("BM_LzxEngine");
    const auto zlib = reporter.medians.find("BM_ZlibInflate");
    if (ours != reporter.medians.end() && zlib != reporter.medians.end() && zlib->second > 0) {
        std::printf("LZX engine %.1f MB/s, zlib inflate %.1f MB/s (median output throughput)\n", ours->second / 1e6,
                    zlib->second / 1e6);
        std::printf("ratio LZX engine/zlib inflate: %.2fx\n", ours->second / zlib->second);
    }
    benchmark::Shutdown();
    return 0;
}
