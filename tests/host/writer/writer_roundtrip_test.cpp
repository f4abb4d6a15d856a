// Round trips over a varied corpus: what the writer stores must come back byte
// for byte, both through the independent reader and through the engine.
#include "corpus.h"
#include "support/engine_run.h"
#include "mini_cab.h"

#include <cabinet/writer.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

namespace {

using cabwriter::Compression;
using cabwriter::Method;
using cabwriter::Options;

struct Scenario {
    std::string name;
    Options options;
    std::function<std::vector<corpus::Entry>()> files;
    std::size_t minCabinets = 1;
    // Files from this index on go into a new stored folder (none when 0).
    std::size_t storedFrom = 0;
};

std::vector<corpus::Entry> manySmall(std::size_t count, bool withEmpties)
{
    std::vector<corpus::Entry> files;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t size = withEmpties && i % 7 == 3 ? 0 : 1 + (i * 37) % 900;
        files.push_back(corpus::file(corpus::numbered("dir", i % 4) + corpus::numbered("/f", i) + ".dat",
                                     i % 3 == 0 ? corpus::noise(size, static_cast<std::uint32_t>(i))
                                                : corpus::prose(size, static_cast<std::uint32_t>(i))));
    }
    return files;
}

Options with(std::function<void(Options &)> change)
{
    Options options;
    change(options);
    return options;
}

std::vector<Scenario> scenarios()
{
    return {
        {"OnlyEmptyFiles", Options{}, [] {
             return std::vector<corpus::Entry>{corpus::file("e1", {}), corpus::file("e2", {})};
         }},
        {"OneByte", Options{}, [] { return std::vector<corpus::Entry>{corpus::file("one", {0x5A})}; }},
        {"OverOneMebibyteCompressible", Options{}, [] {
             return std::vector<corpus::Entry>{corpus::file("big.txt", corpus::prose(1536 * 1024 + 3, 1))};
         }},
        {"OverOneMebibyteStoredNoise", with([](Options &o) { o.compression = Compression{Method::None, 0}; }), [] {
             return std::vector<corpus::Entry>{corpus::file("big.bin", corpus::noise(1100 * 1024, 2))};
         }},
        {"ManySmallFilesWithEmpties", Options{}, [] { return manySmall(400, true); }},
        {"SeveralFoldersMixedMethods", with([](Options &o) { o.filesPerFolder = 3; }),
         [] { return manySmall(20, false); }, 1, 10},
        {"SetOfMszipNoiseWithSplitBlocks", with([](Options &o) {
             o.maxCabinetSize = 50000;
             o.firstCabinetName = "noise.cab";
         }),
         [] {
             auto files = manySmall(5, false);
             files.push_back(corpus::file("noise.bin", corpus::noise(200000, 3)));
             files.push_back(corpus::file("after.txt", corpus::prose(30000, 4)));
             return files;
         },
         3},
        {"SetOfManySmallFilesAcrossBoundaries", with([](Options &o) {
             o.maxCabinetSize = 40000;
             o.compression = Compression{Method::None, 0};
         }),
         [] { return manySmall(300, true); }, 3},
        {"SetWithReservesAndNoChecksums", with([](Options &o) {
             o.maxCabinetSize = 60000;
             o.cabinetReserve = 64;
             o.folderReserve = 4;
             o.blockReserve = 8;
             o.reserveFill = 0x5C;
             o.checksums = false;
         }),
         [] {
             auto files = manySmall(30, true);
             files.push_back(corpus::file("wide.bin", corpus::noise(150000, 5)));
             return files;
         },
         3},
        {"SetWhoseFileSpansThreeCabinets", with([](Options &o) {
             o.maxCabinetSize = 36000;
             o.compression = Compression{Method::None, 0};
             o.filesPerFolder = 2;
         }),
         [] {
             return std::vector<corpus::Entry>{corpus::file("a", corpus::noise(1000, 1)),
                                               corpus::file("span", corpus::noise(120000, 2)),
                                               corpus::file("z", corpus::noise(500, 3)),
                                               corpus::file("zz", {})};
         },
         4},
        {"FullFolderGoesOnInTheNextCabinet", with([](Options &o) {
             o.maxBlocksPerFolder = 3;
             o.maxCabinetSize = 1000000;
         }),
         [] {
             return std::vector<corpus::Entry>{corpus::file("lead.txt", corpus::prose(10000, 1)),
                                               corpus::file("long.txt", corpus::prose(7 * 32768 + 5, 2)),
                                               corpus::file("after.txt", corpus::prose(3000, 3))};
         },
         3},
        {"WithoutASizeLimitFullFoldersMakeNewOnes", with([](Options &o) { o.maxBlocksPerFolder = 2; }), [] {
             return std::vector<corpus::Entry>{corpus::file("a", corpus::prose(40000, 1)),
                                               corpus::file("b", corpus::prose(40000, 2)),
                                               corpus::file("c", corpus::noise(65536, 3))};
         }},
    };
}

