// Arbitrary bytes as the plain text of a folder: zlib compresses them block by
// block as a folder holds them, and the decoder must give back every byte.
//
// Input: 1 byte choosing level (low nibble, taken modulo 10) and strategy (high
// nibble, modulo 5), then the plain text.
#include "decoder.h"
#include "decoder_fuzz.h"
#include "mszip.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1) {
        return 0;
    }
    static const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    const int level = (data[0] & 15) % 10;
    const int strategy = strategies[(data[0] >> 4) % 5];
    const std::uint8_t *text = data + 1;
    const std::size_t textSize = size - 1;

    DecoderCallbacks callbacks{};
    callbacks.alloc = fuzzAlloc;
    callbacks.free = fuzzFree;
    std::uint32_t maxBlock = kMszipWindowSize;
    void *decoder = nullptr;
    if (kMszipDecoder.createDecoder(&maxBlock, DecoderParams{0, 0}, callbacks, &decoder) != DecoderResult::Ok) {
        std::abort();
    }
    std::vector<std::uint8_t> window(kMszipWindowSize);

    for (std::size_t offset = 0; offset < textSize; offset += kMszipWindowSize) {
        const std::size_t length = std::min<std::size_t>(kMszipWindowSize, textSize - offset);
        z_stream stream{};
        deflateInit2(&stream, level, Z_DEFLATED, -15, 9, strategy);
        if (offset != 0) {
            deflateSetDictionary(&stream, text + offset - kMszipWindowSize, kMszipWindowSize);
        }
        // deflateBound can fall short for tiny stored inputs; leave slack.
        std::vector<std::uint8_t> block(2 + deflateBound(&stream, static_cast<uLong>(length)) + 64);
        block[0] = 'C';
        block[1] = 'K';
        stream.next_in = const_cast<Bytef *>(text + offset);
        stream.avail_in = static_cast<uInt>(length);
        stream.next_out = block.data() + 2;
        stream.avail_out = static_cast<uInt>(block.size() - 2);
        const bool finished = deflate(&stream, Z_FINISH) == Z_STREAM_END;
        block.resize(2 + stream.total_out);
        deflateEnd(&stream);
        if (!finished || block.size() > kMszipWindowSize + kMszipBlockOverhead) {
            break;  // no room in a data block; a cabinet writer would store it differently
        }

        std::uint32_t produced = kMszipWindowSize;
        if (kMszipDecoder.decodeBlock(decoder, block.data(), static_cast<std::uint32_t>(block.size()),
                                      window.data(), &produced) != DecoderResult::Ok ||
            produced != length || std::memcmp(window.data(), text + offset, length) != 0) {
            std::abort();
        }
    }
    kMszipDecoder.destroyDecoder(decoder);
    return 0;
}
