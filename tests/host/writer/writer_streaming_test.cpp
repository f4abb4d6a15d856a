// Cabinets written into a folder as they are completed: the same bytes as the
// images built in memory, and nothing left behind when the build fails.
#include "corpus.h"

#include <cabinet/writer.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using cabwriter::Compression;
using cabwriter::Method;
using cabwriter::Options;
namespace fs = std::filesystem;

std::vector<std::uint8_t> readAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

fs::path freshFolder(const char *name)
{
    const fs::path dir = fs::temp_directory_path() / "writer_streaming_test" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::vector<corpus::Entry> mixedFiles(std::size_t bigSize)
{
    std::vector<corpus::Entry> files;
    for (std::uint32_t i = 0; i < 12; ++i) {
        files.push_back(corpus::file(corpus::numbered("small", i),
                                     i % 2 == 0 ? corpus::prose(700 + i * 911, i) : corpus::noise(300 + i * 57, i)));
    }
    files.push_back(corpus::file("big.txt", corpus::prose(bigSize, 99)));
    files.push_back(corpus::file("empty", {}));
    files.push_back(corpus::file("tail.bin", corpus::noise(60000, 7)));
    return files;
}

struct Layout {
    const char *what;
    std::uint32_t maxCabinet;
    bool continueFolders;
    std::uint32_t filesPerFolder;
    std::size_t bigSize;
    std::uint16_t blockReserve;
};

TEST(WriterStreaming, CabinetsWrittenAsTheyCompleteMatchTheImagesBuiltInMemory)
{
    const Layout layouts[] = {
        {"one cabinet", 0, false, 0, 300000, 0},
        {"one cabinet, folders of four, block reserves", 0, false, 4, 300000, 6},
        {"a set by size", 45000, false, 0, 300000, 0},
        {"a set with continued folders", 45000, true, 0, 300000, 0},
        // Blocks beyond a few megabytes wait in the scratch file, for each cabinet.
        {"a set of cabinets larger than the blocks kept in memory", 5000000, false, 0, 14000000, 0},
    };
    const Compression methods[] = {{Method::None, 0}, {Method::Mszip, 0}, {Method::Quantum, 21}, {Method::Lzx, 21}};
    const fs::path dir = freshFolder("same");
    for (const Layout &layout : layouts) {
        const auto files = mixedFiles(layout.bigSize);
        for (const Compression &method : methods) {
            if (layout.bigSize > 1000000 && method.method != Method::None) {
                continue;  // encoding adds nothing to what the scratch file is checked for
            }
            SCOPED_TRACE(std::string(layout.what) + ", method " + std::to_string(static_cast<int>(method.method)));
            Options options;
            options.compression = method;
            options.maxCabinetSize = layout.maxCabinet;
            options.continueFolders = layout.continueFolders;
            options.filesPerFolder = layout.filesPerFolder;
            options.blockReserve = static_cast<std::uint8_t>(layout.blockReserve);
            options.firstCabinetName = "same.cab";
            cabwriter::Writer inMemory(options);
            cabwriter::Writer toFolder(options);
            for (const corpus::Entry &f : files) {
                ASSERT_TRUE(inMemory.addFile(f.info, f.bytes)) << inMemory.error();
                ASSERT_TRUE(toFolder.addFile(f.info, f.bytes)) << toFolder.error();
            }
            std::vector<cabwriter::CabinetImage> images;
            ASSERT_TRUE(inMemory.build(images)) << inMemory.error();
            std::vector<std::string> written;
            ASSERT_TRUE(toFolder.buildToDirectory(dir.string(), &written)) << toFolder.error();
            ASSERT_EQ(written.size(), images.size());
            if (layout.maxCabinet != 0) {
                EXPECT_GE(images.size(), 2u);
            }
            for (std::size_t c = 0; c < images.size(); ++c) {
                EXPECT_EQ(fs::path(written[c]).filename().string(), images[c].name);
                EXPECT_TRUE(readAll(written[c]) == images[c].bytes) << images[c].name;
            }
            std::size_t entries = 0;
            for (const auto &entry : fs::directory_iterator(dir)) {
                (void)entry;
                ++entries;
            }
            EXPECT_EQ(entries, images.size()) << "temporary files left";
            for (const std::string &path : written) {
                fs::remove(path);
            }
        }
    }
}

TEST(WriterStreaming, AFailedBuildLeavesNoCabinetAndEarlierFilesAsTheyWere)
{
    const fs::path dir = freshFolder("failed");
    const std::vector<std::uint8_t> earlier = {'o', 'l', 'd'};
    std::ofstream(dir / "set.cab", std::ios::binary).write("old", 3);
    const fs::path shrinking = dir / "input" / "shrinks.bin";
    fs::create_directories(shrinking.parent_path());
    {
        const auto bytes = corpus::noise(200000, 3);
        std::ofstream(shrinking, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()),
                                                         static_cast<std::streamsize>(bytes.size()));
    }
    Options options;
    options.compression = Compression{Method::None, 0};
    options.maxCabinetSize = 40000;
    options.firstCabinetName = "set.cab";
    cabwriter::Writer writer(options);
    ASSERT_TRUE(writer.addFile(corpus::file("first", corpus::noise(150000, 1)).info, corpus::noise(150000, 1)));
    cabwriter::FileInfo info;
    info.name = "shrinks.bin";
    ASSERT_TRUE(writer.addFileFromPath(info, shrinking.string())) << writer.error();
    // Cabinets of the set are complete before the second file turns out shorter.
    fs::resize_file(shrinking, 1000);
    EXPECT_FALSE(writer.buildToDirectory(dir.string()));
    EXPECT_NE(writer.error().find("shrink"), std::string::npos) << writer.error();
    std::vector<std::string> left;
    for (const auto &entry : fs::directory_iterator(dir)) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"input", "set.cab"}));
    EXPECT_TRUE(readAll(dir / "set.cab") == earlier);
}

}  // namespace
