// The Huffman table builder on its own: every code of a valid set resolves to
// its symbol, bad sets are refused, and tables never outgrow their area.
#include "inflate_tables.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace inflate;

namespace {

using Lengths = std::vector<std::uint8_t>;

struct Resolved {
    unsigned op;
    unsigned value;
    unsigned bits;  // input bits consumed over both levels
};

// Follows a code (given most significant bit first, as codes are defined)
// through the table the way the decoder does.
Resolved resolve(const std::uint32_t *table, unsigned rootBits, std::uint32_t code, unsigned length)
{
    std::uint32_t input = 0;  // the code as it arrives: first bit lowest
    for (unsigned i = 0; i < length; ++i) {
        input |= ((code >> (length - 1 - i)) & 1u) << i;
    }
    std::uint32_t entry = table[input & ((1u << rootBits) - 1)];
    if (!entryIsLink(entry)) {
        return {entryOp(entry), entryValue(entry), entryBits(entry)};
    }
    const unsigned subBits = entryOp(entry) - kOpLinkBase;
    const std::uint32_t sub = table[entryValue(entry) + ((input >> rootBits) & ((1u << subBits) - 1))];
    return {entryOp(sub), entryValue(sub), rootBits + entryBits(sub)};
}

// Canonical codes from lengths, as deflate defines them.
std::vector<std::uint32_t> canonicalCodes(const Lengths &lengths)
{
    unsigned count[16] = {};
    for (std::uint8_t length : lengths) {
        ++count[length];
    }
    count[0] = 0;
    std::uint32_t next[16] = {};
    std::uint32_t code = 0;
    for (unsigned bits = 1; bits < 16; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    std::vector<std::uint32_t> codes(lengths.size(), 0);
    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
        if (lengths[symbol] != 0) {
            codes[symbol] = next[lengths[symbol]]++;
        }
    }
    return codes;
}

// Lengths given as (length, how many symbols) runs.
Lengths runs(std::initializer_list<std::pair<std::uint8_t, unsigned>> list)
{
    Lengths lengths;
    for (const auto &[length, count] : list) {
        lengths.insert(lengths.end(), count, length);
    }
    return lengths;
}

// Every length 1 to 14 once and two codes of 15: the deepest possible set.
Lengths chainToFifteen()
{
    Lengths lengths;
    for (std::uint8_t length = 1; length <= 14; ++length) {
        lengths.push_back(length);
    }
    lengths.push_back(15);
    lengths.push_back(15);
    return lengths;
}

TEST(InflateTables, CompleteSetsResolveEveryCodeToItsSymbol)
{
    struct Case {
        const char *name;
        Lengths lengths;
        unsigned rootBits;
        unsigned expectedRoot;
    };
    const Case cases[] = {
        {"small mixed set", {2, 1, 3, 3}, 9, 3},
        {"root lowered to the longest code", {1, 1}, 9, 1},
        {"root raised to the shortest code", {2, 2, 2, 2}, 1, 2},
        {"fixed literal/length lengths", runs({{8, 144}, {9, 112}, {7, 24}, {8, 8}}), 9, 9},
        {"chain down to 15 bits", chainToFifteen(), 6, 6},
        {"several sub-tables under a 9-bit root",
         runs({{8, 250}, {9, 10}, {10, 2}, {11, 2}, {12, 2}, {13, 2}, {14, 2}, {15, 4}}), 9, 9},
        {"all 15-bit codes below short ones", runs({{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1},
                                                   {8, 1}, {9, 1}, {15, 64}}),
         9, 9},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint32_t> table(kLitLenTableArea);
        const TableBuild built =
            buildDecodeTable(CodeSet::CodeLengths, c.lengths.data(), static_cast<unsigned>(c.lengths.size()),
                             c.rootBits, table.data(), kLitLenTableArea);
        ASSERT_TRUE(built.ok);
        EXPECT_EQ(built.rootBits, c.expectedRoot);
        const std::vector<std::uint32_t> codes = canonicalCodes(c.lengths);
        for (std::size_t symbol = 0; symbol < c.lengths.size(); ++symbol) {
            const Resolved r = resolve(table.data(), built.rootBits, codes[symbol], c.lengths[symbol]);
            ASSERT_EQ(r.op, kOpLiteral) << "symbol " << symbol;
            ASSERT_EQ(r.value, symbol);
            ASSERT_EQ(r.bits, c.lengths[symbol]) << "symbol " << symbol;
        }
    }
}

TEST(InflateTables, InvalidSetsAreRefused)
{
    Lengths incompleteDeep = chainToFifteen();
    incompleteDeep.pop_back();
    Lengths overDeep = chainToFifteen();
    overDeep.push_back(15);
    Lengths tooLong = {1, 1};
    tooLong.push_back(16);

    struct Case {
        const char *name;
        Lengths lengths;
    };
    const Case cases[] = {
        {"over-subscribed", {1, 1, 1}},
        {"over-subscribed by one 15-bit code", overDeep},
        {"incomplete", {2, 2}},
        {"incomplete with one short code missing", {1, 2}},
        {"incomplete at 15 bits", incompleteDeep},
        {"length above 15", tooLong},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint32_t> table(kLitLenTableArea);
        EXPECT_FALSE(buildDecodeTable(CodeSet::CodeLengths, c.lengths.data(),
                                      static_cast<unsigned>(c.lengths.size()), 9, table.data(), kLitLenTableArea)
                         .ok);
    }
}

TEST(InflateTables, SingleOneBitCodeLeavesTheOtherCodeInvalid)
{
    const Lengths lengths = {0, 0, 1};
    std::uint32_t table[kDistTableArea];
    const TableBuild built = buildDecodeTable(CodeSet::CodeLengths, lengths.data(), 3, 6, table, kDistTableArea);
    ASSERT_TRUE(built.ok);
    EXPECT_EQ(built.rootBits, 1u);
    EXPECT_EQ(resolve(table, 1, 0, 1).value, 2u);
    EXPECT_EQ(resolve(table, 1, 1, 1).op, kOpInvalid);
}

TEST(InflateTables, EmptySetGivesOnlyInvalidEntries)
{
    const Lengths lengths(30, 0);
    std::uint32_t table[kDistTableArea];
    const TableBuild built = buildDecodeTable(CodeSet::Distance, lengths.data(), 30, 6, table, kDistTableArea);
    ASSERT_TRUE(built.ok);
    for (std::uint32_t input = 0; input < (1u << built.rootBits); ++input) {
        EXPECT_EQ(entryOp(table[input]), kOpInvalid);
    }
}

TEST(InflateTables, SymbolsMapToTheirDeflateMeaning)
{
    // One code per symbol of interest, all of equal length so each is easy to find.
    Lengths litLen(288, 0);
    Lengths dist(32, 0);
    for (unsigned symbol : {65u, 256u, 257u, 264u, 265u, 284u, 285u, 286u}) {
        litLen[symbol] = 3;
    }
    for (unsigned symbol : {0u, 4u, 29u, 30u}) {
        dist[symbol] = 2;
    }
    std::vector<std::uint32_t> litTable(kLitLenTableArea);
    std::vector<std::uint32_t> distTable(kDistTableArea);
    ASSERT_TRUE(buildDecodeTable(CodeSet::LiteralLength, litLen.data(), 288, 9, litTable.data(), kLitLenTableArea).ok);
    ASSERT_TRUE(buildDecodeTable(CodeSet::Distance, dist.data(), 32, 6, distTable.data(), kDistTableArea).ok);

    struct Expect {
        unsigned symbol;
        unsigned op;
        unsigned value;
    };
    const Expect litExpect[] = {{65, kOpLiteral, 65}, {256, kOpEndOfBlock, 0}, {257, 0, 3},  {264, 0, 10},
                                {265, 1, 11},         {284, 5, 227},         {285, 0, 258}, {286, kOpInvalid, 0}};
    const std::vector<std::uint32_t> litCodes = canonicalCodes(litLen);
    for (const Expect &e : litExpect) {
        const Resolved r = resolve(litTable.data(), 3, litCodes[e.symbol], 3);
        EXPECT_EQ(r.op, e.op) << "literal/length symbol " << e.symbol;
        if (e.op != kOpInvalid) {
            EXPECT_EQ(r.value, e.value) << "literal/length symbol " << e.symbol;
        }
    }
    const Expect distExpect[] = {{0, 0, 1}, {4, 1, 5}, {29, 13, 24577}, {30, kOpInvalid, 0}};
    const std::vector<std::uint32_t> distCodes = canonicalCodes(dist);
    for (const Expect &e : distExpect) {
        const Resolved r = resolve(distTable.data(), 2, distCodes[e.symbol], 2);
        EXPECT_EQ(r.op, e.op) << "distance symbol " << e.symbol;
        if (e.op != kOpInvalid) {
            EXPECT_EQ(r.value, e.value) << "distance symbol " << e.symbol;
        }
    }
}

TEST(InflateTables, FixedDistanceSetOfThirtyCodesIsAccepted)
{
    const FixedTables &fixed = fixedTables();
    EXPECT_EQ(fixed.distRootBits, 5u);
    EXPECT_EQ(fixed.litLenRootBits, 9u);
    // Codes 30 and 31 exist in the fixed code space but mean nothing.
    EXPECT_EQ(resolve(fixed.dist, 5, 29, 5).value, 24577u);
    EXPECT_EQ(resolve(fixed.dist, 5, 30, 5).op, kOpInvalid);
    EXPECT_EQ(resolve(fixed.dist, 5, 31, 5).op, kOpInvalid);
}

TEST(InflateTables, TablesNeverOutgrowTheirArea)
{
    // The deepest distance set needs the widest sub-table under its root: far
    // beyond the root table alone, yet valid deflate.
    const Lengths deep = chainToFifteen();
    std::vector<std::uint32_t> table(kLitLenTableArea + 1, 0xDEADBEEF);
    const TableBuild built = buildDecodeTable(CodeSet::Distance, deep.data(), static_cast<unsigned>(deep.size()),
                                              kDistRootBits, table.data(), kDistTableArea);
    ASSERT_TRUE(built.ok);
    EXPECT_EQ(built.entries, (1u << kDistRootBits) + (1u << (kMaxCodeLength - kDistRootBits)));

    // Sets that spread many long codes over many prefixes still fit.
    struct Crowded {
        const char *name;
        Lengths lengths;
        CodeSet set;
        unsigned rootBits;
        unsigned area;
    };
    const Crowded crowded[] = {
        {"distance lengths with a long tail",
         runs({{2, 3}, {3, 1}, {7, 13}, {8, 5}, {9, 1}, {10, 1}, {11, 1}, {12, 1}, {13, 1}, {14, 1}, {15, 2}}),
         CodeSet::Distance, kDistRootBits, kDistTableArea},
        {"literal/length lengths with many deep codes",
         runs({{8, 250}, {9, 10}, {10, 2}, {11, 2}, {12, 2}, {13, 2}, {14, 2}, {15, 4}}), CodeSet::LiteralLength,
         kLitLenRootBits, kLitLenTableArea},
    };
    for (const Crowded &c : crowded) {
        SCOPED_TRACE(c.name);
        const TableBuild fitted = buildDecodeTable(c.set, c.lengths.data(), static_cast<unsigned>(c.lengths.size()),
                                                   c.rootBits, table.data(), c.area);
        ASSERT_TRUE(fitted.ok);
        EXPECT_LE(fitted.entries, c.area);
    }

    // One entry short of what the set needs: refused, and nothing written past the area.
    table.assign(table.size(), 0xDEADBEEF);
    const TableBuild cramped = buildDecodeTable(CodeSet::Distance, deep.data(), static_cast<unsigned>(deep.size()),
                                                kDistRootBits, table.data(), built.entries - 1);
    EXPECT_FALSE(cramped.ok);
    EXPECT_EQ(table[built.entries - 1], 0xDEADBEEFu);
}

}  // namespace
