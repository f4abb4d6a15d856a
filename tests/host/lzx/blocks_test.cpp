// Each block type decoded from hand-built streams, with blocks that span
// frames, matches that reach back across frames, repeated offsets, trees coded
// against the previous block's, and the resets between folders.
#include "lzx_decoder_fixture.h"

#include <gtest/gtest.h>

using namespace lzxtest;

namespace {

Bytes text(const char *s) { return Bytes(s, s + std::char_traits<char>::length(s)); }

// Main-tree symbol of a match, for building trees that hold just the symbols
// a test uses.
unsigned matchSymbol(std::uint32_t length, unsigned slot)
{
    return 256 + slot * 8 + (length - 2 < 7 ? length - 2 : 7);
}

TEST(LzxBlocks, VerbatimBlockAcrossFramesWithEveryKindOfMatch)
{
    LzxDecoder decoder(15);
    ASSERT_EQ(decoder.created, DecoderResult::Ok);
    StreamBuilder b(15);
    const unsigned mainCount = 256 + 8 * 30;

    // Frame 1: one block that runs on into frame 2.
    b.verbatimBlock(32768 + 100, flatLengths(mainCount), flatLengths(249));
    b.literals(text("abc"));
    b.match(257, 3);
    for (int i = 0; i < 126; ++i) {
        b.repeatMatch(0, 257, 3);
    }
    b.literals(text("hello world"));
    b.match(115, 11);  // R0 = 11, R1 = 3, R2 = 1
    ASSERT_EQ(b.expected.size(), 32768u);
    const Bytes frame1 = b.endFrame();
    const Bytes expected1 = b.takeExpected();

    // Frame 2: the rest of that block, then a block whose trees are coded
    // against the first's: codes up to 16 bits and an all-zero length tree.
    b.repeatMatch(1, 20, 3);   // R0 = 3, R1 = 11
    b.repeatMatch(2, 10, 1);   // R0 = 1, R2 = 3
    b.match(30, 32000);        // back into frame 1
    for (std::uint8_t i = 0; i < 40; ++i) {
        b.literal(i);
    }
    std::vector<unsigned> used;
    for (unsigned c = 'A'; c <= 'O'; ++c) {
        used.push_back(c);
    }
    used.push_back('p');
    used.push_back(matchSymbol(6, 4));
    b.verbatimBlock(200, chainLengths(mainCount, used), std::vector<std::uint8_t>(249, 0));
    b.literals(text("pApB"));
    b.match(6, 2);
    for (int i = 0; i < 190; ++i) {
        b.literal('A');
    }
    const Bytes frame2 = b.endFrame();
    const Bytes expected2 = b.takeExpected();
    ASSERT_EQ(expected2.size(), 300u);

    EXPECT_EQ(decoder.frame(frame1, 32768), expected1);
    EXPECT_EQ(decoder.frame(frame2, 300), expected2);
    EXPECT_EQ(decoder.lastResult, DecoderResult::Ok);
}

// Offsets just short of the window size read the bytes just ahead of the
// match, which the match itself overwrites a few bytes later.
TEST(LzxBlocks, MatchesFromTheOldestBytesOfTheWindow)
{
    LzxDecoder decoder(15);
    StreamBuilder b(15);
    Bytes data(32768);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    }
    b.uncompressedBlock(data, 1, 1, 1);
    const Bytes frame1 = b.endFrame();
    b.verbatimBlock(800, flatLengths(256 + 8 * 30), flatLengths(249));
    for (int i = 0; i < 300; ++i) {  // past the mirrored start of the window
        b.literal(static_cast<std::uint8_t>(i));
    }
    b.match(17, 32763);
    b.match(257, 32765);
    b.match(100, 32760);
    for (std::size_t i = b.expected.size(); i < 32768 + 800; ++i) {
        b.literal('.');
    }
    const Bytes frame2 = b.endFrame();
    EXPECT_EQ(decoder.frame(frame1, 32768), data);
    const Bytes expected = b.takeExpected();
    EXPECT_EQ(decoder.frame(frame2, 800), Bytes(expected.begin() + 32768, expected.end()));
}

