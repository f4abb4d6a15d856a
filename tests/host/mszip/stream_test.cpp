// Hand-made MSZIP blocks for the cases an encoder seldom produces: malformed
// streams, the output allowance, history across blocks and input that ends early.
#include "mszip_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace mszip_test;

namespace {

Bytes text(const char *s) { return Bytes(s, s + std::char_traits<char>::length(s)); }

// The deflate data of one fixed-code block holding the given literals.
BitWriter fixedLiterals(const Bytes &literals, bool final = true)
{
    BitWriter w;
    w.bits(final ? 1 : 0, 1).bits(1, 2);
    for (std::uint8_t value : literals) {
        w.fixedSymbol(value);
    }
    return w;
}

// Code lengths of a dynamic literal/length set: the listed symbols, the rest unused.
std::vector<std::uint8_t> litLenLengths(std::initializer_list<std::pair<unsigned, std::uint8_t>> codes)
{
    std::vector<std::uint8_t> lengths(257, 0);
    for (const auto &[symbol, length] : codes) {
        if (symbol >= lengths.size()) {
            lengths.resize(symbol + 1, 0);
        }
        lengths[symbol] = length;
    }
    return lengths;
}

TEST(MszipStoredBlock, HundredBytesYieldExactlyHundred)
{
    const Bytes data = makeCorpus(Corpus::Random, 100, 7);
    Decoder decoder;
    Bytes produced;
    ASSERT_EQ(decoder.decode(BitWriter().storedBlock(data, true).block(), produced), DecoderResult::Ok);
    EXPECT_TRUE(produced == data);
}

struct BadStream {
    const char *name;
    Bytes block;
};

TEST(MszipRejects, MalformedStreamsAreBadData)
{
    Bytes noSignature = BitWriter().storedBlock(text("abc"), true).block();
    noSignature[0] = 'X';

    BitWriter shortStored;
    shortStored.storedBlock(makeCorpus(Corpus::Random, 100, 1), true);
    Bytes storedDataCut = shortStored.block();
    storedDataCut.resize(storedDataCut.size() - 50);

    BitWriter repeatPastTotal;
    repeatPastTotal.bits(1, 1).bits(2, 2).bits(0, 5).bits(0, 5).bits(19 - 4, 4);
    // Code-length code: symbols 18 and 0, one bit each (18 sorts after 0: 0 -> '0', 18 -> '1').
    for (unsigned symbol : {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15}) {
        repeatPastTotal.bits(symbol == 18 || symbol == 0 ? 1 : 0, 3);
    }
    repeatPastTotal.code(1, 1).bits(127, 7).code(1, 1).bits(127, 7);  // 138 + 138 zeros > 258 lengths

    const BadStream cases[] = {
        {"missing CK", noSignature},
        {"only one byte", Bytes{'C'}},
        {"empty block", Bytes{}},
        {"length and complement disagree", BitWriter().storedBlock(text("abc"), true, true).block()},
        {"HLIT of 287 codes", BitWriter().bits(1, 1).bits(2, 2).bits(30, 5).bits(0, 5).bits(0, 4).block()},
        {"HDIST of 31 codes", BitWriter().bits(1, 1).bits(2, 2).bits(0, 5).bits(30, 5).bits(0, 4).block()},
        {"block type 3", BitWriter().bits(1, 1).bits(3, 2).bits(0, 13).block()},
        {"stored header past the end", BitWriter().bits(1, 1).bits(0, 2).block()},
        {"stored data past the end", storedDataCut},
        {"length code 286 in a fixed block", BitWriter().bits(1, 1).bits(1, 2).fixedSymbol(286).block()},
        {"distance code 30 in a fixed block",
         BitWriter().bits(1, 1).bits(1, 2).fixedSymbol('a').fixedSymbol(257).code(30, 5).block()},
        {"length code with an empty distance set",
         BitWriter().dynamicHeader(true, litLenLengths({{'A', 1}, {256, 2}, {257, 2}}), {0})
             .code(0, 1)
             .code(3, 2)
             .block()},
        {"over-subscribed literal set",
         BitWriter().dynamicHeader(true, litLenLengths({{'A', 1}, {'B', 1}, {256, 1}}), {0}).block()},
        {"incomplete literal set",
         BitWriter().dynamicHeader(true, litLenLengths({{'A', 2}, {256, 2}}), {0}).block()},
        {"zero-length run past the last code length", repeatPastTotal.block()},
        {"distance before the folder's first byte",
         BitWriter().bits(1, 1).bits(1, 2).fixedSymbol('a').fixedMatch(3, 2).fixedSymbol(256).block()},
    };
    for (const BadStream &c : cases) {
        SCOPED_TRACE(c.name);
        Decoder decoder;
        Bytes produced;
        EXPECT_EQ(decoder.decode(c.block, produced), DecoderResult::BadData);
    }
}

TEST(MszipSize, BlockAboveLimitIsRefusedBeforeDecoding)
{
    Decoder decoder;
    Bytes produced;
    // Not even a signature: the size is judged first.
    EXPECT_EQ(decoder.decode(Bytes(kMszipWindowSize + kMszipBlockOverhead + 1, 'X'), produced),
              DecoderResult::BadSize);
    EXPECT_TRUE(produced.empty());

    // The largest block accepted, with bytes after the final deflate block that are ignored.
    const Bytes data = makeCorpus(Corpus::Random, kMszipWindowSize, 3);
    Bytes largest = BitWriter().storedBlock(data, true).block();
    largest.resize(kMszipWindowSize + kMszipBlockOverhead, 0xA5);
    ASSERT_EQ(decoder.decode(largest, produced), DecoderResult::Ok);
    EXPECT_TRUE(produced == data);
}

TEST(MszipAllowance, DecodingStopsWhenTheAllowanceRunsOut)
{
    // 20000 stored bytes, then a fixed block that repeats them past the window size.
    const Bytes stored = makeCorpus(Corpus::Text, 20000, 5);
    BitWriter storedThenCopies;
    storedThenCopies.storedBlock(stored, false).bits(1, 1).bits(1, 2);
    Bytes data = stored;
    for (int i = 0; i < 80; ++i) {
        storedThenCopies.fixedMatch(258, 20000);
        for (int k = 0; k < 258; ++k) {
            data.push_back(data[data.size() - 20000]);
        }
    }
    storedThenCopies.fixedSymbol(256);
    const Bytes storedPair = storedThenCopies.block();

    BitWriter runs = fixedLiterals(text("xy"), true);
    for (int i = 0; i < 200; ++i) {
        runs.fixedMatch(258, 2);
    }
    runs.fixedSymbol(256);
    Bytes pattern;
    while (pattern.size() < kMszipWindowSize) {
        pattern.push_back(pattern.size() % 2 == 0 ? 'x' : 'y');
    }

    struct Case {
        const char *name;
        Bytes block;
        std::uint32_t allowance;
        Bytes expected;
    };
    const Case cases[] = {
        {"copies after stored data cut at the window size", storedPair, kMszipWindowSize,
         Bytes(data.begin(), data.begin() + kMszipWindowSize)},
        {"allowance above the window size is capped", storedPair, 40000,
         Bytes(data.begin(), data.begin() + kMszipWindowSize)},
        {"stored data cut inside the stored block", storedPair, 1234,
         Bytes(data.begin(), data.begin() + 1234)},
        {"copy cut in the middle", runs.block(), 1001, Bytes(pattern.begin(), pattern.begin() + 1001)},
        {"copy cut at the window size", runs.block(), kMszipWindowSize, pattern},
        {"no allowance", runs.block(), 0, Bytes{}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Decoder decoder;
        Bytes produced;
        ASSERT_EQ(decoder.decode(c.block, produced, c.allowance), DecoderResult::Ok);
        EXPECT_TRUE(produced == c.expected) << produced.size() << " bytes";
    }
}

TEST(MszipHistory, BackReferencesReachIntoThePreviousBlockAcrossTheWindowEnd)
{
    const Bytes first = makeCorpus(Corpus::Random, kMszipWindowSize, 11);

    struct Match {
        unsigned length;
        unsigned distance;
    };
    // Positions in the second block at which each match starts follow from the lengths.
    const Match matches[] = {
        {258, 100},    // starts at 10: 90 bytes from the end of the window, then its start
        {258, 32768},  // the whole window back: the byte at the same offset of the previous block
        {3, 526},      // exactly the first byte of this block
        {40, 530},     // one byte before it, the last byte of the previous block
        {258, 20},     // overlapping copy inside this block
        {100, 32000},
    };
    BitWriter w = fixedLiterals(text("0123456789"), true);
    for (const Match &m : matches) {
        w.fixedMatch(m.length, m.distance);
    }
    w.fixedSymbol(256);

    // Reference: a plain byte-at-a-time copy over the folder's whole output.
    Bytes folder = first;
    const Bytes literals = text("0123456789");
    folder.insert(folder.end(), literals.begin(), literals.end());
    for (const Match &m : matches) {
        for (unsigned i = 0; i < m.length; ++i) {
            folder.push_back(folder[folder.size() - m.distance]);
        }
    }

    Decoder decoder;
    Bytes produced;
    ASSERT_EQ(decoder.decode(BitWriter().storedBlock(first, true).block(), produced), DecoderResult::Ok);
    ASSERT_EQ(decoder.decode(w.block(), produced), DecoderResult::Ok);
    EXPECT_TRUE(produced == Bytes(folder.begin() + kMszipWindowSize, folder.end()));
}

// The window a block reads is what the engine's block buffer held: the
// previous block, then what is left of earlier, longer ones. Blocks of mixed
// lengths, each reaching anywhere into that window, over more blocks than the
// decoder produces before it moves its window back to the start.
TEST(MszipHistory, ShortBlocksLeaveTheTailOfEarlierOnesInTheWindow)
{
    const std::uint32_t sizes[] = {kMszipWindowSize, 1000, 5000, kMszipWindowSize, 700, 20000, 300,
                                   kMszipWindowSize, 12000, 100, 31000, 2};
    Bytes buffer = makeCorpus(Corpus::Random, kMszipWindowSize, 5);  // the engine's block buffer
    Decoder decoder;
    Bytes produced;
    ASSERT_EQ(decoder.decode(BitWriter().storedBlock(buffer, true).block(), produced), DecoderResult::Ok);

    std::uint32_t seed = 77;
    const auto next = [&seed](std::uint32_t range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % range;
    };
    for (std::size_t b = 1; b < sizeof sizes / sizeof sizes[0]; ++b) {
        BitWriter w;
        w.bits(1, 1).bits(1, 2);
        Bytes expected;
        while (expected.size() < sizes[b]) {
            const auto left = static_cast<std::uint32_t>(sizes[b] - expected.size());
            if (left < 3 || next(10) == 0) {
                const auto literal = static_cast<std::uint8_t>(next(256));
                w.fixedSymbol(literal);
                expected.push_back(literal);
                continue;
            }
            const std::uint32_t length = 3 + next(std::min(left, 258u) - 2);
            const std::uint32_t distance = 1 + next(kMszipWindowSize);
            w.fixedMatch(length, distance);
            for (std::uint32_t i = 0; i < length; ++i) {
                const std::size_t pos = expected.size();
                expected.push_back(distance <= pos ? expected[pos - distance]
                                                   : buffer[pos + kMszipWindowSize - distance]);
            }
        }
        w.fixedSymbol(256);
        ASSERT_EQ(decoder.decode(w.block(), produced), DecoderResult::Ok) << "block " << b;
        ASSERT_TRUE(produced == expected) << "block " << b;
        std::copy(expected.begin(), expected.end(), buffer.begin());
    }
}

TEST(MszipHistory, ResetForgetsThePreviousFolder)
{
    Decoder decoder;
    Bytes produced;
    ASSERT_EQ(decoder.decode(BitWriter().storedBlock(makeCorpus(Corpus::Text, kMszipWindowSize, 2), true).block(),
                             produced),
              DecoderResult::Ok);
    const Bytes reachingBack = BitWriter().bits(1, 1).bits(1, 2).fixedMatch(10, 100).fixedSymbol(256).block();
    ASSERT_EQ(decoder.reset(), DecoderResult::Ok);
    EXPECT_EQ(decoder.decode(reachingBack, produced), DecoderResult::BadData);
}

TEST(MszipInput, ACodeMayEndAtTheLastByte)
{
    // 3 header bits, six 9-bit literals and the 7-bit end-of-block code fill
    // exactly 8 bytes; the table lookups peek past the end without taking it.
    const Bytes literals(6, 200);
    BitWriter w = fixedLiterals(literals);
    w.fixedSymbol(256);
    ASSERT_EQ(w.bitCount(), 64u);

    Decoder decoder;
    Bytes produced;
    ASSERT_EQ(decoder.decode(w.block(), produced), DecoderResult::Ok);
    EXPECT_TRUE(produced == literals);
}

TEST(MszipInput, DataCutShortIsBadData)
{
    // The end-of-block code of fixed blocks is seven zero bits, which the
    // padding past the end would supply: leave it out.
    BitWriter withoutEnd = fixedLiterals(text("hello"));
    const Bytes noEndOfBlock = withoutEnd.block();
    withoutEnd.fixedSymbol(256);
    ASSERT_GT(withoutEnd.block().size(), noEndOfBlock.size());

    Decoder decoder;
    Bytes produced;
    EXPECT_EQ(decoder.decode(noEndOfBlock, produced), DecoderResult::BadData);

    // Blocks from a real encoder, cut short: the zeros past the end decode to
    // symbols, but the block must not pass for whole. A full window stops at
    // its allowance before the end-of-block code, so only a short block shows
    // that losing the last byte alone is caught.
    struct Cut {
        Corpus kind;
        std::size_t size;
        std::size_t cut;
    };
    const Cut cuts[] = {{Corpus::Text, kMszipWindowSize, 1024}, {Corpus::Binary, kMszipWindowSize, 128},
                        {Corpus::Text, 5000, 1},                {Corpus::Binary, 5000, 1}};
    for (const Cut &c : cuts) {
        const Bytes block = compressFolder(makeCorpus(c.kind, c.size, 17), 6, Z_DEFAULT_STRATEGY)[0];
        SCOPED_TRACE(testing::Message() << block.size() << " bytes for " << c.size << " cut by " << c.cut);
        ASSERT_GT(block.size(), c.cut + 2);
        const Bytes cutShort(block.begin(), block.end() - static_cast<std::ptrdiff_t>(c.cut));
        Decoder fresh;
        EXPECT_EQ(fresh.decode(cutShort, produced), DecoderResult::BadData);
    }
}

TEST(MszipDynamic, UnusualButValidCodeSetsDecode)
{
    struct Case {
        const char *name;
        std::vector<std::uint8_t> litLen;
        std::vector<std::uint8_t> dist;
        std::vector<std::pair<unsigned, unsigned>> codes;  // (code, length) to send after the header
        Bytes expected;
    };
    const Case cases[] = {
        // A=0, B=10, end=11; no distance codes at all
        {"literals only with an empty distance set", litLenLengths({{'A', 1}, {'B', 2}, {256, 2}}), {0},
         {{0, 1}, {2, 2}, {0, 1}, {3, 2}}, text("ABA")},
        {"single one-bit code", litLenLengths({{256, 1}}), {0}, {{0, 1}}, Bytes{}},
        // A=0, end=10, 257 (length 3)=11; one distance code of one bit, for distance 1
        {"single one-bit distance code", litLenLengths({{'A', 1}, {256, 2}, {257, 2}}), {1},
         {{0, 1}, {3, 2}, {0, 1}, {2, 2}}, text("AAAA")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter w;
        w.dynamicHeader(true, c.litLen, c.dist);
        for (const auto &[code, length] : c.codes) {
            w.code(code, length);
        }
        Decoder decoder;
        Bytes produced;
        ASSERT_EQ(decoder.decode(w.block(), produced), DecoderResult::Ok);
        EXPECT_TRUE(produced == c.expected);
    }
}

}  // namespace
