// The table builder on its own: every code of a complete set resolves to its
// symbol and length, through a subtable when it is longer than the primary
// width; sets that are not complete are refused; all-zero sets are empty.
#include "lzx_stream_builder.h"
#include "lzx_tables.h"

#include <gtest/gtest.h>

#include <random>

using namespace lzx;
using lzxtest::Code;

namespace {

// Follows a code through the table the way the decoder does.
std::pair<unsigned, unsigned> resolve(const std::vector<std::uint32_t> &table, unsigned tableBits,
                                      std::uint32_t code, unsigned length)
{
    const std::uint32_t input = code << (32 - length);  // the code at the top, then zero bits
    std::uint32_t entry = table[input >> (32 - tableBits)];
    unsigned taken = 0;
    if (entry & kLinkFlag) {
        taken = tableBits;
        const unsigned subBits = entry & kBitsMask;
        entry = table[(entry >> 16) + ((input << tableBits) >> (32 - subBits))];
    }
    return {entry >> 16, taken + (entry & kBitsMask)};
}

// A random complete set: split leaves of a code tree until `symbols` remain.
std::vector<std::uint8_t> randomCompleteLengths(unsigned count, unsigned used, unsigned maxLength, std::mt19937 &rng)
{
    std::vector<unsigned> leaves = {1, 1};
    while (leaves.size() < used) {
        const std::size_t pick = rng() % leaves.size();
        if (leaves[pick] >= maxLength) {
            continue;
        }
        const unsigned depth = ++leaves[pick];
        leaves.push_back(depth);
    }
    std::vector<std::uint8_t> lengths(count, 0);
    std::vector<unsigned> symbols(count);
    for (unsigned i = 0; i < count; ++i) {
        symbols[i] = i;
    }
    std::shuffle(symbols.begin(), symbols.end(), rng);
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        lengths[symbols[i]] = static_cast<std::uint8_t>(leaves[i]);
    }
    return lengths;
}

TEST(LzxTables, EveryCodeOfACompleteSetResolves)
{
    std::mt19937 rng(1234);
    struct Shape {
        unsigned count, tableBits, area, maxLength;
    };
    const Shape shapes[] = {
        {kMaxMainSymbols, kMainTableBits, kMainTableArea, 16},
        {kLengthSymbols, kLengthTableBits, kLengthTableArea, 16},
        {kPretreeSymbols, kPretreeTableBits, kPretreeTableArea, 15},
        {kAlignedSymbols, kAlignedTableBits, kAlignedTableArea, 7},
    };
    for (const Shape &shape : shapes) {
        std::vector<std::vector<std::uint8_t>> sets = {
            lzxtest::flatLengths(shape.count),
            lzxtest::chainLengths(shape.count, {0, 1, 2, 3, 4, 5, 6, 7}),
        };
        if (shape.count > 16) {
            std::vector<unsigned> deep;
            for (unsigned s = 0; s <= shape.maxLength; ++s) {
                deep.push_back(shape.count - 1 - s);
            }
            sets.push_back(lzxtest::chainLengths(shape.count, deep));
        }
        for (int round = 0; round < 20; ++round) {
            sets.push_back(randomCompleteLengths(shape.count, 2 + rng() % (shape.count - 1), shape.maxLength, rng));
        }
        for (const auto &lengths : sets) {
            std::vector<std::uint32_t> table(shape.area, 0xDEADBEEF);
            ASSERT_EQ(buildDecodeTable(lengths.data(), shape.count, shape.maxLength, shape.tableBits, table.data(),
                                       shape.area),
                      TableBuild::Complete);
            const Code code(lengths);
            for (unsigned symbol = 0; symbol < shape.count; ++symbol) {
                if (lengths[symbol] != 0) {
                    const auto [found, bits] = resolve(table, shape.tableBits, code.codes[symbol], lengths[symbol]);
                    ASSERT_EQ(found, symbol);
                    ASSERT_EQ(bits, lengths[symbol]);
                }
            }
        }
    }
}

TEST(LzxTables, SetsThatAreNotCompleteAreRefused)
{
    std::vector<std::uint32_t> table(kMainTableArea);
    std::vector<std::uint8_t> lengths(kLengthSymbols, 0);
    EXPECT_EQ(buildDecodeTable(lengths.data(), kLengthSymbols, 16, kLengthTableBits, table.data(), kLengthTableArea),
              TableBuild::Empty);
    EXPECT_EQ(resolve(table, kLengthTableBits, 0, 1).first, kNoSymbol);

    lengths[7] = 1;  // one code alone leaves half the code space unused
    EXPECT_EQ(buildDecodeTable(lengths.data(), kLengthSymbols, 16, kLengthTableBits, table.data(), kLengthTableArea),
              TableBuild::Invalid);
    lengths[8] = 1;
    lengths[9] = 2;  // over-subscribed
    EXPECT_EQ(buildDecodeTable(lengths.data(), kLengthSymbols, 16, kLengthTableBits, table.data(), kLengthTableArea),
              TableBuild::Invalid);
    lengths = {1, 2, 3, 3};
    EXPECT_EQ(buildDecodeTable(lengths.data(), 4, 2, 2, table.data(), 4), TableBuild::Invalid) << "above the limit";
}

TEST(LzxTables, PositionSlotsPerWindowSize)
{
    const unsigned expected[] = {30, 32, 34, 36, 38, 42, 50};
    for (unsigned bits = 15; bits <= 21; ++bits) {
        EXPECT_EQ(positionSlotCount(bits), expected[bits - 15]) << bits;
        // The last slot reaches the window's largest offset, size - 3.
        const unsigned last = expected[bits - 15] - 1;
        EXPECT_EQ(kPositionBase[last] + (1u << kExtraBits[last]) - 1 - 2, (1u << bits) - 3) << bits;
    }
}

}  // namespace
