// What the writer emits, checked structure by structure with the independent
// reader in mini_cab.
#include "corpus.h"
#include "mini_cab.h"

#include <cabinet/writer.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

using cabwriter::Compression;
using cabwriter::Method;
using cabwriter::Options;
using cabwriter::Writer;

std::vector<minicab::Cabinet> buildAndParse(Writer &writer, std::vector<cabwriter::CabinetImage> *images = nullptr)
{
    std::vector<cabwriter::CabinetImage> built;
    EXPECT_TRUE(writer.build(built)) << writer.error();
    std::vector<minicab::Cabinet> cabs;
    for (const auto &image : built) {
        minicab::Cabinet cab;
        std::string error;
        EXPECT_TRUE(minicab::parse(image.bytes, cab, error)) << image.name << ": " << error;
        cabs.push_back(cab);
    }
    if (images != nullptr) {
        *images = built;
    }
    return cabs;
}

void add(Writer &writer, const corpus::Entry &entry)
{
    ASSERT_TRUE(writer.addFile(entry.info, entry.bytes)) << writer.error();
}

TEST(WriterChecksum, FoldsWordsThenTailAsTheFormatPacksThem)
{
    struct Case {
        const char *bytes;
        std::uint32_t seed;
        std::uint32_t expected;
    } cases[] = {
        {"", 0x12345678, 0x12345678},
        {"a", 0, 0x00000061},
        {"ab", 0, 0x00006162},
        {"abc", 0, 0x00616263},
        {"abcd", 0, 0x64636261},
        {"abcdabc", 0, 0x64636261 ^ 0x00616263},
        {"abcdabcd", 0, 0},
        {"abc", 0x00616263, 0},
    };
    for (const Case &c : cases) {
        const auto *p = reinterpret_cast<const std::uint8_t *>(c.bytes);
        EXPECT_EQ(cabwriter::checksum(p, std::strlen(c.bytes), c.seed), c.expected) << '"' << c.bytes << '"';
    }
}

