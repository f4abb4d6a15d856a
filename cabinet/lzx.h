// LZX: a sliding window of 2^15 to 2^21 bytes, Huffman-coded literals and
// matches with three repeated offsets, verbatim, aligned-offset and
// uncompressed blocks, and an optional translation of x86 CALL targets.
//
// The decoder is reached through kLzxDecoder (decoder.h). Each data block is
// one output frame of at most 32768 bytes; the window, the trees and the block
// in progress carry from frame to frame within a folder.
#pragma once

#include "decoder.h"

#include <cstdint>

constexpr std::uint32_t kLzxFrameSize = 32768;
// The compressed-block buffer: a frame's output plus room for incompressible
// data and block headers.
constexpr std::uint32_t kLzxCompressedBufferSize = kLzxFrameSize + 6144;
constexpr std::uint32_t kLzxTag = 0x31585A4C;  // "LZX1"
// Frames translated after a reset; later frames are left as they are.
constexpr std::uint32_t kLzxTranslatedFrames = 32768;

// The CALL translation of one output frame, applied in place. `position` is
// the running output position of translated frames and advances by `size`.
// `data` must have room for the whole frame; its last 6 bytes are borrowed as
// sentinels while scanning and given back.
void lzxUntranslateCalls(std::uint8_t *data, std::uint32_t size, std::uint32_t translationSize,
                         std::uint32_t &position);
