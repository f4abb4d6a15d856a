// Decoding frames: items of every kind across frames and window sizes, and the
// ways a frame fails without writing past what it owes.
#include "quantum_test_support.h"

#include <gtest/gtest.h>

#include <random>

using namespace quantum_test;

namespace {

// Literals and matches, applied to the expected output as they are encoded.
struct Script {
    explicit Script(unsigned windowBits) : encoder(windowBits) {}
    void literals(std::size_t count, std::uint32_t seed)
    {
        std::mt19937 random(seed);
        for (std::size_t i = 0; i < count; ++i) {
            const auto byte = static_cast<std::uint8_t>(random() % 7 == 0 ? random() : 'a' + random() % 4);
            encoder.literal(byte);
            expected.push_back(byte);
        }
    }
    void match(std::uint32_t length, std::uint32_t distance)
    {
        encoder.match(length, distance);
        for (std::uint32_t i = 0; i < length; ++i) {
            expected.push_back(expected[expected.size() - distance]);
        }
    }
    TestEncoder encoder;
    Bytes expected;
};

class QuantumDecode : public ::testing::Test {
protected:
    void SetUp() override { env = FakeEnv{}; }
    void TearDown() override { EXPECT_EQ(env.live, 0) << "blocks still allocated"; }
};

// Each frame holds literals, matches of length 3, 4 and longer (up to the
// longest), a match reaching across the frame boundary and, where the window
// allows, one reaching a whole window back.
TEST_F(QuantumDecode, FramesOfEveryItemKindDecodeForSmallAndLargeWindows)
{
    for (unsigned bits : {10u, 16u, 21u}) {
        SCOPED_TRACE(bits);
        const std::uint32_t window = 1u << bits;
        Script script(bits);
        Decoder decoder(bits);
        ASSERT_EQ(decoder.created, DecoderResult::Ok);
        std::size_t checked = 0;
        for (std::uint32_t frame = 0; frame < 3; ++frame) {
            const std::size_t start = script.expected.size();
            script.literals(frame == 0 ? 1200 : 40, frame);
            script.match(3, 1);
            script.match(4, 700);
            script.match(259, 3);
            if (frame > 0) {
                script.match(77, static_cast<std::uint32_t>(script.expected.size() - start) + 11);
            }
            script.match(5, window < script.expected.size() ? window : 1000);
            script.literals(300, frame + 10);
            const auto size = static_cast<std::uint32_t>(script.expected.size() - start);
            Bytes out;
            ASSERT_EQ(decoder.decode(script.encoder.finish(), size, out), DecoderResult::Ok) << frame;
            ASSERT_EQ(decoder.produced, size);
            EXPECT_TRUE(std::equal(out.begin(), out.begin() + size, script.expected.begin() + static_cast<std::ptrdiff_t>(start)));
            EXPECT_EQ(out[size], 0xA5) << "written past the frame";
            checked += size;
        }
        EXPECT_EQ(checked, script.expected.size());
    }
}

// The decoder reads exactly the bits the code needs; a block one bit short of
// them fails although its bytes have all come out.
TEST_F(QuantumDecode, BlockOneBitShortFailsAfterProducingEverything)
{
    Bytes block;
    Bytes expected;
    for (std::uint32_t count = 1;; ++count) {
        Script script(16);
        script.literals(count, 5);
        std::size_t bits = 0;
        block = script.encoder.finish(&bits);
        if (bits % 8 == 1) {
            expected = script.expected;
            break;
        }
    }
    const auto size = static_cast<std::uint32_t>(expected.size());
    Decoder whole(16);
    Bytes out;
    ASSERT_EQ(whole.decode(block, size, out), DecoderResult::Ok);

    block.pop_back();
    Decoder shortBlock(16);
    EXPECT_EQ(shortBlock.decode(block, size, out), DecoderResult::BadData);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin()));
}

TEST_F(QuantumDecode, MatchLongerThanTheBytesOwedFailsWithoutWritingThem)
{
    Script script(16);
    script.literals(10, 1);
    script.match(200, 4);
    Decoder decoder(16);
    Bytes out;
    EXPECT_EQ(decoder.decode(script.encoder.finish(), 100, out), DecoderResult::BadData);
    EXPECT_LE(decoder.produced, 10u);
    EXPECT_TRUE(std::all_of(out.begin() + 10, out.end(), [](std::uint8_t b) { return b == 0xA5; }));
}

