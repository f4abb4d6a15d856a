// Arbitrary bytes as a run of LZX data blocks through one decoder, so that the
// window, the trees and the block in progress carry from block to block.
//
// Input layout: 1 byte picks the window (exponent 15 + value mod 7), then,
// repeated while bytes remain:
//   1 byte   control: bit 0 resets the decoder first
//   2 bytes  frame size, little-endian (0: 32768; above 32768 is refused)
//   2 bytes  block length, little-endian (cut to what is left)
//   n bytes  the block
// Every block lives in a heap buffer of exactly its size, so any read past it
// is caught. A frame must come out whole or not at all.
#include "engine_fuzz.h"

#include "decoder.h"
#include "decoder_fuzz.h"
#include "lzx.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1) {
        return 0;
    }
    DecoderCallbacks callbacks{};
    callbacks.alloc = fuzzAlloc;
    callbacks.free = fuzzFree;
    std::uint32_t maxBlock = kLzxFrameSize;
    void *decoder = nullptr;
    const DecoderParams params{15u + data[0] % 7u, 0};
    if (kLzxDecoder.createDecoder(&maxBlock, params, callbacks, &decoder) != DecoderResult::Ok) {
        std::abort();
    }
    std::vector<std::uint8_t> out(kLzxFrameSize);

    std::size_t at = 1;
    while (size - at >= 5) {
        const std::uint8_t control = data[at];
        std::uint32_t frame = data[at + 1] | static_cast<std::uint32_t>(data[at + 2]) << 8;
        std::size_t length = data[at + 3] | static_cast<std::size_t>(data[at + 4]) << 8;
        at += 5;
        std::uint8_t *block = takeFuzzBlock(data, size, at, length);

        if ((control & 1) != 0 && kLzxDecoder.resetDecoder(decoder) != DecoderResult::Ok) {
            std::abort();
        }
        if (frame == 0) {
            frame = kLzxFrameSize;
        }
        std::uint32_t produced = frame;
        const DecoderResult result =
            kLzxDecoder.decodeBlock(decoder, block, static_cast<std::uint32_t>(length), out.data(), &produced);
        std::free(block);
        const DecoderResult allowed = frame > kLzxFrameSize ? DecoderResult::BadSize : DecoderResult::BadData;
        if (result == DecoderResult::Ok ? produced != frame : result != allowed || produced != 0) {
            std::abort();
        }
    }
    kLzxDecoder.destroyDecoder(decoder);
    return 0;
}
