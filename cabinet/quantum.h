// Quantum: LZ77 with literals, match lengths and match positions coded by an
// adaptive arithmetic coder.
//
// The decoder is reached through kQuantumDecoder (decoder.h). Each data block is
// one frame of output with an arithmetic code of its own; the window and the
// models carry over from block to block within a folder. All state lives in the
// decoder object, so any number of decoders may work side by side.
#pragma once

#include "decoder.h"

#include <cstdint>

constexpr std::uint32_t kQuantumTag = 0x314E5451;  // "QTN1"
constexpr std::uint32_t kQuantumFrameSize = 32768;
// A block's coded bytes may exceed its output by this much.
constexpr std::uint32_t kQuantumBlockOverhead = 10240;