// Folders run on for many windows: matches reach the whole window back from
// any frame, and short-offset matches repeat their pattern exactly, leaving
// the bytes after them as they must be.
TEST(LzxBlocks, MatchesReachTheWholeWindowFrameAfterFrame)
{
    LzxDecoder decoder(15);
    StreamBuilder b(15);
    for (int frame = 0; frame < 9; ++frame) {
        b.verbatimBlock(32768, flatLengths(256 + 8 * 30), flatLengths(249));
        const std::size_t start = b.expected.size();
        while (b.expected.size() - start < 32768 - 400) {
            const std::size_t at = b.expected.size() - start;
            b.literal(static_cast<std::uint8_t>(at * 13 + frame));
            b.literal(static_cast<std::uint8_t>(at / 7));
            if (frame > 0 || at > 32) {
                b.match(2 + at % 250, frame > 0 ? 32765 - at % 5 : 16 + at % 16);
            }
            b.match(3 + at % 29, 2 + at % 14);
        }
        while (b.expected.size() - start < 32768) {
            b.literal('.');
        }
        const Bytes data = b.endFrame();
        const Bytes expected = b.takeExpected();
        ASSERT_EQ(decoder.frame(data, 32768), expected) << "frame " << frame;
    }
}

// Matches whose offsets take no bits (offset 1 through slot 3, and repeated
// offsets) can leave the bit buffer as full as a refill made it, all 64 bits;
// codes of every length from 1 to 15 bits, mixed at random, bring that about
// after every kind of symbol.
TEST(LzxBlocks, MatchesThatTakeNoOffsetBitsAtEveryBitAlignment)
{
    LzxDecoder decoder(15);
    StreamBuilder b(15);
    const unsigned mainCount = 256 + 8 * 30;
    // Literals of 1 to 10 bits, matches of 11 to 15: two literals and a
    // match can take all but 16 of the bits a refill leaves.
    const std::vector<unsigned> used = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', matchSymbol(2, 3),
                                        matchSymbol(3, 3), matchSymbol(4, 3), matchSymbol(5, 3), matchSymbol(2, 0),
                                        matchSymbol(3, 0)};
    const std::vector<std::uint8_t> mainLengths = chainLengths(mainCount, used);
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::uint32_t range) {
        seed = seed * 1103515245 + 12345;
        return (seed >> 16) % range;
    };
    for (int frame = 0; frame < 3; ++frame) {
        b.verbatimBlock(32768, mainLengths, std::vector<std::uint8_t>(249, 0));
        const std::size_t start = b.expected.size();
        b.literal('a');
        while (b.expected.size() - start < 32768 - 20) {
            for (std::uint32_t n = next(4); n > 0; --n) {
                b.literal(static_cast<std::uint8_t>('a' + next(10)));
            }
            if (next(2) == 0) {
                b.match(2 + next(4), 1);
            } else {
                b.repeatMatch(0, 2 + next(2), 1);
            }
        }
        while (b.expected.size() - start < 32768) {
            b.literal('a');
        }
        const Bytes data = b.endFrame();
        ASSERT_EQ(decoder.frame(data, 32768), b.takeExpected()) << "frame " << frame;
    }
}

