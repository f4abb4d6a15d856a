// Bit readers for the block decoders, one per bit order.
//
// LsbBitReader serves deflate (MSZIP), whose codes are packed starting at the
// least significant bit of each byte. A reader for the most-significant-first
// order of the other methods belongs beside it.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "the wide refill loads input words as little-endian");

// Up to 63 bits are held at once, so a caller that refills once can take a whole
// length/distance pair (at most 48 bits) without checking again.
//
// Bits looked at past the end of the input read as zero, so that a lookup may
// peek beyond a code that ends in the last byte; paddedBytes counts the zero
// bytes supplied so that the decoder can tell whether it has taken any of
// them. The reader never touches memory outside [next, end).
struct LsbBitReader {
    const std::uint8_t *next = nullptr;
    const std::uint8_t *end = nullptr;
    std::uint64_t bits = 0;
    unsigned count = 0;  // valid bits at the bottom of `bits`; at most 63
    std::uint32_t paddedBytes = 0;

    void start(const std::uint8_t *data, std::size_t size)
    {
        next = data;
        end = data + size;
        bits = 0;
        count = 0;
        paddedBytes = 0;
    }

    bool canRefillFast() const { return end - next >= 8; }

    // Needs eight readable bytes at `next`. Leaves 56 to 63 valid bits. The bits
    // above `count` are then the true next input bits rather than zero, which is
    // why a later refill may OR over them.
    void refillFast()
    {
        std::uint64_t word;
        std::memcpy(&word, next, sizeof word);
        bits |= word << count;
        next += (63 - count) >> 3;
        count |= 56;
    }

    // Byte by byte, padding with zeros past the end; leaves 56 to 63 valid bits,
    // like refillFast, so that count never reaches 64.
    void refillSlow()
    {
        bits &= (std::uint64_t{1} << count) - 1;
        while (count < 56) {
            std::uint64_t byte = 0;
            if (next != end) {
                byte = *next++;
            } else {
                ++paddedBytes;
            }
            bits |= byte << count;
            count += 8;
        }
    }

    // n <= 32, and the caller has made sure that count >= n.
    std::uint32_t peek(unsigned n) const
    {
        return static_cast<std::uint32_t>(bits & ((std::uint64_t{1} << n) - 1));
    }
    // n < 64. The mask lets the compiler shift by n as it stands: x86 shifts
    // mask their count the same way.
    void drop(unsigned n)
    {
        bits >>= n & 63;
        count -= n;
    }
    std::uint32_t take(unsigned n)
    {
        const std::uint32_t value = peek(n);
        drop(n);
        return value;
    }
    // take() for the rare paths that do not refill ahead themselves.
    std::uint32_t takeChecked(unsigned n)
    {
        if (count < n) {
            refillSlow();
        }
        return take(n);
    }

    // Drops the bits up to the next byte boundary and hands the whole bytes still
    // buffered back to the input, so that `next` is the first unread byte.
    // Fails when padding past the end has already been consumed.
    bool alignToByte()
    {
        drop(count & 7);
        const unsigned buffered = count / 8;
        if (paddedBytes > buffered) {
            return false;
        }
        next -= buffered - paddedBytes;
        bits = 0;
        count = 0;
        paddedBytes = 0;
        return true;
    }

    std::size_t bytesLeft() const { return static_cast<std::size_t>(end - next); }

    // True once a bit of the zero padding has been taken: the padding sits at
    // the top of the buffer, so it is all still held while count covers it.
    bool overran() const { return count < 8 * paddedBytes; }
};