TEST(WriterNames, SetMembersCarryTheirNumberBeforeTheExtension)
{
    struct Case {
        const char *first;
        unsigned index;
        const char *expected;
    } cases[] = {
        {"OUT.cab", 0, "OUT.cab"},      {"OUT.cab", 1, "OUT2.cab"},   {"OUT.cab", 11, "OUT12.cab"},
        {"noext", 2, "noext3"},          {"dir.d/set", 1, "dir.d/set2"}, {"a.b.cab", 1, "a.b2.cab"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(cabwriter::setMemberName(c.first, c.index), c.expected);
    }
}

TEST(WriterNames, RefusesNamesThatLeaveTheTargetUnlessVerbatim)
{
    struct Case {
        std::string name;
        bool verbatim;
        bool accepted;
        std::string stored;
    } cases[] = {
        {"dir/sub/file.txt", false, true, "dir\\sub\\file.txt"},
        {"plain.txt", false, true, "plain.txt"},
        {"..\\evil.txt", false, false, ""},
        {"a/../b", false, false, ""},
        {"/etc/passwd", false, false, ""},
        {"\\root.txt", false, false, ""},
        {"C:\\x.txt", false, false, ""},
        {"a//b", false, false, ""},
        {"a/./b", false, false, ""},
        {"dir/", false, false, ""},
        {"", false, false, ""},
        {std::string(255, 'n'), false, true, std::string(255, 'n')},
        {std::string(256, 'n'), false, false, ""},
        {"..\\evil.txt", true, true, "..\\evil.txt"},
        {"C:\\x.txt", true, true, "C:\\x.txt"},
        {"a/b", true, true, "a/b"},
        {std::string(256, 'n'), true, false, ""},
        {std::string("a\0b", 3), true, false, ""},
    };
    for (const Case &c : cases) {
        Writer writer(Options{});
        cabwriter::FileInfo info;
        info.name = c.name;
        info.verbatimName = c.verbatim;
        EXPECT_EQ(writer.addFile(info, {1, 2, 3}), c.accepted) << c.name;
        if (!c.accepted) {
            EXPECT_FALSE(writer.error().empty());
            continue;
        }
        const auto cabs = buildAndParse(writer);
        ASSERT_EQ(cabs.size(), 1u);
        ASSERT_EQ(cabs[0].files.size(), 1u);
        EXPECT_EQ(cabs[0].files[0].name, c.stored);
    }
}

TEST(WriterDos, PacksDatesAndTimesAndClampsOutOfRangeYears)
{
    EXPECT_EQ(cabwriter::dosDate(1980, 1, 1), 0x0021);
    EXPECT_EQ(cabwriter::dosDate(2026, 12, 7), ((2026 - 1980) << 9) | (12 << 5) | 7);
    EXPECT_EQ(cabwriter::dosDate(1970, 6, 1), cabwriter::dosDate(1980, 6, 1));
    EXPECT_EQ(cabwriter::dosDate(2200, 1, 1), cabwriter::dosDate(2107, 1, 1));
    EXPECT_EQ(cabwriter::dosTime(23, 59, 59), (23 << 11) | (59 << 5) | 29);
    EXPECT_EQ(cabwriter::dosTime(0, 0, 1), 0);
}

TEST(WriterLayout, SingleCabinetHeaderDescribesFoldersFilesAndBlocks)
{
    Options options;
    options.setId = 0x4242;
    Writer writer(options);
    const auto a = corpus::file("a.txt", corpus::prose(70000, 1), 0x21);
    const auto b = corpus::file("sub/b.bin", corpus::noise(5, 2));
    add(writer, a);
    add(writer, b);
    std::vector<cabwriter::CabinetImage> images;
    const auto cabs = buildAndParse(writer, &images);
    ASSERT_EQ(cabs.size(), 1u);
    const minicab::Cabinet &cab = cabs[0];
    EXPECT_EQ(images[0].name, "out.cab");
    EXPECT_EQ(cab.version, 0x0103);
    EXPECT_EQ(cab.flags, 0);
    EXPECT_EQ(cab.setId, 0x4242);
    EXPECT_EQ(cab.index, 0);
    ASSERT_EQ(cab.folders.size(), 1u);
    EXPECT_EQ(cab.folders[0].type, 1);
    ASSERT_EQ(cab.files.size(), 2u);
    EXPECT_EQ(cab.files[0].name, "a.txt");
    EXPECT_EQ(cab.files[0].size, 70000u);
    EXPECT_EQ(cab.files[0].offset, 0u);
    EXPECT_EQ(cab.files[0].folder, 0);
    EXPECT_EQ(cab.files[0].attributes, 0x21);
    EXPECT_EQ(cab.files[0].date, a.info.date);
    EXPECT_EQ(cab.files[0].time, a.info.time);
    EXPECT_EQ(cab.files[1].name, "sub\\b.bin");
    EXPECT_EQ(cab.files[1].offset, 70000u);
    // 70005 bytes: two full blocks and a last one of 4469.
    ASSERT_EQ(cab.folders[0].blocks.size(), 3u);
    EXPECT_EQ(cab.folders[0].blocks[0].uncompressed, 32768);
    EXPECT_EQ(cab.folders[0].blocks[1].uncompressed, 32768);
    EXPECT_EQ(cab.folders[0].blocks[2].uncompressed, 70005 - 65536);
    for (const auto &block : cab.folders[0].blocks) {
        EXPECT_NE(block.checksum, 0u);
        EXPECT_EQ(block.checksum, minicab::expectedChecksum(block));
        ASSERT_GE(block.data.size(), 2u);
        EXPECT_EQ(block.data[0], 'C');
        EXPECT_EQ(block.data[1], 'K');
    }
}

TEST(WriterLayout, ReserveAreasAreDeclaredSizedAndCoveredByChecksums)
{
    struct Case {
        std::uint16_t cabinet;
        std::uint8_t folder;
        std::uint8_t block;
        bool always;
        bool expectFlag;
    } cases[] = {
        {0, 0, 0, false, false}, {0, 0, 0, true, true},   {20, 0, 0, false, true},
        {0, 5, 0, false, true},  {0, 0, 7, false, true},  {300, 255, 255, false, true},
    };
    for (const Case &c : cases) {
        Options options;
        options.cabinetReserve = c.cabinet;
        options.folderReserve = c.folder;
        options.blockReserve = c.block;
        options.reserveFieldsAlways = c.always;
        options.reserveFill = 0xA5;
        Writer writer(options);
        add(writer, corpus::file("x", corpus::prose(40000, 3)));
        const auto cabs = buildAndParse(writer);
        ASSERT_EQ(cabs.size(), 1u);
        const minicab::Cabinet &cab = cabs[0];
        EXPECT_EQ((cab.flags & 4) != 0, c.expectFlag);
        EXPECT_EQ(cab.cabinetReserve, std::vector<std::uint8_t>(c.cabinet, 0xA5));
        ASSERT_EQ(cab.folders.size(), 1u);
        EXPECT_EQ(cab.folders[0].reserve, std::vector<std::uint8_t>(c.folder, 0xA5));
        for (const auto &block : cab.folders[0].blocks) {
            EXPECT_EQ(block.reserve, std::vector<std::uint8_t>(c.block, 0xA5));
            EXPECT_EQ(block.checksum, minicab::expectedChecksum(block));
        }
        std::vector<minicab::Extracted> out;
        std::string error;
        ASSERT_TRUE(minicab::extractSet(cabs, out, error)) << error;
        EXPECT_EQ(out.at(0).bytes, corpus::prose(40000, 3));
    }
}

TEST(WriterLayout, WithoutChecksumsEveryBlockStoresZero)
{
    Options options;
    options.checksums = false;
    Writer writer(options);
    add(writer, corpus::file("x", corpus::noise(80000, 4)));
    const auto cabs = buildAndParse(writer);
    ASSERT_EQ(cabs.size(), 1u);
    ASSERT_EQ(cabs[0].folders[0].blocks.size(), 3u);
    for (const auto &block : cabs[0].folders[0].blocks) {
        EXPECT_EQ(block.checksum, 0u);
    }
}

TEST(WriterLayout, FoldersFollowTheFileCountAndExplicitBreaks)
{
    Options options;
    options.filesPerFolder = 2;
    Writer writer(options);
    for (int i = 0; i < 5; ++i) {
        add(writer, corpus::file(corpus::numbered("f", static_cast<std::size_t>(i)), corpus::prose(1000, i)));
    }
    writer.beginFolder(Compression{Method::None, 0});
    add(writer, corpus::file("stored", corpus::prose(1000, 9)));
    const auto cabs = buildAndParse(writer);
    ASSERT_EQ(cabs.size(), 1u);
    const auto &cab = cabs[0];
    ASSERT_EQ(cab.folders.size(), 4u);
    EXPECT_EQ(cab.folders[0].type, 1);
    EXPECT_EQ(cab.folders[2].type, 1);
    EXPECT_EQ(cab.folders[3].type, 0);
    const std::uint16_t expectedFolder[] = {0, 0, 1, 1, 2, 3};
    const std::uint32_t expectedOffset[] = {0, 1000, 0, 1000, 0, 0};
    ASSERT_EQ(cab.files.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(cab.files[i].folder, expectedFolder[i]) << i;
        EXPECT_EQ(cab.files[i].offset, expectedOffset[i]) << i;
    }
    // The stored folder's block holds the bytes unchanged.
    ASSERT_EQ(cab.folders[3].blocks.size(), 1u);
    EXPECT_EQ(cab.folders[3].blocks[0].data, corpus::prose(1000, 9));
}

TEST(WriterMszip, IncompressibleBlocksStayWithinTheLimitAndDecode)
{
    Writer writer(Options{});
    const auto bytes = corpus::noise(5 * 32768 + 17, 5);
    add(writer, corpus::file("noise", bytes));
    const auto cabs = buildAndParse(writer);
    ASSERT_EQ(cabs.size(), 1u);
    for (const auto &block : cabs[0].folders[0].blocks) {
        EXPECT_LE(block.data.size(), 32780u);
    }
    std::vector<minicab::Extracted> out;
    std::string error;
    ASSERT_TRUE(minicab::extractSet(cabs, out, error)) << error;
    EXPECT_EQ(out.at(0).bytes, bytes);
}

TEST(WriterMszip, LaterBlocksReferBackIntoThePreviousBlock)
{
    // Noise with a period of 20000 bytes: every block after the first begins
    // with bytes whose only earlier copy lies in the previous block.
    const auto chunk = corpus::noise(20000, 6);
    std::vector<std::uint8_t> bytes;
    while (bytes.size() < 3 * 32768) {
        bytes.insert(bytes.end(), chunk.begin(), chunk.end());
    }
    bytes.resize(3 * 32768);
    Writer writer(Options{});
    add(writer, corpus::file("repeat", bytes));
    const auto cabs = buildAndParse(writer);
    const auto &blocks = cabs.at(0).folders.at(0).blocks;
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_GT(blocks[0].data.size(), 20000u);
    EXPECT_LT(blocks[1].data.size(), 2000u);
    EXPECT_LT(blocks[2].data.size(), 2000u);
    std::vector<minicab::Extracted> out;
    std::string error;
    ASSERT_TRUE(minicab::extractSet(cabs, out, error)) << error;
    EXPECT_EQ(out.at(0).bytes, bytes);
}

TEST(WriterSets, SizeLimitMakesAChainedSetWithSplitBlocksAndContinuedFiles)
{
    Options options;
    options.maxCabinetSize = 45000;
    options.setId = 7;
    options.firstCabinetName = "SET.cab";
    options.compression = Compression{Method::None, 0};
    Writer writer(options);
    add(writer, corpus::file("lead.txt", corpus::prose(10000, 1)));
    add(writer, corpus::file("big.bin", corpus::noise(100000, 2)));
    add(writer, corpus::file("tail-a", corpus::noise(3000, 3)));
    add(writer, corpus::file("tail-b", corpus::noise(3000, 4)));
    std::vector<cabwriter::CabinetImage> images;
    const auto cabs = buildAndParse(writer, &images);
    ASSERT_GE(cabs.size(), 3u);

    bool sawSplit = false;
    for (std::size_t c = 0; c < cabs.size(); ++c) {
        const auto &cab = cabs[c];
        SCOPED_TRACE(corpus::numbered("cabinet ", c));
        EXPECT_EQ(images[c].name, cabwriter::setMemberName("SET.cab", static_cast<unsigned>(c)));
        EXPECT_LE(images[c].bytes.size(), 45000u);
        EXPECT_EQ(cab.setId, 7);
        EXPECT_EQ(cab.index, c);
        EXPECT_EQ((cab.flags & 1) != 0, c > 0);
        EXPECT_EQ((cab.flags & 2) != 0, c + 1 < cabs.size());
        if (c > 0) {
            EXPECT_EQ(cab.previousName, images[c - 1].name);
            EXPECT_EQ(cab.previousDisk, corpus::numbered("DISK", c));
        }
        if (c + 1 < cabs.size()) {
            EXPECT_EQ(cab.nextName, images[c + 1].name);
            EXPECT_EQ(cab.nextDisk, corpus::numbered("DISK", c + 2));
        }
        for (const auto &folder : cab.folders) {
            for (std::size_t b = 0; b < folder.blocks.size(); ++b) {
                if (folder.blocks[b].uncompressed == 0) {
                    sawSplit = true;
                    EXPECT_EQ(b + 1, folder.blocks.size()) << "a first piece ends its cabinet's part of the folder";
                    EXPECT_EQ(&folder, &cab.folders.back());
                }
                EXPECT_EQ(folder.blocks[b].checksum, minicab::expectedChecksum(folder.blocks[b]));
            }
        }
        // Continued entries come first, in the order the previous cabinet
        // listed them as going on.
        if (c > 0) {
            std::vector<std::string> goingOn;
            for (const auto &f : cabs[c - 1].files) {
                if (f.folder == 0xFFFE || f.folder == 0xFFFF) {
                    goingOn.push_back(f.name);
                }
            }
            ASSERT_LE(goingOn.size(), cab.files.size());
            for (std::size_t i = 0; i < goingOn.size(); ++i) {
                EXPECT_EQ(cab.files[i].name, goingOn[i]);
                EXPECT_TRUE(cab.files[i].folder == 0xFFFD || cab.files[i].folder == 0xFFFF);
            }
            // No file begins in a continued folder.
            for (std::size_t i = goingOn.size(); i < cab.files.size(); ++i) {
                EXPECT_FALSE(!goingOn.empty() && cab.files[i].folder == 0) << cab.files[i].name;
                EXPECT_NE(cab.files[i].folder, 0xFFFD);
            }
        }
    }
    EXPECT_TRUE(sawSplit);

    std::vector<minicab::Extracted> out;
    std::string error;
    ASSERT_TRUE(minicab::extractSet(cabs, out, error)) << error;
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[1].bytes, corpus::noise(100000, 2));
    EXPECT_EQ(out[3].bytes, corpus::noise(3000, 4));
}

TEST(WriterSets, LimitTooSmallForABlockFailsTheBuild)
{
    Options options;
    options.maxCabinetSize = 20000;
    options.compression = Compression{Method::None, 0};
    Writer writer(options);
    add(writer, corpus::file("big", corpus::noise(100000, 1)));
    std::vector<cabwriter::CabinetImage> images;
    EXPECT_FALSE(writer.build(images));
    EXPECT_NE(writer.error().find("too small"), std::string::npos) << writer.error();
}

TEST(WriterSets, OneCabinetUnderTheLimitNamesNoNeighbours)
{
    Options options;
    options.maxCabinetSize = 1000000;
    Writer writer(options);
    add(writer, corpus::file("small", corpus::prose(5000, 1)));
    const auto cabs = buildAndParse(writer);
    ASSERT_EQ(cabs.size(), 1u);
    EXPECT_EQ(cabs[0].flags, 0);
}

}  // namespace
