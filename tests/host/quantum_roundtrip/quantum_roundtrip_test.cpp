// Quantum folders made by the writer come back byte for byte through the
// engine, with the decoder's window in memory and paged through a scratch file.
#include "host/writer/corpus.h"
#include "support/engine_run.h"

#include <cabinet/writer.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using cabwriter::Compression;
using cabwriter::Method;

enum class Window { InMemory, ScratchFile };

// Few enough page buffers that a window of 32 KiB or more pages for real.
constexpr std::uint32_t kPageBufferBytes = 5 * (4096 + 64);
// The engine's block buffers for a Quantum folder, allocated before the window.
constexpr std::uint32_t kBlockBuffers[] = {32768 + 10240, 32768};
// Below three 4 KiB pages a window is not worth paging: the decoder may refuse.
constexpr std::uint32_t kSmallestPagedWindow = 3 * 4096;

std::vector<cabwriter::CabinetImage> build(const cabwriter::Options &options, const std::vector<corpus::Entry> &files)
{
    cabwriter::Writer writer(options);
    for (const auto &f : files) {
        EXPECT_TRUE(writer.addFile(f.info, f.bytes)) << writer.error();
    }
    std::vector<cabwriter::CabinetImage> images;
    EXPECT_TRUE(writer.build(images)) << writer.error();
    return images;
}

void expectRoundTrip(const std::vector<cabwriter::CabinetImage> &images, const std::vector<corpus::Entry> &files,
                     Window window, std::uint32_t windowSize)
{
    enginerun::Options options;
    if (window == Window::ScratchFile) {
        options.refuseAllocFrom = windowSize;
        options.largeAllocsGranted = static_cast<int>(
            std::count_if(std::begin(kBlockBuffers), std::end(kBlockBuffers), [&](std::uint32_t n) { return n >= windowSize; }));
        options.bytesAfterRefusal = kPageBufferBytes;
    }
    const enginerun::Result result = enginerun::extractSet(images, options);
    if (window == Window::ScratchFile && windowSize < kSmallestPagedWindow && !result.ok) {
        EXPECT_EQ(result.error.code, CabErrorCode::OutOfMemory);
        return;
    }
    ASSERT_TRUE(result.ok) << "engine error " << static_cast<int>(result.error.code);
    EXPECT_EQ(result.openHandlesLeft, 0);
    ASSERT_EQ(result.files.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].info.name);
        EXPECT_TRUE(result.files[i].bytes == files[i].bytes) << "size " << result.files[i].bytes.size();
    }
    if (window == Window::ScratchFile) {
        ASSERT_FALSE(result.scratchRequests.empty());
        EXPECT_EQ(result.scratchRequests.front(), windowSize);
        if (windowSize > kPageBufferBytes) {
            EXPECT_GT(result.scratchBytes, 0u) << "the window never went out to the scratch file";
        }
    } else {
        EXPECT_TRUE(result.scratchRequests.empty());
    }
}

// Text, short and incompressible files, and a stretch that repeats at exactly
// the window's size, so that the last position slot of the window is used.
// What lies between repeats itself at a short distance and costs little.
std::vector<corpus::Entry> windowCorpus(unsigned bits)
{
    const std::size_t windowSize = std::size_t{1} << bits;
    const std::size_t headSize = std::min<std::size_t>(4000, windowSize / 2);
    std::vector<std::uint8_t> head = corpus::prose(headSize / 2, bits);
    const auto noisyHalf = corpus::noise(headSize - head.size(), bits);
    head.insert(head.end(), noisyHalf.begin(), noisyHalf.end());

    std::vector<std::uint8_t> far = head;
    const auto period = corpus::noise(std::min<std::size_t>(2999, windowSize / 4), bits + 100);
    while (far.size() < windowSize) {
        far.insert(far.end(), period.begin(), period.begin() + std::min(period.size(), windowSize - far.size()));
    }
    far.insert(far.end(), head.begin(), head.end());

    return {corpus::file("text.txt", corpus::prose(20000, bits)), corpus::file("tiny", {0x00, 0xFF, 0x00}),
            corpus::file("noise.bin", corpus::noise(3000, bits)), corpus::file("far.bin", std::move(far)),
            corpus::file("tail.txt", corpus::prose(7777, bits + 1))};
}

struct ExponentCase {
    unsigned bits;
    Window window;
};

class QuantumWindows : public ::testing::TestWithParam<ExponentCase> {};

TEST_P(QuantumWindows, EveryFileComesBackByteForByte)
{
    const ExponentCase c = GetParam();
    cabwriter::Options options;
    options.compression = Compression{Method::Quantum, static_cast<std::uint8_t>(c.bits)};
    const auto files = windowCorpus(c.bits);
    const auto images = build(options, files);
    ASSERT_EQ(images.size(), 1u);
    expectRoundTrip(images, files, c.window, 1u << c.bits);
}

std::vector<ExponentCase> exponentCases()
{
    std::vector<ExponentCase> cases;
    for (unsigned bits = 10; bits <= 21; ++bits) {
        cases.push_back({bits, Window::InMemory});
        cases.push_back({bits, Window::ScratchFile});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Exponents, QuantumWindows, ::testing::ValuesIn(exponentCases()),
                         [](const ::testing::TestParamInfo<ExponentCase> &info) {
                             return corpus::numbered("Bits", info.param.bits) +
                                    (info.param.window == Window::InMemory ? "InMemory" : "ScratchFile");
                         });

// Many data blocks over several folders and cabinets, blocks split between
// cabinets: the models carry over from block to block and restart with each
// folder, and the decoder's history survives the switch to the next cabinet.
class QuantumManyBlocks : public ::testing::TestWithParam<Window> {};

TEST_P(QuantumManyBlocks, EveryFileComesBackByteForByte)
{
    cabwriter::Options options;
    options.compression = Compression{Method::Quantum, 16};
    options.maxCabinetSize = 50000;
    options.filesPerFolder = 4;
    std::vector<corpus::Entry> files;
    for (std::uint32_t i = 0; i < 9; ++i) {
        auto bytes = i % 3 == 2 ? corpus::noise(30000 + i * 911, i) : corpus::prose(70000 + i * 4099, i);
        files.push_back(corpus::file(corpus::numbered("part", i), std::move(bytes)));
    }
    const auto images = build(options, files);
    ASSERT_GE(images.size(), 3u);
    expectRoundTrip(images, files, GetParam(), 1u << 16);
}

INSTANTIATE_TEST_SUITE_P(Windows, QuantumManyBlocks, ::testing::Values(Window::InMemory, Window::ScratchFile),
                         [](const ::testing::TestParamInfo<Window> &info) {
                             return std::string(info.param == Window::InMemory ? "InMemory" : "ScratchFile");
                         });

TEST(QuantumMethodName, NamesAWindowFromTenToTwentyOneBits)
{
    const struct {
        const char *text;
        bool accepted;
        unsigned bits;
    } cases[] = {
        {"quantum", true, 21}, {"Quantum:10", true, 10}, {"QUANTUM:15", true, 15}, {"quantum:9", false, 0},
        {"quantum:22", false, 0}, {"quantum:", false, 0}, {"quantum:1x", false, 0}, {"quantum16", false, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        Compression compression;
        ASSERT_EQ(cabwriter::parseCompression(c.text, compression), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(compression.method, Method::Quantum);
            EXPECT_EQ(compression.typeWord(), 2u | c.bits << 8);
        }
    }
}

}  // namespace
