// The window in a scratch file: how it is asked for, paging through a few
// buffers, and what happens when the file or the memory for it is missing.
#include "quantum_test_support.h"

#include <gtest/gtest.h>

#include <random>

using namespace quantum_test;

namespace {

class QuantumScratch : public ::testing::Test {
protected:
    void SetUp() override { env = FakeEnv{}; }
    void TearDown() override { EXPECT_EQ(env.live, 0) << "blocks still allocated"; }
};

struct Frame {
    Bytes block;
    Bytes expected;
};

// Five frames over a 64 KiB window: incompressible literals first, then matches
// reaching up to a whole window back, so that pages go out to the file and come
// back from it.
std::vector<Frame> farReachingFrames()
{
    TestEncoder encoder(16);
    Bytes all;
    std::vector<Frame> frames;
    std::mt19937 random(7);
    auto literals = [&](std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            const auto byte = static_cast<std::uint8_t>(random());
            encoder.literal(byte);
            all.push_back(byte);
        }
    };
    auto match = [&](std::uint32_t length, std::uint32_t distance) {
        encoder.match(length, distance);
        for (std::uint32_t i = 0; i < length; ++i) {
            all.push_back(all[all.size() - distance]);
        }
    };
    for (int f = 0; f < 5; ++f) {
        const std::size_t start = all.size();
        if (f < 3) {
            literals(25000);
        } else {
            literals(500);
            for (std::uint32_t k = 0; all.size() - start < 30000; ++k) {
                match(259, 65536 - k * 977 % 60000);
                match(3, 4096 - k % 50);
                match(4, 20000 + k * 31);
                literals(3);
            }
        }
        frames.push_back(Frame{encoder.finish(), Bytes(all.begin() + static_cast<std::ptrdiff_t>(start), all.end())});
    }
    return frames;
}

void decodeAll(Decoder &decoder, const std::vector<Frame> &frames)
{
    Bytes out;
    for (std::size_t f = 0; f < frames.size(); ++f) {
        const auto size = static_cast<std::uint32_t>(frames[f].expected.size());
        ASSERT_EQ(decoder.decode(frames[f].block, size, out), DecoderResult::Ok) << f;
        ASSERT_TRUE(std::equal(frames[f].expected.begin(), frames[f].expected.end(), out.begin())) << f;
    }
}

TEST_F(QuantumScratch, WindowRefusedInMemoryIsPagedThroughThreeBuffers)
{
    const std::vector<Frame> frames = farReachingFrames();
    env.refuseAllocAbove = (1u << 16) - 1;
    env.pageBuffersAllowed = 3;
    {
        Decoder decoder(16);
        ASSERT_EQ(decoder.created, DecoderResult::Ok);
        EXPECT_EQ(env.lastOpenPath, (std::vector<char>{'*', '\0', 0x00, 0x00, 0x01, 0x00}));
        EXPECT_EQ(env.lastOpenFlags, 0x8102);
        EXPECT_EQ(env.lastOpenPermission, 0x180);
        decodeAll(decoder, frames);
        EXPECT_GT(env.writes, 0);
        EXPECT_GT(env.reads, 0);

        // A reset forgets the file's pages; the same folder decodes again.
        ASSERT_EQ(kQuantumDecoder.resetDecoder(decoder.object), DecoderResult::Ok);
        decodeAll(decoder, frames);
    }
    EXPECT_EQ(env.closes, 1);
}

TEST_F(QuantumScratch, PagingFailureFailsEveryBlockUntilTheReset)
{
    const std::vector<Frame> frames = farReachingFrames();
    env.refuseAllocAbove = (1u << 16) - 1;
    env.pageBuffersAllowed = 3;
    env.failSeekAfter = 0;
    Decoder decoder(16);
    ASSERT_EQ(decoder.created, DecoderResult::Ok);
    Bytes out;
    EXPECT_EQ(decoder.decode(frames[0].block, static_cast<std::uint32_t>(frames[0].expected.size()), out),
              DecoderResult::BadData);
    env.failSeekAfter = -1;
    EXPECT_EQ(decoder.decode(frames[1].block, static_cast<std::uint32_t>(frames[1].expected.size()), out),
              DecoderResult::BadData);
    ASSERT_EQ(kQuantumDecoder.resetDecoder(decoder.object), DecoderResult::Ok);
    decodeAll(decoder, frames);
}

// Nothing is left allocated or open when the window can be had neither way.
TEST_F(QuantumScratch, CreationFailsWithNoMemoryWhenNoScratchWindowCanBeMade)
{
    struct Case {
        const char *name;
        unsigned bits;
        bool openScratch;
        int pageBuffers;
        int opens;
    };
    const Case cases[] = {
        {"open answers -1", 16, false, 100, 1},
        {"fewer than three page buffers", 16, true, 2, 1},
        // Three 4 KiB buffers would take more memory than an 8 KiB window.
        {"window under three pages", 13, true, 100, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        env = FakeEnv{};
        env.refuseAllocAbove = (1u << c.bits) - 1;
        env.openScratch = c.openScratch;
        env.pageBuffersAllowed = c.pageBuffers;
        Decoder decoder(c.bits);
        EXPECT_EQ(decoder.created, DecoderResult::NoMemory);
        EXPECT_EQ(decoder.object, nullptr);
        EXPECT_EQ(env.opens, c.opens);
        EXPECT_EQ(env.closes, c.openScratch ? c.opens : 0);
        EXPECT_EQ(env.live, 0);
    }
}

}  // namespace
