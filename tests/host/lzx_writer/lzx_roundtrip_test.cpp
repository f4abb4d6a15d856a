// LZX folders written by the encoder come back byte for byte through the
// engine: every window size over the varied corpus, each block type forced
// with blocks that end inside frames and span several, call translation on
// and off, and a set of cabinets.
#include "support/engine_run.h"
#include "lzx_corpus.h"

#include <cabinet/writer.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>

namespace {

using cabwriter::Compression;
using cabwriter::EncodedBlock;
using cabwriter::LzxBlocks;
using cabwriter::LzxSettings;
using cabwriter::Method;
using cabwriter::Options;

void expectSameFiles(const std::vector<cabwriter::CabinetImage> &images, const std::vector<corpus::Entry> &files)
{
    const enginerun::Result result = enginerun::extractSet(images);
    ASSERT_TRUE(result.ok) << "engine error " << static_cast<int>(result.error.code);
    std::map<std::string, const corpus::Entry *> byName;
    for (const auto &f : files) {
        byName[f.info.name] = &f;
    }
    ASSERT_EQ(result.files.size(), files.size());
    for (const auto &got : result.files) {
        SCOPED_TRACE(got.name);
        ASSERT_EQ(byName.count(got.name), 1u);
        EXPECT_TRUE(got.done);
        EXPECT_TRUE(got.bytes == byName[got.name]->bytes) << "size " << got.bytes.size();
    }
}

void expectWriterRoundTrip(const Options &options, const std::vector<corpus::Entry> &files, std::size_t minCabinets)
{
    cabwriter::Writer writer(options);
    for (const auto &f : files) {
        ASSERT_TRUE(writer.addFile(f.info, f.bytes)) << writer.error();
    }
    std::vector<cabwriter::CabinetImage> images;
    ASSERT_TRUE(writer.build(images)) << writer.error();
    ASSERT_GE(images.size(), minCabinets);
    expectSameFiles(images, files);
}

std::vector<corpus::Entry> variedCorpus(unsigned windowBits)
{
    std::vector<std::uint8_t> zeros(70000, 0);
    return {
        corpus::file("one", {0x42}),
        corpus::file("empty", {}),
        corpus::file("text.txt", corpus::prose(150000, windowBits)),
        corpus::file("prog.exe", lzxcorpus::calls(120000, windowBits)),
        corpus::file("zeros", zeros),
        corpus::file("table.dat", lzxcorpus::records(80000, windowBits)),
        corpus::file("noise.bin", corpus::noise(40000, windowBits)),
        corpus::file("five", corpus::prose(5, 9)),
        corpus::file("far.bin", lzxcorpus::farRepeat(windowBits, windowBits)),
    };
}

class LzxWindow : public ::testing::TestWithParam<unsigned> {};

TEST_P(LzxWindow, VariedCorpusComesBackByteForByte)
{
    Options options;
    options.compression = Compression{Method::Lzx, static_cast<std::uint8_t>(GetParam())};
    expectWriterRoundTrip(options, variedCorpus(GetParam()), 1);
}

INSTANTIATE_TEST_SUITE_P(Exponents, LzxWindow, ::testing::Range(15u, 22u));

TEST(LzxWriter, SetOfCabinetsSplitsLzxBlocksAcrossThem)
{
    Options options;
    options.compression = Compression{Method::Lzx, 16};
    options.maxCabinetSize = 60000;
    options.firstCabinetName = "lzxset.cab";
    std::vector<corpus::Entry> files{corpus::file("a.txt", corpus::prose(1000, 1)),
                                     corpus::file("b.exe", lzxcorpus::calls(150000, 2)),
                                     corpus::file("c.bin", corpus::noise(60000, 3)),
                                     corpus::file("d.txt", corpus::prose(200000, 4)),
                                     corpus::file("e", corpus::prose(10, 5))};
    expectWriterRoundTrip(options, files, 3);
}

// One folder of encoder output as a cabinet holding the stream as one file.
cabwriter::CabinetImage singleFolderCabinet(std::uint16_t type, const std::vector<EncodedBlock> &blocks,
                                            std::uint32_t streamSize)
{
    std::vector<std::uint8_t> out(36 + 8 + 16);
    auto put16 = [&out](std::size_t at, std::uint32_t v) {
        out[at] = static_cast<std::uint8_t>(v & 0xFF);
        out[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    };
    auto put32 = [&put16](std::size_t at, std::uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    const char name[] = "stream.bin";
    out[0] = 'M';
    out[1] = 'S';
    out[2] = 'C';
    out[3] = 'F';
    put32(16, 44);
    put16(24, 0x0103);
    put16(26, 1);
    put16(28, 1);
    put32(44, streamSize);
    put16(54, 0x21);
    put16(58, 0x20);
    out.insert(out.end(), name, name + sizeof name);
    put32(36, static_cast<std::uint32_t>(out.size()));
    put16(40, static_cast<std::uint32_t>(blocks.size()));
    put16(42, type);
    for (const EncodedBlock &block : blocks) {
        const std::size_t at = out.size();
        out.resize(at + 8, 0);
        put16(at + 4, static_cast<std::uint32_t>(block.data.size()));
        put16(at + 6, block.uncompressed);
        out.insert(out.end(), block.data.begin(), block.data.end());
    }
    put32(8, static_cast<std::uint32_t>(out.size()));
    return cabwriter::CabinetImage{"lzx.cab", out};
}

struct Forced {
    const char *name;
    LzxBlocks blocks;
    std::uint32_t blockLength;  // odd lengths end blocks inside frames
    bool translation;
    unsigned windowBits;
};

class LzxForcedBlocks : public ::testing::TestWithParam<Forced> {};

TEST_P(LzxForcedBlocks, StreamComesBackByteForByte)
{
    const Forced &f = GetParam();
    const std::vector<std::uint8_t> stream = lzxcorpus::mixed(60000);
    LzxSettings settings;
    settings.windowBits = f.windowBits;
    settings.callTranslation = f.translation;
    settings.blocks = f.blocks;
    settings.blockLength = f.blockLength;
    settings.framesPerRun = 3;
    std::string error;
    std::vector<EncodedBlock> blocks;
    ASSERT_TRUE(lzxcorpus::encodeFolder(settings, stream, blocks, error)) << error;
    ASSERT_EQ(blocks.size(), (stream.size() + cabwriter::kBlockSize - 1) / cabwriter::kBlockSize);
    for (const EncodedBlock &block : blocks) {
        EXPECT_LE(block.data.size(), cabwriter::kBlockSize + 6144);
    }
    const auto type = static_cast<std::uint16_t>(3 | (f.windowBits << 8));
    std::vector<corpus::Entry> want{corpus::file("stream.bin", stream)};
    expectSameFiles({singleFolderCabinet(type, blocks, static_cast<std::uint32_t>(stream.size()))}, want);
}

INSTANTIATE_TEST_SUITE_P(
    Types, LzxForcedBlocks,
    ::testing::Values(Forced{"VerbatimInsideFrames", LzxBlocks::Verbatim, 12345, true, 16},
                      Forced{"VerbatimWholeRunsUntranslated", LzxBlocks::Verbatim, 0, false, 21},
                      Forced{"AlignedInsideFrames", LzxBlocks::Aligned, 12345, true, 17},
                      Forced{"AlignedWholeRuns", LzxBlocks::Aligned, 0, true, 20},
                      Forced{"UncompressedOddLengths", LzxBlocks::Uncompressed, 12345, true, 15},
                      Forced{"UncompressedWholeRunsUntranslated", LzxBlocks::Uncompressed, 0, false, 21},
                      Forced{"ChosenInsideFramesMixed", LzxBlocks::Chosen, 20001, false, 18},
                      Forced{"ChosenWholeRuns", LzxBlocks::Chosen, 0, true, 19}),
    [](const ::testing::TestParamInfo<Forced> &info) { return std::string(info.param.name); });

// CALL targets at every edge of the rewrite: just inside and outside the
// ranges it maps, the extreme values, 0xE8 among the last 6 bytes of a frame,
// and a last frame shorter than 6 bytes that holds one.
TEST(LzxWriter, CallTargetsAtTheTranslationEdgesComeBack)
{
    const std::int64_t size = 12000000;
    std::vector<std::uint8_t> stream = corpus::prose(2 * cabwriter::kBlockSize + 5, 7);
    for (std::size_t at = 0; at + 5 <= stream.size(); at += 11) {
        const auto c = static_cast<std::int64_t>(at);
        const std::int64_t picks[] = {-c, -c - 1, size - c - 1, size - c, size - 1, size, INT32_MIN, INT32_MAX, 0};
        const auto value = static_cast<std::uint32_t>(picks[(at / 11) % 9]);
        stream[at] = 0xE8;
        for (int k = 0; k < 4; ++k) {
            stream[at + 1 + k] = static_cast<std::uint8_t>(value >> (8 * k));
        }
    }
    // Each frame ends in 0xE8 0 0 0 0 0xE8 after plain bytes: a call that the
    // reader must leave alone; the 5-byte last frame holds one as well.
    const std::uint8_t tail[] = {'x', 'x', 'x', 'x', 'x', 'x', 0xE8, 0, 0, 0, 0, 0xE8};
    for (std::size_t frameEnd : {std::size_t{cabwriter::kBlockSize}, std::size_t{2} * cabwriter::kBlockSize}) {
        std::copy(std::begin(tail), std::end(tail), stream.begin() + static_cast<std::ptrdiff_t>(frameEnd - 12));
    }
    std::copy(tail + 6, tail + 11, stream.end() - 5);
    Options options;
    options.compression = Compression{Method::Lzx, 15};
    expectWriterRoundTrip(options, {corpus::file("calls.exe", stream)}, 1);
}

TEST(LzxWriter, MethodTextNamesTheWindow)
{
    const struct {
        const char *text;
        bool accepted;
        std::uint16_t type;
    } cases[] = {{"lzx", true, 0x1503},   {"LZX:15", true, 0x0F03}, {"lzx:21", true, 0x1503},
                 {"lzx:18", true, 0x1203}, {"lzx:14", false, 0},     {"lzx:22", false, 0},
                 {"lzx:", false, 0},       {"lzx:1x", false, 0},     {"lzx:015", false, 0}};
    for (const auto &c : cases) {
        Compression compression;
        EXPECT_EQ(cabwriter::parseCompression(c.text, compression), c.accepted) << c.text;
        if (c.accepted) {
            EXPECT_EQ(compression.typeWord(), c.type) << c.text;
        }
    }
}

}  // namespace
