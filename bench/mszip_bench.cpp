// MSZIP decoding throughput against zlib's raw inflate on the same deflate data.
//
// A fixed, seeded corpus of mixed text-like, binary-like and random data is cut
// into 32768-byte blocks and compressed the way a folder holds them: each block
// its own deflate stream, primed with the previous block. Both decoders then
// turn the whole folder back into bytes; zlib gets the previous block as its
// dictionary, which is the same work our decoder does through its window.
// Throughput is output bytes per second; the ratio ours/zlib is printed last.
#include "corpus.h"
#include "decoder.h"
#include "mszip.h"
#include "ratio_reporter.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using bench::Bytes;

using bench::kCorpusSize;

struct Folder {
    Bytes original;
    std::vector<Bytes> blocks;  // "CK" + raw deflate, one per 32768 bytes
};

const Folder &folder()
{
    static const Folder built = [] {
        Folder f;
        f.original = bench::corpus();

        z_stream stream{};
        deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
        for (std::size_t offset = 0; offset < f.original.size(); offset += kMszipWindowSize) {
            const std::size_t length = std::min<std::size_t>(kMszipWindowSize, f.original.size() - offset);
            deflateReset(&stream);
            if (offset != 0) {
                deflateSetDictionary(&stream, f.original.data() + offset - kMszipWindowSize, kMszipWindowSize);
            }
            // deflateBound can fall short for tiny stored inputs; leave slack.
            Bytes block(2 + deflateBound(&stream, static_cast<uLong>(length)) + 64);
            block[0] = 'C';
            block[1] = 'K';
            stream.next_in = const_cast<Bytef *>(f.original.data() + offset);
            stream.avail_in = static_cast<uInt>(length);
            stream.next_out = block.data() + 2;
            stream.avail_out = static_cast<uInt>(block.size() - 2);
            deflate(&stream, Z_FINISH);
            block.resize(block.size() - stream.avail_out);
            f.blocks.push_back(std::move(block));
        }
        deflateEnd(&stream);
        return f;
    }();
    return built;
}

void *benchAlloc(std::uint32_t size) { return std::malloc(size); }
void benchFree(void *block) { std::free(block); }

// Decodes the whole folder with our decoder; answers the bytes produced, or 0 on failure.
std::size_t decodeOurs(void *decoder, std::uint8_t *window, Bytes *check)
{
    const Folder &f = folder();
    std::size_t total = 0;
    kMszipDecoder.resetDecoder(decoder);
    for (const Bytes &block : f.blocks) {
        std::uint32_t size = kMszipWindowSize;
        if (kMszipDecoder.decodeBlock(decoder, block.data(), static_cast<std::uint32_t>(block.size()), window,
                                      &size) != DecoderResult::Ok) {
            return 0;
        }
        if (check != nullptr) {
            check->insert(check->end(), window, window + size);
        }
        total += size;
    }
    return total;
}

// The same with zlib: each block a raw inflate primed with the previous block's output.
std::size_t decodeZlib(z_stream &stream, Bytes &current, Bytes &previous, Bytes *check)
{
    const Folder &f = folder();
    std::size_t total = 0;
    std::size_t previousSize = 0;
    for (const Bytes &block : f.blocks) {
        inflateReset(&stream);
        if (previousSize != 0) {
            inflateSetDictionary(&stream, previous.data(), static_cast<uInt>(previousSize));
        }
        stream.next_in = const_cast<Bytef *>(block.data() + 2);
        stream.avail_in = static_cast<uInt>(block.size() - 2);
        stream.next_out = current.data();
        stream.avail_out = kMszipWindowSize;
        if (inflate(&stream, Z_FINISH) != Z_STREAM_END) {
            return 0;
        }
        const std::size_t size = kMszipWindowSize - stream.avail_out;
        if (check != nullptr) {
            check->insert(check->end(), current.begin(), current.begin() + size);
        }
        total += size;
        previousSize = size;
        std::swap(current, previous);
    }
    return total;
}

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
};

void BM_MszipOurs(benchmark::State &state)
{
    OurDecoder ours;
    Bytes check;
    check.reserve(kCorpusSize);
    if (decodeOurs(ours.decoder, ours.window.data(), &check) != kCorpusSize || check != folder().original) {
        state.SkipWithError("our decoder does not reproduce the corpus");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes += decodeOurs(ours.decoder, ours.window.data(), nullptr);
        benchmark::DoNotOptimize(ours.window.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_MszipZlib(benchmark::State &state)
{
    z_stream stream{};
    inflateInit2(&stream, -15);
    Bytes current(kMszipWindowSize);
    Bytes previous(kMszipWindowSize);
    Bytes check;
    check.reserve(kCorpusSize);
    if (decodeZlib(stream, current, previous, &check) != kCorpusSize || check != folder().original) {
        inflateEnd(&stream);
        state.SkipWithError("zlib does not reproduce the corpus");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes += decodeZlib(stream, current, previous, nullptr);
        benchmark::DoNotOptimize(current.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    inflateEnd(&stream);
}

// Alternating repetitions keep both sides under the same machine load.
BENCHMARK(BM_MszipZlib)->Unit(benchmark::kMillisecond)->MinTime(1.5)->Repetitions(3);
BENCHMARK(BM_MszipOurs)->Unit(benchmark::kMillisecond)->MinTime(1.5)->Repetitions(3);

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    const Folder &f = folder();
    std::size_t compressed = 0;
    for (const Bytes &block : f.blocks) {
        compressed += block.size();
    }
    std::printf("corpus: %zu bytes in %zu MSZIP blocks, %zu bytes compressed (%.1f%%)\n", f.original.size(),
                f.blocks.size(), compressed, 100.0 * static_cast<double>(compressed) / f.original.size());

    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto ours = reporter.medians.find("BM_MszipOurs");
    const auto zlib = reporter.medians.find("BM_MszipZlib");
    if (ours != reporter.medians.end() && zlib != reporter.medians.end() && zlib->second > 0) {
        std::printf("\nours %.1f MB/s, zlib %.1f MB/s (median output throughput)\n", ours->second / 1e6,
                    zlib->second / 1e6);
        std::printf("ratio ours/zlib: %.2fx\n", ours->second / zlib->second);
    }
    benchmark::Shutdown();
    return 0;
}
