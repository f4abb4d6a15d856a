// The seeded mixed corpus every benchmark reads: text-like and binary-like data
// in 1 MiB segments, a tenth of it incompressible, as in a real update.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t kCorpusSize = 64u << 20;

// Built on first use; identical in every run.
const Bytes &corpus();

}  // namespace bench
