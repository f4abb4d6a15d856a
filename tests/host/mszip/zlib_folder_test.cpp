// Folders compressed by zlib, block by block as MSZIP folders are, decode back
// to their input at every level and strategy.
#include "mszip_test_support.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace mszip_test;

namespace {

struct StrategyName {
    int strategy;
    const char *name;
};
const StrategyName kStrategies[] = {
    {Z_DEFAULT_STRATEGY, "Default"}, {Z_FILTERED, "Filtered"}, {Z_HUFFMAN_ONLY, "HuffmanOnly"},
    {Z_RLE, "Rle"},                  {Z_FIXED, "Fixed"},
};
const char *const kCorpusNames[] = {"Text", "Binary", "Random"};

// Three full blocks and a short last one, so that every later block refers back
// into its predecessor and the last block is not a whole window.
constexpr std::size_t kFolderSize = 3 * kMszipWindowSize + 5000;

using FolderCase = std::tuple<int /*level*/, int /*strategy index*/, int /*corpus*/>;

class ZlibFolder : public testing::TestWithParam<FolderCase> {};

TEST_P(ZlibFolder, DecodesBackToInput)
{
    const auto [level, strategyIndex, corpus] = GetParam();
    const Bytes input = makeCorpus(static_cast<Corpus>(corpus), kFolderSize, 1234 + corpus);
    const std::vector<Bytes> blocks = compressFolder(input, level, kStrategies[strategyIndex].strategy);

    Decoder decoder;
    ASSERT_EQ(decoder.created(), DecoderResult::Ok);
    Bytes output;
    Bytes produced;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        ASSERT_LE(blocks[i].size(), kMszipWindowSize + kMszipBlockOverhead) << "block " << i;
        ASSERT_EQ(decoder.decode(blocks[i], produced), DecoderResult::Ok) << "block " << i;
        const std::size_t expected = std::min<std::size_t>(kMszipWindowSize, input.size() - output.size());
        ASSERT_EQ(produced.size(), expected) << "block " << i;
        output.insert(output.end(), produced.begin(), produced.end());
    }
    EXPECT_TRUE(output == input);
}

INSTANTIATE_TEST_SUITE_P(AllLevelsStrategiesAndInputs, ZlibFolder,
                         testing::Combine(testing::Range(0, 10), testing::Range(0, 5), testing::Range(0, 3)),
                         [](const testing::TestParamInfo<FolderCase> &info) {
                             return std::string(kStrategies[std::get<1>(info.param)].name) + "Level" +
                                    std::to_string(std::get<0>(info.param)) +
                                    kCorpusNames[std::get<2>(info.param)];
                         });

// Two folders one after the other in the same decoder: the second starts from
// a reset and decodes without reference to the first.
TEST(ZlibFolderSequence, SecondFolderAfterResetDecodes)
{
    Decoder decoder;
    Bytes produced;
    for (int folder = 0; folder < 2; ++folder) {
        ASSERT_EQ(decoder.reset(), DecoderResult::Ok);
        const Bytes input = makeCorpus(folder == 0 ? Corpus::Text : Corpus::Binary, 2 * kMszipWindowSize, 99);
        Bytes output;
        for (const Bytes &block : compressFolder(input, 6, Z_DEFAULT_STRATEGY)) {
            ASSERT_EQ(decoder.decode(block, produced), DecoderResult::Ok);
            output.insert(output.end(), produced.begin(), produced.end());
        }
        EXPECT_TRUE(output == input) << "folder " << folder;
    }
}

}  // namespace
