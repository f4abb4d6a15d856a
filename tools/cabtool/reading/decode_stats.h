// --stats: how much decoding a run took, from the engine's reserve hook, which
// sees every folder entry and data block the engine reads before decoding it.
// A folder decoded from its start counts one pass; a folder that goes on into
// the next cabinet of a set counts one more pass in each cabinet it reaches.
#pragma once

#include <cabinet/engine.h>

#include <cstdint>

namespace cabtool {

struct DecodeStats {
    std::uint64_t folderPasses = 0;
    std::uint64_t blocks = 0;            // data blocks, a block split over two cabinets once
    std::uint64_t compressedBytes = 0;   // of those blocks' data
};

// The hook the walk hands the engine; it only counts.
std::int32_t countDecoding(CabHookRecord *record);
const DecodeStats &decodeStats();

// "cabtool: decoded ..." on stderr, with the bytes the engine read from cabinets.
void reportDecodeStats();

}  // namespace cabtool