TEST(LzxBlocks, AlignedBlocksSplitOffsetsBetweenExtraBitsAndTheAlignedTree)
{
    LzxDecoder decoder(16);  // 32 position slots: the main tree's size depends on it
    StreamBuilder b(16);
    const unsigned mainCount = 256 + 8 * 32;
    const std::vector<std::uint8_t> aligned = {2, 3, 3, 3, 3, 3, 4, 4};  // complete

    b.alignedBlock(3000, aligned, flatLengths(mainCount), flatLengths(249));
    for (int i = 0; i < 1200; ++i) {
        b.literal(static_cast<std::uint8_t>(i * 7 + i / 13));
    }
    b.match(40, 1000);   // 8 extra bits: 5 read directly, 3 from the aligned tree
    b.match(9, 12);      // 2 extra bits: read directly
    b.match(100, 27);    // exactly 3 extra bits: the aligned symbol alone
    b.match(3, 5);       // 1 extra bit
    b.match(257, 1300);
    b.repeatMatch(2, 30, 27);
    for (std::size_t i = b.expected.size(); i < 3000; ++i) {
        b.literal('-');
    }
    // An all-zero aligned tree: offsets whose low 3 bits are 0, from no bits.
    b.alignedBlock(600, std::vector<std::uint8_t>(8, 0), flatLengths(mainCount), flatLengths(249));
    b.match(300 - 43, 1022);
    b.match(43, 2046);
    for (int i = 0; i < 300; ++i) {
        b.literal('+');
    }
    const Bytes frame = b.endFrame();
    const Bytes expected = b.takeExpected();
    ASSERT_EQ(expected.size(), 3600u);

    EXPECT_EQ(decoder.frame(frame, 3600), expected);
    EXPECT_EQ(decoder.lastResult, DecoderResult::Ok);
}

// A full 2 MiB window, then offsets of the three 17-extra-bit slots used here
// up to the window's far end, with codes as long as the format allows:
// 16-bit main and length codes and 7-bit aligned codes, so that one match of
// an aligned block takes 16 + 16 + 14 + 7 = 53 bits and one of a verbatim
// block 16 + 16 + 17 = 49, match after match.
TEST(LzxBlocks, LongestCodesAndOffsetsOfA2MiBWindow)
{
    LzxDecoder decoder(21);
    ASSERT_EQ(decoder.created, DecoderResult::Ok);
    StreamBuilder b(21);
    const unsigned mainCount = 256 + 8 * 50;
    std::uint32_t seed = 20261208;
    for (int f = 0; f < 64; ++f) {
        Bytes data(32768);
        for (std::uint8_t &byte : data) {
            seed = seed * 1103515245u + 12345u;
            byte = static_cast<std::uint8_t>(seed >> 24);
        }
        b.uncompressedBlock(data, 1, 1, 1);
        const Bytes frame = b.endFrame();
        ASSERT_EQ(decoder.frame(frame, 32768), b.takeExpected()) << "frame " << f;
    }

    // Twelve literals on the short codes, then the match symbols on the
    // longest: a repeat of R0 at 13 bits, slots 36 and 48 at 14 and 15, and
    // two symbols of slot 49 at 16.
    const Bytes letters = text("abcdefghijkl");
    std::vector<unsigned> used(letters.begin(), letters.end());
    for (unsigned symbol : {matchSymbol(257, 0), matchSymbol(257, 36), matchSymbol(257, 48), matchSymbol(257, 49),
                            matchSymbol(5, 49)}) {
        used.push_back(symbol);
    }
    const std::vector<std::uint8_t> main = chainLengths(mainCount, used);
    std::vector<unsigned> lengthSymbols;
    for (unsigned symbol = 0; symbol < 15; ++symbol) {
        lengthSymbols.push_back(symbol);
    }
    lengthSymbols.push_back(256 - 9);
    lengthSymbols.push_back(257 - 9);  // 16 bits
    const std::vector<std::uint8_t> length = chainLengths(249, lengthSymbols);
    const std::uint32_t bases[3] = {262144 - 2, 1835008 - 2, 1966080 - 2};  // slots 36, 48, 49

    for (bool aligned : {true, false}) {
        SCOPED_TRACE(aligned ? "aligned block" : "verbatim block");
        if (aligned) {
            b.alignedBlock(32768, {1, 2, 3, 4, 5, 6, 7, 7}, main, length);
        } else {
            b.verbatimBlock(32768, main, length);
        }
        b.literals(letters);
        for (std::uint32_t i = 0; i < 60; ++i) {
            // Extra bits near the top of their range, low three bits 6 or 7
            // (the 7-bit aligned codes); slot 49's largest reaches 2097149 back.
            const std::uint32_t extra = 131071 - (i * 4099 % 16000) * 8 - (i & 1);
            b.match(257, bases[i % 3] + extra);
            b.repeatMatch(0, 257, bases[i % 3] + extra);
            b.match(5, bases[2] + 131071 - (i & 1) - 8 * i);
        }
        while (b.expected.size() % 32768 != 0) {
            b.literal('a');
        }
        const Bytes frame = b.endFrame();
        EXPECT_EQ(decoder.frame(frame, 32768), b.takeExpected());
        EXPECT_EQ(decoder.lastResult, DecoderResult::Ok);
    }
}

