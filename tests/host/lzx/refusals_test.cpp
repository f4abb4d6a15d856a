// Streams the decoder must refuse: each fails with BadData and produces
// nothing, and a decoder that failed stays failed until it is reset.
#include "lzx_decoder_fixture.h"
#include "lzx.h"

#include <gtest/gtest.h>

#include <functional>

using namespace lzxtest;

namespace {

const unsigned kMainCount = 256 + 8 * 30;

struct Refusal {
    const char *what;
    std::uint32_t frameSize;
    std::function<Bytes()> stream;
};

Bytes verbatimStream(std::uint32_t blockLength, const std::function<void(StreamBuilder &)> &body)
{
    StreamBuilder b(15);
    b.verbatimBlock(blockLength, flatLengths(kMainCount), flatLengths(249));
    body(b);
    return b.endFrame();
}

Bytes withMainLengths(const std::vector<std::uint8_t> &main, const std::vector<std::uint8_t> &lengths)
{
    StreamBuilder b(15);
    b.verbatimBlock(10, main, lengths);
    return b.endFrame();
}

TEST(LzxRefusals, BadStreamsFailWithBadData)
{
    std::vector<std::uint8_t> overSubscribed = flatLengths(kMainCount);
    overSubscribed[0] = 1;
    overSubscribed[1] = 1;
    std::vector<std::uint8_t> incomplete = flatLengths(kMainCount);
    incomplete[kMainCount - 1] = 0;
    std::vector<std::uint8_t> oneCode(kMainCount, 0);
    oneCode['a'] = 1;
    std::vector<std::uint8_t> shortLengthTree = flatLengths(249);
    shortLengthTree[3] = 0;

    const Bytes good = verbatimStream(40, [](StreamBuilder &b) {
        b.literals(Bytes(20, 'x'));
        b.match(20, 7);
    });

    const std::vector<Refusal> cases = {
        {"match past the end of its block", 60,
         [] {
             return verbatimStream(10, [](StreamBuilder &b) {
                 b.literals(Bytes(5, 'a'));
                 b.match(8, 3);
             });
         }},
        {"match past the end of the frame", 10,
         [] {
             return verbatimStream(100, [](StreamBuilder &b) {
                 b.literals(Bytes(5, 'a'));
                 b.match(8, 3);
             });
         }},
        {"match before the folder's first byte", 20,
         [] {
             return verbatimStream(20, [](StreamBuilder &b) {
                 b.literals(Bytes(5, 'a'));
                 b.match(15, 6);
             });
         }},
        {"over-subscribed main tree", 10, [=] { return withMainLengths(overSubscribed, flatLengths(249)); }},
        {"incomplete main tree", 10, [=] { return withMainLengths(incomplete, flatLengths(249)); }},
        {"main tree of a single code", 10, [=] { return withMainLengths(oneCode, flatLengths(249)); }},
        {"incomplete length tree", 10, [=] { return withMainLengths(flatLengths(kMainCount), shortLengthTree); }},
        {"over-subscribed aligned tree", 10,
         [] {
             StreamBuilder b(15);
             b.alignedBlock(10, {1, 1, 1, 3, 3, 3, 3, 3}, flatLengths(kMainCount), flatLengths(249));
             return b.endFrame();
         }},
        {"symbol from an all-zero main tree", 10,
         [] {
             StreamBuilder b(15);
             b.verbatimBlock(10, std::vector<std::uint8_t>(kMainCount, 0), flatLengths(249));
             return b.endFrame();
         }},
        {"long match from an all-zero length tree", 40,
         [] {
             StreamBuilder b(15);
             b.verbatimBlock(40, flatLengths(kMainCount), std::vector<std::uint8_t>(249, 0));
             b.literals(Bytes(20, 'x'));
             b.putLength(12, 4);  // length header 7: a length symbol is wanted
             return b.endFrame();
         }},
        {"block type 0", 10,
         [] {
             StreamBuilder b(15);
             b.blockHeader(0, 10);
             return b.endFrame();
         }},
        {"block type 5", 10,
         [] {
             StreamBuilder b(15);
             b.blockHeader(5, 10);
             return b.endFrame();
         }},
        {"no input at all", 10, [] { return Bytes{}; }},
        {"coded block cut short", 40, [=] { return Bytes(good.begin(), good.end() - 2); }},
        {"coded block cut to an odd size", 40, [=] { return Bytes(good.begin(), good.end() - 1); }},
        {"uncompressed block cut short", 40,
         [] {
             StreamBuilder b(15);
             b.uncompressedBlock(Bytes(40, 'u'), 1, 1, 1);
             Bytes stream = b.endFrame();
             stream.resize(stream.size() - 1);
             return stream;
         }},
        {"uncompressed header without its offsets", 40,
         [] {
             StreamBuilder b(15);
             b.blockHeader(3, 40);
             return b.endFrame();
         }},
        {"no filler and no header after an odd uncompressed block", 20,
         [] {
             StreamBuilder b(15);
             b.uncompressedBlock(Bytes(9, 'u'), 1, 1, 1, false);
             return b.endFrame();
         }},
    };

    LzxDecoder check(15);
    Bytes out;
    ASSERT_EQ(check.frame(good, 40, out), DecoderResult::Ok) << "the uncut stream must decode";

    for (const Refusal &c : cases) {
        SCOPED_TRACE(c.what);
        LzxDecoder decoder(15);
        EXPECT_EQ(decoder.frame(c.stream(), c.frameSize, out), DecoderResult::BadData);
        EXPECT_TRUE(out.empty());
        // Nothing more until the next folder begins.
        EXPECT_EQ(decoder.frame(good, 40, out), DecoderResult::BadData);
        ASSERT_EQ(decoder.reset(), DecoderResult::Ok);
        EXPECT_EQ(decoder.frame(good, 40, out), DecoderResult::Ok);
    }
}

TEST(LzxRefusals, InterfaceChecksWindowSizeAndHandle)
{
    std::uint32_t maxBlock = 32768;
    std::uint32_t bufferSize = 0;
    for (unsigned bits : {14u, 22u, 0u}) {
        EXPECT_EQ(kLzxDecoder.queryBufferSizes(&maxBlock, DecoderParams{bits, 0}, &bufferSize),
                  DecoderResult::BadWindow);
    }
    for (unsigned bits = 15; bits <= 21; ++bits) {
        ASSERT_EQ(kLzxDecoder.queryBufferSizes(&maxBlock, DecoderParams{bits, 0}, &bufferSize), DecoderResult::Ok);
        EXPECT_EQ(bufferSize, 38912u);
        LzxDecoder decoder(bits);
        EXPECT_EQ(decoder.created, DecoderResult::Ok);
    }

    LzxDecoder decoder(21);
    Bytes out;
    EXPECT_EQ(decoder.frame(Bytes(10, 0), 32769, out), DecoderResult::BadSize);
    std::uint32_t wrongTag = 0x12345678;
    std::uint32_t size = 10;
    std::uint8_t room[16];
    EXPECT_EQ(kLzxDecoder.decodeBlock(&wrongTag, room, 0, room, &size), DecoderResult::BadHandle);
    EXPECT_EQ(kLzxDecoder.resetDecoder(&wrongTag), DecoderResult::BadHandle);
    EXPECT_EQ(kLzxDecoder.destroyDecoder(&wrongTag), DecoderResult::BadHandle);
}

}  // namespace
