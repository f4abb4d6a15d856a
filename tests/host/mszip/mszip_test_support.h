// Helpers for the MSZIP tests: a decoder driven the way the engine drives it,
// a deflate bit writer for hand-made streams, and zlib as an independent encoder.
#pragma once

#include "decoder.h"
#include "mszip.h"
#include "support/zlib_blocks.h"

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace mszip_test {

using Bytes = std::vector<std::uint8_t>;

inline void *testAlloc(std::uint32_t size) { return std::malloc(size); }
inline void testFree(void *block) { std::free(block); }

inline DecoderCallbacks mallocCallbacks()
{
    DecoderCallbacks callbacks{};
    callbacks.alloc = testAlloc;
    callbacks.free = testFree;
    return callbacks;
}

// One decoder and a block buffer like the engine's.
class Decoder {
public:
    Decoder() : window_(kMszipWindowSize, 0xEE)
    {
        std::uint32_t maxBlock = kMszipWindowSize;
        created_ = kMszipDecoder.createDecoder(&maxBlock, DecoderParams{0, 0}, mallocCallbacks(), &object_);
    }
    ~Decoder()
    {
        if (object_ != nullptr) {
            kMszipDecoder.destroyDecoder(object_);
        }
    }
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    DecoderResult created() const { return created_; }

    // Decodes one data block; on return `produced` holds what the block yielded.
    DecoderResult decode(const Bytes &block, Bytes &produced, std::uint32_t allowance = kMszipWindowSize)
    {
        std::uint32_t size = allowance;
        const DecoderResult result = kMszipDecoder.decodeBlock(object_, block.data(),
                                                               static_cast<std::uint32_t>(block.size()),
                                                               window_.data(), &size);
        produced.assign(window_.begin(), window_.begin() + size);
        return result;
    }

    DecoderResult reset() { return kMszipDecoder.resetDecoder(object_); }

private:
    Bytes window_;
    void *object_ = nullptr;
    DecoderResult created_;
};

// Deflate bit packing: fields least significant bit first, Huffman codes most
// significant bit first.
class BitWriter {
public:
    BitWriter &bits(std::uint32_t value, unsigned count)
    {
        for (unsigned i = 0; i < count; ++i) {
            put((value >> i) & 1);
        }
        return *this;
    }
    BitWriter &code(std::uint32_t value, unsigned length)
    {
        for (unsigned i = length; i-- > 0;) {
            put((value >> i) & 1);
        }
        return *this;
    }
    BitWriter &alignToByte()
    {
        while (used_ != 0) {
            put(0);
        }
        return *this;
    }
    BitWriter &byte(std::uint8_t value) { return bits(value, 8); }

    std::size_t bitCount() const { return bytes_.size() * 8 - (used_ == 0 ? 0 : 8 - used_); }

    // The data block: "CK" and the bytes written so far.
    Bytes block() const
    {
        Bytes out(2 + bytes_.size());
        out[0] = 'C';
        out[1] = 'K';
        std::copy(bytes_.begin(), bytes_.end(), out.begin() + 2);
        return out;
    }

    // Fixed-code literal/length symbol.
    BitWriter &fixedSymbol(unsigned symbol)
    {
        if (symbol < 144) {
            return code(0x30 + symbol, 8);
        }
        if (symbol < 256) {
            return code(0x190 + symbol - 144, 9);
        }
        if (symbol < 280) {
            return code(symbol - 256, 7);
        }
        return code(0xC0 + symbol - 280, 8);
    }

    // A length/distance pair with fixed codes.
    BitWriter &fixedMatch(unsigned length, unsigned distance)
    {
        static const unsigned lengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        static const unsigned lengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        static const unsigned distBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                              33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                              1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
        unsigned l = 28;
        while (lengthBase[l] > length) {
            --l;
        }
        fixedSymbol(257 + l);
        bits(length - lengthBase[l], lengthExtra[l]);
        unsigned d = 29;
        while (distBase[d] > distance) {
            --d;
        }
        code(d, 5);
        bits(distance - distBase[d], d < 4 ? 0 : d / 2 - 1);
        return *this;
    }

    // A stored deflate block holding `data`.
    BitWriter &storedBlock(const Bytes &data, bool final, bool corruptComplement = false)
    {
        bits(final ? 1 : 0, 1).bits(0, 2).alignToByte();
        const auto length = static_cast<std::uint32_t>(data.size());
        bits(length, 16).bits((length ^ 0xFFFF) ^ (corruptComplement ? 1 : 0), 16);
        for (std::uint8_t value : data) {
            byte(value);
        }
        return *this;
    }

    // A dynamic block header: the given code lengths, each sent as a 4-bit code
    // (code-length symbols 0 to 15 all of length 4, repeat symbols unused).
    BitWriter &dynamicHeader(bool final, const std::vector<std::uint8_t> &litLen,
                             const std::vector<std::uint8_t> &dist)
    {
        bits(final ? 1 : 0, 1).bits(2, 2);
        bits(static_cast<std::uint32_t>(litLen.size() - 257), 5);
        bits(static_cast<std::uint32_t>(dist.size() - 1), 5);
        bits(19 - 4, 4);
        static const unsigned order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        for (unsigned symbol : order) {
            bits(symbol < 16 ? 4 : 0, 3);
        }
        for (std::uint8_t length : litLen) {
            code(length, 4);
        }
        for (std::uint8_t length : dist) {
            code(length, 4);
        }
        return *this;
    }

private:
    void put(unsigned bit)
    {
        if (used_ == 0) {
            bytes_.push_back(0);
        }
        bytes_.back() |= static_cast<std::uint8_t>(bit << used_);
        used_ = (used_ + 1) & 7;
    }

    Bytes bytes_;
    unsigned used_ = 0;
};

// ---- Inputs ---------------------------------------------------------------------------

enum class Corpus { Text, Binary, Random };

inline Bytes makeCorpus(Corpus kind, std::size_t size, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes data;
    data.reserve(size + 64);
    switch (kind) {
    case Corpus::Text: {
        static const char *const words[] = {"the",     "cabinet", "folder", "launcher", "of",     "and",
                                            "window",  "group",   "icon",   "update",   "a",      "data",
                                            "block",   "to",      "is",     "history",  "stored", "bytes",
                                            "setting", "item",    "code",   "length",   "in",     "with"};
        while (data.size() < size) {
            const char *word = words[rng() % (sizeof words / sizeof words[0])];
            data.insert(data.end(), word, word + std::char_traits<char>::length(word));
            data.push_back(rng() % 11 == 0 ? '\n' : ' ');
        }
        break;
    }
    case Corpus::Binary: {
        std::uint32_t counter = 0;
        while (data.size() < size) {
            counter += rng() % 5;
            const std::uint32_t record[4] = {counter, counter * 7, static_cast<std::uint32_t>(rng() % 16), 0};
            for (std::uint32_t word : record) {
                for (int i = 0; i < 4; ++i) {
                    data.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
                }
            }
            if (rng() % 50 == 0) {
                data.insert(data.end(), rng() % 300, 0);
            }
        }
        break;
    }
    case Corpus::Random:
        while (data.size() < size) {
            data.push_back(static_cast<std::uint8_t>(rng()));
        }
        break;
    }
    data.resize(size);
    return data;
}

// Splits `data` into MSZIP data blocks the way a folder holds them: each
// 32768-byte piece is its own deflate stream, primed with the previous piece.
inline std::vector<Bytes> compressFolder(const Bytes &data, int level, int strategy)
{
    return testsupport::zlibMszipBlocks(data, level, strategy);
}

}  // namespace mszip_test
