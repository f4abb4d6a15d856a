#include "mszip_folder.h"

#include "ratio_reporter.h"

#include <zlib.h>
#ifdef ORVEL_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <algorithm>
#include <cstdio>
#include <functional>

namespace bench {

namespace {

constexpr std::size_t kBlock = 32768;

}  // namespace

const MszipFolder &mszipFolder()
{
    static const MszipFolder built = [] {
        MszipFolder f{corpus(), {}};
        z_stream stream{};
        deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
        for (std::size_t offset = 0; offset < f.original.size(); offset += kBlock) {
            const std::size_t length = std::min(kBlock, f.original.size() - offset);
            deflateReset(&stream);
            if (offset != 0) {
                deflateSetDictionary(&stream, f.original.data() + offset - kBlock, kBlock);
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

const Bytes &deflateStream()
{
    static const Bytes built = [] {
        const Bytes &original = corpus();
        z_stream stream{};
        deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
        Bytes out(deflateBound(&stream, static_cast<uLong>(original.size())) + 64);
        stream.next_in = const_cast<Bytef *>(original.data());
        stream.avail_in = static_cast<uInt>(original.size());
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        deflate(&stream, Z_FINISH);
        out.resize(out.size() - stream.avail_out);
        deflateEnd(&stream);
        return out;
    }();
    return built;
}

std::size_t zlibInflateFolder(Bytes *check, std::size_t bytes)
{
    static z_stream stream = [] {
        z_stream made{};
        inflateInit2(&made, -15);
        return made;
    }();
    static Bytes current(kBlock);
    static Bytes previous(kBlock);
    std::size_t total = 0;
    std::size_t previousSize = 0;
    const std::vector<Bytes> &blocks = mszipFolder().blocks;
    const std::size_t count = std::min(blocks.size(), (bytes + kBlock - 1) / kBlock);
    for (std::size_t b = 0; b < count; ++b) {
        const Bytes &block = blocks[b];
        inflateReset(&stream);
        if (previousSize != 0) {
            inflateSetDictionary(&stream, previous.data(), static_cast<uInt>(previousSize));
        }
        stream.next_in = const_cast<Bytef *>(block.data() + 2);
        stream.avail_in = static_cast<uInt>(block.size() - 2);
        stream.next_out = current.data();
        stream.avail_out = kBlock;
        if (inflate(&stream, Z_FINISH) != Z_STREAM_END) {
            return 0;
        }
        const std::size_t size = kBlock - stream.avail_out;
        if (check != nullptr) {
            check->insert(check->end(), current.begin(), current.begin() + static_cast<std::ptrdiff_t>(size));
        }
        total += size;
        previousSize = size;
        std::swap(current, previous);
    }
    return total;
}

#ifdef ORVEL_HAVE_LIBDEFLATE
bool haveLibdeflate() { return true; }

std::size_t libdeflateInflateStream(Bytes *check)
{
    static libdeflate_decompressor *const decompressor = libdeflate_alloc_decompressor();
    static Bytes out(kCorpusSize);
    const Bytes &in = deflateStream();
    std::size_t produced = 0;
    if (libdeflate_deflate_decompress(decompressor, in.data(), in.size(), out.data(), out.size(), &produced) !=
        LIBDEFLATE_SUCCESS) {
        return 0;
    }
    if (check != nullptr) {
        *check = out;
    }
    return produced;
}
#else
bool haveLibdeflate() { return false; }
std::size_t libdeflateInflateStream(Bytes *) { return 0; }
#endif

namespace {

using Decode = std::function<std::size_t(Bytes *)>;

void runBaseline(benchmark::State &state, const Decode &decode, std::size_t expected)
{
    Bytes check;
    check.reserve(expected);
    const Bytes &original = corpus();
    const auto end = original.begin() + static_cast<std::ptrdiff_t>(expected);
    if (decode(&check) != expected || !std::equal(check.begin(), check.end(), original.begin(), end)) {
        state.SkipWithError("the baseline does not reproduce the corpus");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes += decode(nullptr);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

}  // namespace

void registerBaselines(std::size_t bytes)
{
    const Decode zlib = [bytes](Bytes *check) { return zlibInflateFolder(check, bytes); };
    benchmark::RegisterBenchmark("zlib", runBaseline, zlib, bytes)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(1.0)
        ->Repetitions(3);
    if (bytes == kCorpusSize && haveLibdeflate()) {
        benchmark::RegisterBenchmark("libdeflate", runBaseline, Decode(libdeflateInflateStream), kCorpusSize)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(1.0)
            ->Repetitions(3);
    }
}

void printRatios(const RatioReporter &reporter, const char *ours)
{
    const auto find = [&reporter](const char *name) {
        const auto found = reporter.medians.find(name);
        return found != reporter.medians.end() ? found->second : 0.0;
    };
    const double mine = find(ours);
    std::printf("\n%s %.1f MB/s (median output throughput)\n", ours, mine / 1e6);
    for (const char *baseline : {"zlib", "libdeflate"}) {
        const double theirs = find(baseline);
        if (theirs > 0 && mine > 0) {
            std::printf("ratio %s/%s: %.2fx (%s %.1f MB/s)\n", ours, baseline, mine / theirs, baseline,
                        theirs / 1e6);
        } else if (std::string(baseline) == "libdeflate" && !haveLibdeflate()) {
            std::printf("libdeflate: not measured (built without libdeflate-dev)\n");
        }
    }
}

}  // namespace bench
