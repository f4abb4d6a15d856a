// Arbitrary bytes as a run of MSZIP data blocks through one decoder.
//
// Input layout, repeated while bytes remain:
//   1 byte   control: bit 0 puts "CK" in front of the block, bit 1 resets the
//            decoder first, bits 2-7 pick the output allowance (0 = 32768)
//   2 bytes  block length, little-endian (cut to what is left)
//   n bytes  the block
// Every block lives in a heap buffer of exactly its size and the window is
// exactly 32768 bytes, so any read or write outside them is caught.
#include "decoder.h"
#include "decoder_fuzz.h"
#include "mszip.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    DecoderCallbacks callbacks{};
    callbacks.alloc = fuzzAlloc;
    callbacks.free = fuzzFree;
    std::uint32_t maxBlock = kMszipWindowSize;
    void *decoder = nullptr;
    if (kMszipDecoder.createDecoder(&maxBlock, DecoderParams{0, 0}, callbacks, &decoder) != DecoderResult::Ok) {
        return 0;
    }
    std::vector<std::uint8_t> window(kMszipWindowSize, 0x5A);

    std::size_t at = 0;
    while (size - at >= 3) {
        const std::uint8_t control = data[at];
        std::size_t length = data[at + 1] | static_cast<std::size_t>(data[at + 2]) << 8;
        at += 3;
        if (length > size - at) {
            length = size - at;
        }
        const bool signature = (control & 1) != 0;
        const std::size_t blockSize = length + (signature ? 2 : 0);
        auto *block = static_cast<std::uint8_t *>(std::malloc(blockSize == 0 ? 1 : blockSize));
        if (signature) {
            block[0] = 'C';
            block[1] = 'K';
        }
        if (length != 0) {
            std::memcpy(block + (signature ? 2 : 0), data + at, length);
        }
        at += length;

        if ((control & 2) != 0) {
            kMszipDecoder.resetDecoder(decoder);
        }
        const std::uint32_t allowance = (control >> 2) == 0 ? kMszipWindowSize : (control >> 2) * 601u;
        std::uint32_t produced = allowance;
        const DecoderResult result = kMszipDecoder.decodeBlock(
            decoder, block, static_cast<std::uint32_t>(blockSize), window.data(), &produced);
        std::free(block);
        const std::uint32_t cap = allowance < kMszipWindowSize ? allowance : kMszipWindowSize;
        if (produced > cap || (result != DecoderResult::Ok && result != DecoderResult::BadData &&
                               result != DecoderResult::BadSize)) {
            std::abort();
        }
    }
    kMszipDecoder.destroyDecoder(decoder);
    return 0;
}