class WriterRoundTrip : public ::testing::TestWithParam<Scenario> {};

TEST_P(WriterRoundTrip, EveryFileComesBackByteForByte)
{
    const Scenario &s = GetParam();
    const auto files = s.files();
    cabwriter::Writer writer(s.options);
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (s.storedFrom != 0 && i == s.storedFrom) {
            writer.beginFolder(Compression{Method::None, 0});
        }
        ASSERT_TRUE(writer.addFile(files[i].info, files[i].bytes)) << writer.error();
    }
    std::vector<cabwriter::CabinetImage> images;
    ASSERT_TRUE(writer.build(images)) << writer.error();
    ASSERT_GE(images.size(), s.minCabinets);

    std::vector<minicab::Cabinet> cabs;
    for (const auto &image : images) {
        if (s.options.maxCabinetSize != 0) {
            EXPECT_LE(image.bytes.size(), s.options.maxCabinetSize);
        }
        minicab::Cabinet cab;
        std::string error;
        ASSERT_TRUE(minicab::parse(image.bytes, cab, error)) << image.name << ": " << error;
        for (const auto &folder : cab.folders) {
            EXPECT_LE(folder.blocks.size(), s.options.maxBlocksPerFolder) << image.name;
        }
        cabs.push_back(cab);
    }

    // Lists may put an empty file ahead of files that go on into the next
    // cabinet, so files are matched by name (the corpus names are unique).
    std::map<std::string, const corpus::Entry *> byName;
    for (const auto &f : files) {
        std::string stored = f.info.name;
        for (char &c : stored) {
            c = c == '/' ? '\\' : c;
        }
        byName[stored] = &f;
    }
    ASSERT_EQ(byName.size(), files.size());

    // The independent reader sees every file exactly once, where it begins.
    std::vector<minicab::Extracted> mini;
    std::string error;
    ASSERT_TRUE(minicab::extractSet(cabs, mini, error)) << error;
    ASSERT_EQ(mini.size(), files.size());
    std::set<std::string> seen;
    for (const auto &got : mini) {
        SCOPED_TRACE(got.name);
        ASSERT_EQ(byName.count(got.name), 1u);
        EXPECT_TRUE(seen.insert(got.name).second);
        const corpus::Entry &want = *byName[got.name];
        EXPECT_TRUE(got.bytes == want.bytes);
        EXPECT_EQ(got.date, want.info.date);
        EXPECT_EQ(got.time, want.info.time);
        EXPECT_EQ(got.attributes, want.info.attributes);
    }

    // The engine, following the set as its contract describes, writes the same.
    const enginerun::Result result = enginerun::extractSet(images);
    ASSERT_TRUE(result.ok) << "engine error " << static_cast<int>(result.error.code);
    EXPECT_EQ(result.openHandlesLeft, 0);
    ASSERT_EQ(result.files.size(), files.size());
    seen.clear();
    for (const auto &got : result.files) {
        SCOPED_TRACE(got.name);
        ASSERT_EQ(byName.count(got.name), 1u);
        EXPECT_TRUE(seen.insert(got.name).second);
        const corpus::Entry &want = *byName[got.name];
        EXPECT_TRUE(got.done);
        EXPECT_TRUE(got.bytes == want.bytes) << "size " << got.bytes.size();
        EXPECT_EQ(got.date, want.info.date);
        EXPECT_EQ(got.time, want.info.time);
        EXPECT_EQ(got.attributes, want.info.attributes);
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, WriterRoundTrip, ::testing::ValuesIn(scenarios()),
                         [](const ::testing::TestParamInfo<Scenario> &info) { return info.param.name; });

}  // namespace