TEST(LzxBlocks, UncompressedBlocksWithOddLengthsAndTheirFillerBytes)
{
    LzxDecoder decoder(17);
    StreamBuilder b(17);
    const unsigned mainCount = 256 + 8 * 34;
    b.uncompressedBlock(text("hello"), 5, 7, 9);  // odd: a filler byte follows
    b.verbatimBlock(8, flatLengths(mainCount), flatLengths(249));
    b.repeatMatch(0, 4, 5);                       // R0 from the uncompressed header
    b.repeatMatch(2, 4, 9);
    b.uncompressedBlock(text("xyz"), 1, 1, 1, false);  // last, odd, no filler
    const Bytes frame = b.endFrame();
    const Bytes expected = b.takeExpected();
    EXPECT_EQ(decoder.frame(frame, static_cast<std::uint32_t>(expected.size())), expected);
    EXPECT_EQ(decoder.lastResult, DecoderResult::Ok);
}

// An odd uncompressed block that ends with a frame: its filler byte may close
// that frame's data block or open the next one.
// With a full window behind it, a repeated offset from an uncompressed
// block's header may reach the whole window back and no further.
TEST(LzxBlocks, RepeatedOffsetsFromAnUncompressedHeaderReachTheWindowAndNoFurther)
{
    for (const std::uint32_t offset : {32768u, 32769u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(offset);
        LzxDecoder decoder(15);
        StreamBuilder b(15);
        Bytes data(32768);
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
        }
        b.uncompressedBlock(data, 1, 1, 1);
        const Bytes frame1 = b.endFrame();
        b.uncompressedBlock(Bytes(10, 'u'), offset, 1, 1);
        // Literals first, so that the match comes later in its run than the
        // run's start, where the history was last counted.
        b.verbatimBlock(7, flatLengths(256 + 8 * 30), flatLengths(249));
        b.literals(Bytes(5, 'v'));
        b.repeatMatch(0, 2, offset);
        const Bytes frame2 = b.endFrame();

        Bytes got = decoder.frame(frame1, 32768);
        Bytes out;
        const DecoderResult result = decoder.frame(frame2, 17, out);
        if (offset == 32768) {
            ASSERT_EQ(result, DecoderResult::Ok);
            got.insert(got.end(), out.begin(), out.end());
            EXPECT_EQ(got, b.takeExpected());
        } else {
            EXPECT_EQ(result, DecoderResult::BadData);
        }
    }
}

TEST(LzxBlocks, UncompressedBlockSpanningFramesThenCodedBlock)
{
    for (bool fillerAtEnd : {true, false}) {
        SCOPED_TRACE(fillerAtEnd ? "filler ends the data block" : "filler opens the next data block");
        LzxDecoder decoder(15);
        StreamBuilder b(15);
        b.verbatimBlock(1, flatLengths(256 + 8 * 30), flatLengths(249));
        b.literal('v');
        Bytes data(65535);
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<std::uint8_t>(i * 31 + (i >> 9));
        }
        b.uncompressedBlock(data, 1, 1, 1, false);
        Bytes stream = b.endFrame();
        const auto split = stream.end() - 32768;
        const Bytes frame1(stream.begin(), split);
        Bytes frame2(split, stream.end());
        Bytes frame3;
        (fillerAtEnd ? frame2 : frame3).push_back(0);
        b.verbatimBlock(50, flatLengths(256 + 8 * 30), flatLengths(249));
        b.match(50, 7233);
        const Bytes coded = b.endFrame();
        frame3.insert(frame3.end(), coded.begin(), coded.end());

        const Bytes expected = b.takeExpected();
        Bytes got = decoder.frame(frame1, 32768);
        for (const Bytes *next : {&frame2, &frame3}) {
            const Bytes more = decoder.frame(*next, next == &frame2 ? 32768 : 50);
            got.insert(got.end(), more.begin(), more.end());
        }
        EXPECT_EQ(decoder.lastResult, DecoderResult::Ok);
        EXPECT_EQ(got, expected);
    }
}

