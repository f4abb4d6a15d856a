// MSZIP decoding throughput of the bare decoder against zlib's raw inflate of
// the same blocks and libdeflate over the same corpus as one stream.
//
// The decoder turns the whole folder back into bytes block by block through
// its window, as the engine drives it. Throughput is output bytes per second;
// the ratios are printed last.
#include "decoder.h"
#include "mszip.h"
#include "mszip_folder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

using bench::Bytes;

void *benchAlloc(std::uint32_t size) { return std::malloc(size); }
void benchFree(void *block) { std::free(block); }

struct OurDecoder {
    void *decoder = nullptr;
    Bytes window = Bytes(kMszipWindowSize);
    OurDecoder()
    {
        DecoderCallbacks callbacks{};
        callbacks.alloc = benchAlloc;
        callbacks.free = benchFree;
        std::uint32_t maxBlock = kMszipWindowSize;
        kMszipDecoder.createDecoder(&maxBlock, DecoderParams{0, 0}, callbacks, &decoder);
    }
    ~OurDecoder() { kMszipDecoder.destroyDecoder(decoder); }

    // Decodes the whole folder; answers the bytes produced, or 0 on failure.
    std::size_t decodeFolder(Bytes *check)
    {
        std::size_t total = 0;
        kMszipDecoder.resetDecoder(decoder);
        for (const Bytes &block : bench::mszipFolder().blocks) {
            std::uint32_t size = kMszipWindowSize;
            if (kMszipDecoder.decodeBlock(decoder, block.data(), static_cast<std::uint32_t>(block.size()),
                                          window.data(), &size) != DecoderResult::Ok) {
                return 0;
            }
            if (check != nullptr) {
                check->insert(check->end(), window.begin(), window.begin() + size);
            }
            total += size;
        }
        return total;
    }
};

void BM_MszipOurs(benchmark::State &state)
{
    OurDecoder ours;
    Bytes check;
    check.reserve(bench::kCorpusSize);
    if (ours.decodeFolder(&check) != bench::kCorpusSize || check != bench::corpus()) {
        state.SkipWithError("our decoder does not reproduce the corpus");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes += ours.decodeFolder(nullptr);
        benchmark::DoNotOptimize(ours.window.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

BENCHMARK(BM_MszipOurs)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(3);

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    const bench::MszipFolder &f = bench::mszipFolder();
    std::size_t compressed = 0;
    for (const Bytes &block : f.blocks) {
        compressed += block.size();
    }
    std::printf("corpus: %zu bytes in %zu MSZIP blocks, %zu bytes compressed (%.1f%%); one stream %zu bytes\n",
                f.original.size(), f.blocks.size(), compressed,
                100.0 * static_cast<double>(compressed) / static_cast<double>(f.original.size()),
                bench::deflateStream().size());
    bench::registerBaselines();

    // Interleaved repetitions keep every side under the same machine load.
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    bench::printRatios(reporter, "BM_MszipOurs");
    benchmark::Shutdown();
    return 0;
}
