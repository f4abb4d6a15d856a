// The decoder object: sizes, creation through the engine's allocator, and the
// tag check every operation makes.
#include "mszip_test_support.h"

#include <gtest/gtest.h>

using namespace mszip_test;

namespace {

TEST(MszipBufferSizes, MaximumBlockSizeIsNormalisedAndTwelveBytesAdded)
{
    struct Case {
        std::uint32_t requested;
        std::uint32_t maxBlock;
        std::uint32_t compressed;
    };
    const Case cases[] = {{0, 32768, 32780}, {32768, 32768, 32780}, {40000, 32768, 32780}, {1000, 1000, 1012}};
    for (const Case &c : cases) {
        std::uint32_t maxBlock = c.requested;
        std::uint32_t compressed = 0;
        ASSERT_EQ(kMszipDecoder.queryBufferSizes(&maxBlock, DecoderParams{0, 0}, &compressed), DecoderResult::Ok);
        EXPECT_EQ(maxBlock, c.maxBlock) << c.requested;
        EXPECT_EQ(compressed, c.compressed) << c.requested;
    }
}

// An allocator that fails its n-th call and counts what is still held.
int allocationsBeforeFailure = 0;
int blocksHeld = 0;
void *countingAlloc(std::uint32_t size)
{
    if (allocationsBeforeFailure-- == 0) {
        return nullptr;
    }
    ++blocksHeld;
    return std::malloc(size);
}
void countingFree(void *block)
{
    --blocksHeld;
    std::free(block);
}

TEST(MszipCreate, FailedAllocationAnswersNoMemoryAndKeepsNothing)
{
    DecoderCallbacks callbacks{};
    callbacks.alloc = countingAlloc;
    callbacks.free = countingFree;
    for (int failing = 0; failing < 2; ++failing) {
        SCOPED_TRACE(failing);
        allocationsBeforeFailure = failing;
        blocksHeld = 0;
        std::uint32_t maxBlock = 32768;
        void *decoder = &maxBlock;
        EXPECT_EQ(kMszipDecoder.createDecoder(&maxBlock, DecoderParams{0, 0}, callbacks, &decoder),
                  DecoderResult::NoMemory);
        EXPECT_EQ(decoder, nullptr);
        EXPECT_EQ(blocksHeld, 0);
    }

    allocationsBeforeFailure = 100;
    blocksHeld = 0;
    std::uint32_t maxBlock = 32768;
    void *decoder = nullptr;
    ASSERT_EQ(kMszipDecoder.createDecoder(&maxBlock, DecoderParams{0, 0}, callbacks, &decoder), DecoderResult::Ok);
    EXPECT_GT(blocksHeld, 0);
    ASSERT_EQ(kMszipDecoder.destroyDecoder(decoder), DecoderResult::Ok);
    EXPECT_EQ(blocksHeld, 0);
}

TEST(MszipHandle, ForeignObjectIsBadHandleForEveryOperation)
{
    std::uint32_t foreign[16] = {0x12345678};
    std::uint8_t window[kMszipWindowSize];
    const std::uint8_t block[] = {'C', 'K', 0x03, 0x00};
    std::uint32_t size = sizeof window;
    EXPECT_EQ(kMszipDecoder.decodeBlock(foreign, block, sizeof block, window, &size), DecoderResult::BadHandle);
    EXPECT_EQ(kMszipDecoder.resetDecoder(foreign), DecoderResult::BadHandle);
    EXPECT_EQ(kMszipDecoder.destroyDecoder(foreign), DecoderResult::BadHandle);
    EXPECT_EQ(kMszipDecoder.decodeBlock(nullptr, block, sizeof block, window, &size), DecoderResult::BadHandle);
}

TEST(MszipHandle, ResetKeepsTheDecoderUsable)
{
    Decoder decoder;
    Bytes produced;
    // An empty fixed block: final bit, type 1, end-of-block code.
    const Bytes empty{'C', 'K', 0x03, 0x00};
    ASSERT_EQ(decoder.reset(), DecoderResult::Ok);
    EXPECT_EQ(decoder.decode(empty, produced), DecoderResult::Ok);
    EXPECT_TRUE(produced.empty());
}

}  // namespace