// The window is not cleared at a reset, so a match reaching before the folder's
// first byte would copy another folder's bytes, or memory never written.
TEST_F(QuantumDecode, MatchReachingBeforeTheFolderStartFails)
{
    Script first(16);
    first.literals(2000, 3);
    Decoder decoder(16);
    Bytes out;
    ASSERT_EQ(decoder.decode(first.encoder.finish(), 2000, out), DecoderResult::Ok);

    ASSERT_EQ(kQuantumDecoder.resetDecoder(decoder.object), DecoderResult::Ok);
    TestEncoder second(16);
    second.literal('x');
    second.match(3, 2);
    EXPECT_EQ(decoder.decode(second.finish(), 4, out), DecoderResult::BadData);

    // After the reset the models start afresh too: a new folder decodes.
    Script third(16);
    third.literals(50, 4);
    third.match(30, 50);
    ASSERT_EQ(kQuantumDecoder.resetDecoder(decoder.object), DecoderResult::Ok);
    ASSERT_EQ(decoder.decode(third.encoder.finish(), 80, out), DecoderResult::Ok);
    EXPECT_TRUE(std::equal(third.expected.begin(), third.expected.end(), out.begin()));
}

TEST_F(QuantumDecode, BlocksWithoutInputFail)
{
    Decoder decoder(16);
    Bytes out;
    EXPECT_EQ(decoder.decode(Bytes{}, 1000, out), DecoderResult::BadData);
    EXPECT_EQ(decoder.decode(Bytes{0x00}, 1000, out), DecoderResult::BadData);
    // Zeros all the way: whatever they decode to, the frame runs out of input.
    EXPECT_EQ(decoder.decode(Bytes(16, 0x00), kQuantumFrameSize, out), DecoderResult::BadData);
}

TEST_F(QuantumDecode, WindowExponentsOutsideTenToTwentyOneAreRefused)
{
    for (unsigned bits : {0u, 9u, 22u, 31u}) {
        std::uint32_t maxBlock = kQuantumFrameSize;
        std::uint32_t compressed = 0;
        EXPECT_EQ(kQuantumDecoder.queryBufferSizes(&maxBlock, DecoderParams{bits, 1}, &compressed),
                  DecoderResult::BadWindow)
            << bits;
        Decoder decoder(bits);
        EXPECT_EQ(decoder.created, DecoderResult::BadWindow) << bits;
    }
    for (unsigned bits : {10u, 21u}) {
        std::uint32_t maxBlock = 0;
        std::uint32_t compressed = 0;
        ASSERT_EQ(kQuantumDecoder.queryBufferSizes(&maxBlock, DecoderParams{bits, 1}, &compressed), DecoderResult::Ok);
        EXPECT_EQ(maxBlock, 32768u);
        EXPECT_EQ(compressed, 43008u);
    }
}

TEST_F(QuantumDecode, OperationsCheckTheTagAndTheSize)
{
    Decoder decoder(12);
    Bytes out;
    EXPECT_EQ(decoder.decode(Bytes(8, 0), kQuantumFrameSize + 1, out), DecoderResult::BadSize);
    std::uint32_t notQuantum[64] = {};
    std::uint32_t size = 1;
    EXPECT_EQ(kQuantumDecoder.decodeBlock(notQuantum, out.data(), 1, out.data(), &size), DecoderResult::BadHandle);
    EXPECT_EQ(kQuantumDecoder.resetDecoder(notQuantum), DecoderResult::BadHandle);
    EXPECT_EQ(kQuantumDecoder.destroyDecoder(notQuantum), DecoderResult::BadHandle);
}

// Every decoder keeps its own models and window: two folders decoded block by
// block in turn give the same bytes as each alone.
TEST_F(QuantumDecode, TwoDecodersWorkSideBySide)
{
    Script a(12);
    Script b(20);
    std::vector<Bytes> blocksA;
    std::vector<Bytes> blocksB;
    std::vector<std::uint32_t> sizesA;
    std::vector<std::uint32_t> sizesB;
    for (std::uint32_t frame = 0; frame < 3; ++frame) {
        std::size_t start = a.expected.size();
        a.literals(500, frame);
        a.match(100, 333);
        blocksA.push_back(a.encoder.finish());
        sizesA.push_back(static_cast<std::uint32_t>(a.expected.size() - start));
        start = b.expected.size();
        b.literals(900, frame + 50);
        b.match(6, 899);
        blocksB.push_back(b.encoder.finish());
        sizesB.push_back(static_cast<std::uint32_t>(b.expected.size() - start));
    }
    Decoder first(12);
    Decoder second(20);
    Bytes gotA;
    Bytes gotB;
    Bytes out;
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(first.decode(blocksA[i], sizesA[i], out), DecoderResult::Ok);
        gotA.insert(gotA.end(), out.begin(), out.begin() + sizesA[i]);
        ASSERT_EQ(second.decode(blocksB[i], sizesB[i], out), DecoderResult::Ok);
        gotB.insert(gotB.end(), out.begin(), out.begin() + sizesB[i]);
    }
    EXPECT_EQ(gotA, a.expected);
    EXPECT_EQ(gotB, b.expected);
}

}  // namespace
