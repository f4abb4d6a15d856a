// Bit reader for streams of 16-bit little-endian words whose bits are taken
// most significant first (LZX).
//
// The next bit sits at the top of a 64-bit buffer. The reader never touches
// memory outside [start, end): words wanted past the end read as zero and are
// counted, so the decoder can tell when it has consumed bits that were never
// there (overrun()) instead of decoding padding as data. A lone trailing byte
// (an odd count) is never part of a word: it is left for byte-wise reads.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the wide refill loads input words as little-endian");

struct WordBitReader {
    const std::uint8_t *start = nullptr;
    const std::uint8_t *next = nullptr;
    const std::uint8_t *end = nullptr;
    std::uint64_t bits = 0;
    unsigned count = 0;  // valid bits at the top of `bits`, at most 63
    std::uint32_t paddedWords = 0;

    void begin(const std::uint8_t *data, std::size_t size)
    {
        start = data;
        next = data;
        end = data + (size & ~std::size_t{1});
        bits = 0;
        count = 0;
        paddedWords = 0;
    }

    // Leaves at least 48 valid bits and never more than 63, so that it may be
    // called whenever the caller likes: the new words are shifted down by the
    // count, which must stay below 64. Kept inline, slow part too, so that a
    // decoder's local copy of the reader can live in registers.
    [[gnu::always_inline]] void refill()
    {
        if (end - next >= 8) [[likely]] {
            refillUnchecked();
            return;
        }
        refillSlow();
    }

    // refill() for a caller that knows 8 bytes can be read at `next`.
    [[gnu::always_inline]] void refillUnchecked()
    {
        std::uint64_t raw;
        std::memcpy(&raw, next, 8);
        // Four little-endian words, first word on top.
        std::uint64_t words = __builtin_bswap64(raw);
        words = (words >> 8 & 0x00FF00FF00FF00FFull) | (words & 0x00FF00FF00FF00FFull) << 8;
        // The bits below the new count are the true following bits, so a
        // later refill may OR the same bits over them. Whole words are taken
        // until 48 or more bits are held: the count's low four bits stay.
        bits |= words >> count;
        next += (~count & 48) >> 3;
        count |= 48;
    }

    [[gnu::always_inline]] void refillSlow()
    {
        bits = count == 0 ? 0 : bits & ~std::uint64_t{0} << (64 - count);
        while (count < 48) {
            std::uint64_t word = 0;
            if (end - next >= 2) {
                word = static_cast<std::uint64_t>(next[0] | next[1] << 8);
                next += 2;
            } else {
                ++paddedWords;
            }
            bits |= word << (48 - count);
            count += 16;
        }
    }

    // n <= 32; the caller has made sure that count >= n. n may be 0.
    std::uint32_t peek(unsigned n) const { return static_cast<std::uint32_t>(bits >> (63 - n) >> 1); }
    void drop(unsigned n)
    {
        bits <<= n;
        count -= n;
    }
    std::uint32_t take(unsigned n)
    {
        const std::uint32_t value = peek(n);
        drop(n);
        return value;
    }
    // take() for the paths that do not refill ahead themselves.
    std::uint32_t takeChecked(unsigned n)
    {
        if (count < n) {
            refill();
        }
        return take(n);
    }

    // Whether bits past the end of the input have been consumed.
    bool overrun() const { return count < 16 * paddedWords; }

    // Bits consumed since begin().
    std::size_t consumedBits() const
    {
        return static_cast<std::size_t>(next - start) * 8 + 16 * std::size_t{paddedWords} - count;
    }
};
