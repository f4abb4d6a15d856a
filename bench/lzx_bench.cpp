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
#include "decoder.h"
#include "memory_engine.h"
#include "mszip_folder.h"
#include "ratio_reporter.h"

#include <cabinet/writer.h>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using bench::Bytes;
using bench::kCorpusSize;

constexpr std::size_t kFileSize = 1u << 20;

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

void BM_LzxEngine(benchmark::State &state)
{
    CabinetEngine *engine = bench::createMemoryEngine(0);
    if (engine == nullptr || bench::extractFromMemory(engine, "corpus.cab", "mem/", nullptr) != kCorpusSize) {
        state.SkipWithError("the engine does not extract the LZX cabinet");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes += bench::extractFromMemory(engine, "corpus.cab", "mem/", nullptr);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    CabinetEngine::destroy(engine);
}

std::size_t inflateOnce(z_stream &z, Bytes &out)
{
    const Bytes &in = bench::deflateStream();
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
    DecoderCallbacks callbacks{};
    callbacks.alloc = bench::countingAlloc;
    callbacks.free = bench::countingFree;
    const std::size_t before = bench::allocatedBytes();
    std::uint32_t maxBlock = 32768;
    void *decoder = nullptr;
    if (kLzxDecoder.createDecoder(&maxBlock, DecoderParams{21, 0}, callbacks, &decoder) != DecoderResult::Ok) {
        return 0;
    }
    const std::size_t size = bench::allocatedBytes() - before;
    kLzxDecoder.destroyDecoder(decoder);
    return size;
}

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    const std::size_t lzx = lzxCabinet().size();
    const std::size_t mszip = writeCabinet(cabwriter::Compression{cabwriter::Method::Mszip, 0}).size();
    const std::size_t deflated = bench::deflateStream().size();
    auto percent = [](std::size_t n) { return 100.0 * static_cast<double>(n) / kCorpusSize; };
    std::printf("corpus: %zu bytes; cabinets: LZX (lzx:21) %zu bytes (%.1f%%), MSZIP %zu bytes (%.1f%%); "
                "zlib raw stream %zu bytes (%.1f%%)\n",
                kCorpusSize, lzx, percent(lzx), mszip, percent(mszip), deflated, percent(deflated));
    std::printf("LZX decoder allocation for a 2^21 window: %zu bytes\n", decoderAllocation());

    bench::addMemoryCabinet("mem/corpus.cab", lzxCabinet());
    bench::RatioReporter reporter;
    bench::resetPeak();
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nengine peak allocation while extracting: %zu bytes\n", bench::peakBytes());
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