// The largest data block the engine accepts, its last code ending in its last
// word: the decoder reads nothing past it (the buffer is exactly that size, so
// sanitizers see any look-ahead beyond it).
TEST(LzxBlocks, FrameFillingTheWholeCompressedBuffer)
{
    // Literals take 10 bits each: all 256 at length 10, the 240 match symbols
    // of this window at 8 and 9 bits so that the code is complete.
    std::vector<std::uint8_t> main(256 + 8 * 30, 10);
    for (unsigned i = 0; i < 240; ++i) {
        main[256 + i] = i < 144 ? 8 : 9;
    }
    const auto build = [&main](std::uint32_t stored, Bytes &expected) {
        StreamBuilder b(15);
        Bytes raw(stored);
        for (std::uint32_t i = 0; i < stored; ++i) {
            raw[i] = static_cast<std::uint8_t>(i ^ (i >> 7));
        }
        b.uncompressedBlock(raw, 1, 1, 1);
        b.verbatimBlock(32768 - stored, main, flatLengths(249));
        for (std::uint32_t i = stored; i < 32768; ++i) {
            b.literal(static_cast<std::uint8_t>(i * 13));
        }
        expected = b.takeExpected();
        return b.endFrame();
    };
    // Each stored byte in place of a literal saves a quarter of a byte.
    Bytes expected;
    const std::size_t first = build(10000, expected).size();
    const std::uint32_t estimate = static_cast<std::uint32_t>(10000 + 4 * (static_cast<long>(first) - 38912));
    for (std::uint32_t stored = estimate - 8; stored < estimate + 8; ++stored) {
        const Bytes frame = build(stored, expected);
        if (frame.size() != 38912) {
            continue;
        }
        LzxDecoder decoder(15);
        EXPECT_EQ(decoder.frame(frame, 32768), expected);
        EXPECT_EQ(decoder.lastResult, DecoderResult::Ok);
        return;
    }
    FAIL() << "no stream of exactly the buffer's size";
}

TEST(LzxBlocks, ResetForgetsTreesOffsetsHistoryAndTranslation)
{
    LzxDecoder decoder(15);
    const unsigned mainCount = 256 + 8 * 30;
    {
        StreamBuilder b(15);
        b.translation(1 << 20);
        b.verbatimBlock(100, flatLengths(mainCount), flatLengths(249));
        b.literals(Bytes(98, 0x90));
        b.match(2, 50);  // R0 = 50
        decoder.frame(b.endFrame(), 100);
        ASSERT_EQ(decoder.lastResult, DecoderResult::Ok);
    }
    ASSERT_EQ(decoder.reset(), DecoderResult::Ok);

    // Trees coded against all-zero lengths, R0 = 1, no translation: the 0xE8
    // comes out as written.
    StreamBuilder b(15);
    b.verbatimBlock(20, flatLengths(mainCount), flatLengths(249));
    b.literals({0xE8, 1, 0, 0, 0, 'q'});
    b.repeatMatch(0, 14, 1);
    const Bytes frame = b.endFrame();
    EXPECT_EQ(decoder.frame(frame, 20), b.takeExpected());
    EXPECT_EQ(decoder.lastResult, DecoderResult::Ok);

    // A folder may not reach back before its own first byte.
    ASSERT_EQ(decoder.reset(), DecoderResult::Ok);
    StreamBuilder early(15);
    early.verbatimBlock(20, flatLengths(mainCount), flatLengths(249));
    early.literal('a');
    early.match(19, 2);
    Bytes out;
    EXPECT_EQ(decoder.frame(early.endFrame(), 20, out), DecoderResult::BadData);
}

}  // namespace
