// The corpus as MSZIP data, made once with zlib and shared by the MSZIP
// benchmarks so that every decoder measured turns back the same bytes.
#pragma once

#include "corpus.h"
#include "ratio_reporter.h"

#include <vector>

namespace bench {

// The corpus cut into 32768-byte blocks, each compressed the way a folder
// holds them: its own deflate stream ("CK" first), primed with the previous block.
struct MszipFolder {
    const Bytes &original;
    std::vector<Bytes> blocks;
};
const MszipFolder &mszipFolder();

// The whole corpus as one raw deflate stream at the same level, for decoders
// that take no preset dictionary.
const Bytes &deflateStream();

// The baselines, each answering the bytes it produced (0 on failure) and
// appending them to check when given: zlib's raw inflate over the folder's
// blocks, each primed with the previous block's output as its dictionary (the
// same work an MSZIP decoder does through its window), over the first `bytes`
// of the corpus (a whole number of blocks) for a benchmark that measures only
// a prefix; and, where the benchmarks were built with it, libdeflate over the
// one stream.
std::size_t zlibInflateFolder(Bytes *check, std::size_t bytes = kCorpusSize);
bool haveLibdeflate();
std::size_t libdeflateInflateStream(Bytes *check);

// Registers "zlib" and (when built with it) "libdeflate" as benchmarks,
// checked against the corpus first; and prints, after a run, the throughput
// of the benchmark named ours against both. Given a prefix of the corpus,
// only zlib is registered, over that prefix, so that its ratios compare the
// same bytes (libdeflate's one stream is the whole corpus).
void registerBaselines(std::size_t bytes = kCorpusSize);
void printRatios(const RatioReporter &reporter, const char *ours);

}  // namespace bench
