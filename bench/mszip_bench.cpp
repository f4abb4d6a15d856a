// MSZIP decoding throughput against zlib's raw inflate on the same deflate data.
//
// A fixed, seeded corpus of mixed text-like, binary-like and random data is cut
// into 32768-byte blocks and compressed the way a folder holds them: each block
// its own deflate stream, primed with the previous block. Both decoders then
// turn the whole folder back into bytes; zlib gets the previous block as its
// dictionary, which is the same work our decoder does through its window.
// Throughput is output bytes per second; the ratio ours/zlib is printed last.
#include "decoder.h"
#include "mszip.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kCorpusSize = 64u << 20;
constexpr std::size_t kSegment = 1u << 20;  // the corpus switches kind every segment

void appendText(Bytes &out, std::size_t size, std::mt19937 &rng)
{
    static const char *const words[] = {
        "the",    "of",      "and",      "to",      "in",       "a",       "is",      "that",   "for",
        "it",     "as",      "was",      "with",    "be",       "by",      "on",      "not",    "he",
        "cabinet", "folder", "launcher", "window",  "registry", "setting", "program", "update", "group",
        "icon",   "shortcut", "position", "display", "message",  "return",  "value",   "string", "buffer",
        "length", "offset",  "header",   "version", "compressed", "stream", "history", "table",  "entry"};
    constexpr std::size_t wordCount = sizeof words / sizeof words[0];
    const std::size_t end = out.size() + size;
    while (out.size() < end) {
        // Zipf-like: short common words far more often than the rest.
        const double u = std::uniform_real_distribution<double>(0.0, 1.0)(rng);
        const std::size_t index = static_cast<std::size_t>(u * u * u * wordCount) % wordCount;
        const char *word = words[index];
        out.insert(out.end(), word, word + std::strlen(word));
        const unsigned r = rng() % 100;
        if (r < 6) {
            out.push_back(',');
        } else if (r < 10) {
            out.push_back('.');
        } else if (r < 12) {
            const std::string number = std::to_string(rng() % 100000);
            out.push_back(' ');
            out.insert(out.end(), number.begin(), number.end());
        }
        out.push_back(r % 17 == 0 ? '\n' : ' ');
    }
    out.resize(end);
}

void appendBinary(Bytes &out, std::size_t size, std::mt19937 &rng)
{
    const std::size_t end = out.size() + size;
    std::uint32_t counter = rng();
    while (out.size() < end) {
        switch (rng() % 4) {
        case 0: {  // table of records with slowly changing fields
            for (int i = 0; i < 32; ++i) {
                counter += rng() % 8;
                const std::uint32_t record[4] = {counter, counter ^ 0x5A5A, static_cast<std::uint32_t>(rng() % 64),
                                                 0};
                const auto *bytes = reinterpret_cast<const std::uint8_t *>(record);
                out.insert(out.end(), bytes, bytes + sizeof record);
            }
            break;
        }
        case 1:  // padding
            out.insert(out.end(), rng() % 512, 0);
            break;
        case 2: {  // sampled waveform, 16-bit
            double phase = 0;
            const double step = 0.01 + (rng() % 100) / 2000.0;
            for (int i = 0; i < 256; ++i) {
                phase += step;
                const auto sample = static_cast<std::int16_t>(8000 * (phase - static_cast<int>(phase)) +
                                                              static_cast<int>(rng() % 16));
                out.push_back(static_cast<std::uint8_t>(sample));
                out.push_back(static_cast<std::uint8_t>(sample >> 8));
            }
            break;
        }
        default: {  // instruction-like bytes drawn from a small skewed alphabet
            static const std::uint8_t common[] = {0x8B, 0x89, 0x45, 0xFC, 0xE8, 0x00, 0xFF, 0x83,
                                                  0xC4, 0x04, 0x50, 0x51, 0x52, 0x5D, 0xC3, 0x74};
            for (int i = 0; i < 512; ++i) {
                out.push_back(rng() % 5 == 0 ? static_cast<std::uint8_t>(rng()) : common[rng() % 16]);
            }
            break;
        }
        }
    }
    out.resize(end);
}

void appendRandom(Bytes &out, std::size_t size, std::mt19937 &rng)
{
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(static_cast<std::uint8_t>(rng()));
    }
}

struct Folder {
    Bytes original;
    std::vector<Bytes> blocks;  // "CK" + raw deflate, one per 32768 bytes
};

const Folder &folder()
{
    static const Folder built = [] {
        Folder f;
        std::mt19937 rng(20261207);
        f.original.reserve(kCorpusSize);
        for (std::size_t segment = 0; f.original.size() < kCorpusSize; ++segment) {
            // Text and binary-like data dominate, as in a real update; a tenth is incompressible.
            const unsigned kind = segment % 10;
            if (kind < 5) {
                appendText(f.original, kSegment, rng);
            } else if (kind < 9) {
                appendBinary(f.original, kSegment, rng);
            } else {
                appendRandom(f.original, kSegment, rng);
            }
        }
        f.original.resize(kCorpusSize);

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

// Keeps the median throughput of each benchmark for the closing ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Plain text: the output usually ends up in a log.
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                const auto counter = run.counters.find("bytes_per_second");
                if (counter != run.counters.end()) {
                    medians[run.run_name.function_name] = counter->second.value;
                }
            }
        }
    }
    std::map<std::string, double> medians;
};

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

    RatioReporter reporter;
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
