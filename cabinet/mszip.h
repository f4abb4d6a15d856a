// MSZIP: deflate data framed per data block, each block introduced by "CK".
//
// The decoder is reached through kMszipDecoder (decoder.h). History carries from
// one data block of a folder to the next in the decoder's 32768-byte window.
#pragma once

#include "decoder.h"

#include <cstdint>

constexpr std::uint32_t kMszipWindowSize = 32768;
// A block's deflate data may exceed its output by this much (the "CK" and the
// stored-block headers of incompressible data).
constexpr std::uint32_t kMszipBlockOverhead = 12;
constexpr std::uint32_t kMszipTag = 0x315A534D;  // "MSZ1"
