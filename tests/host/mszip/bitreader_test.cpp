// The LSB-first bit reader: the same bits whichever refill is used, zeros past
// the end, and byte alignment that finds the first unread byte.
#include "bitreader.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

unsigned referenceBit(const std::vector<std::uint8_t> &data, std::size_t index)
{
    return index / 8 < data.size() ? (data[index / 8] >> (index % 8)) & 1u : 0u;
}

TEST(LsbBitReader, MixedRefillsYieldTheInputBitsThenZeros)
{
    std::mt19937 rng(3);
    for (std::size_t size : {0u, 1u, 7u, 8u, 9u, 16u, 33u, 100u}) {
        std::vector<std::uint8_t> data(size);
        for (auto &byte : data) {
            byte = static_cast<std::uint8_t>(rng());
        }
        LsbBitReader reader;
        reader.start(data.data(), data.size());
        std::size_t position = 0;
        while (position < size * 8 + 64) {
            if (reader.canRefillFast() && rng() % 2 == 0) {
                reader.refillFast();
            } else {
                reader.refillSlow();
            }
            ASSERT_GE(reader.count, 56u);
            ASSERT_LE(reader.count, 63u);
            // Take fields of 0 to 20 bits until fewer than 20 remain.
            while (reader.count >= 20) {
                const unsigned width = rng() % 21;
                std::uint32_t expected = 0;
                for (unsigned i = 0; i < width; ++i) {
                    expected |= referenceBit(data, position + i) << i;
                }
                ASSERT_EQ(reader.take(width), expected) << "size " << size << " at bit " << position;
                position += width;
            }
        }
    }
}

TEST(LsbBitReader, AlignToByteReturnsUnreadBytesToTheInput)
{
    const std::vector<std::uint8_t> data = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07, 0x18, 0x29, 0x3A, 0x4B};
    struct Case {
        bool fast;
        unsigned bitsTaken;
        std::size_t expectedNext;  // index of the first unread byte after alignment
    };
    const Case cases[] = {{true, 3, 1}, {true, 8, 1}, {true, 9, 2}, {false, 3, 1}, {false, 40, 5},
                          {false, 83, 11}, {true, 0, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bitsTaken);
        LsbBitReader reader;
        reader.start(data.data(), data.size());
        if (c.fast) {
            reader.refillFast();
        } else {
            reader.refillSlow();
        }
        for (unsigned left = c.bitsTaken; left > 0;) {
            const unsigned width = left < 16 ? left : 16;
            reader.takeChecked(width);
            left -= width;
        }
        ASSERT_TRUE(reader.alignToByte());
        EXPECT_EQ(static_cast<std::size_t>(reader.next - data.data()), c.expectedNext);
    }

    // Consuming padding past the end leaves no byte-aligned data to read.
    LsbBitReader reader;
    reader.start(data.data(), 1);
    reader.takeChecked(16);
    EXPECT_FALSE(reader.alignToByte());
}

}  // namespace
