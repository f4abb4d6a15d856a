// Input beyond what one cabinet or one folder can describe: refused up front
// by name, or spread over a set when a size limit allows it.
#include "corpus.h"
#include "mini_cab.h"

#include <cabinet/writer.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using cabwriter::Options;
using cabwriter::Writer;

constexpr std::uint32_t kSetLimit = 100000000;

struct SizeCase {
    const char *what;
    std::uint32_t blocksPerFolder;
    std::uint32_t maxCabinet;
    std::uint64_t size;
    bool sparseFile;  // added by path from a sparse file instead of from memory
    const char *refusal;  // nullptr when the file is taken
};

TEST(WriterLimits, FilesTooLargeForTheLayoutAreRefusedByNameBeforeTheBuild)
{
    const SizeCase cases[] = {
        {"a folder's worth fits", 2, 0, 65536, false, nullptr},
        {"one byte over a folder", 2, 0, 65537, false, "--max-cabinet"},
        {"over a folder, with a size limit", 2, kSetLimit, 65537, false, nullptr},
        {"2.6 GB without a size limit", 65535, 0, 2600000000u, true, "--max-cabinet"},
        {"2.6 GB with a size limit", 65535, kSetLimit, 2600000000u, true, nullptr},
        {"4 GiB - 1 with a size limit", 65535, kSetLimit, 0xFFFFFFFFu, true, nullptr},
        {"4 GiB with a size limit", 65535, kSetLimit, 0x100000000u, true, "at most 4 GiB - 1 bytes"},
    };
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "writer_limits_test";
    std::filesystem::create_directories(dir);
    for (const SizeCase &c : cases) {
        SCOPED_TRACE(c.what);
        Options options;
        options.maxBlocksPerFolder = c.blocksPerFolder;
        options.maxCabinetSize = c.maxCabinet;
        Writer writer(options);
        cabwriter::FileInfo info;
        info.name = "big.bin";
        bool taken = false;
        if (c.sparseFile) {
            const std::filesystem::path path = dir / "big.bin";
            std::ofstream(path).close();
            std::filesystem::resize_file(path, c.size);
            taken = writer.addFileFromPath(info, path.string());
        } else {
            taken = writer.addFile(info, std::vector<std::uint8_t>(static_cast<std::size_t>(c.size), 0x41));
        }
        EXPECT_EQ(taken, c.refusal == nullptr) << writer.error();
        if (c.refusal != nullptr) {
            EXPECT_NE(writer.error().find("big.bin"), std::string::npos) << writer.error();
            EXPECT_NE(writer.error().find(c.refusal), std::string::npos) << writer.error();
        }
    }
    std::filesystem::remove_all(dir);
}

// 65536 empty files: one more than a cabinet lists, and with one file per
// folder more folders than it can number.
TEST(WriterLimits, FullFileAndFolderCountsBeginTheNextCabinetOrAreRefused)
{
    for (const std::uint32_t filesPerFolder : {0u, 1u}) {
        for (const std::uint32_t maxCabinet : {0u, kSetLimit}) {
            SCOPED_TRACE(corpus::numbered("files per folder ", filesPerFolder) +
                         corpus::numbered(", size limit ", maxCabinet));
            Options options;
            options.filesPerFolder = filesPerFolder;
            options.maxCabinetSize = maxCabinet;
            options.compression = cabwriter::Compression{cabwriter::Method::None, 0};
            Writer writer(options);
            cabwriter::FileInfo info;
            for (std::size_t i = 0; i < 65536; ++i) {
                info.name = corpus::numbered("f", i);
                ASSERT_TRUE(writer.addFile(info, {})) << writer.error();
            }
            std::vector<cabwriter::CabinetImage> images;
            const bool built = writer.build(images);
            if (maxCabinet == 0) {
                EXPECT_FALSE(built);
                EXPECT_NE(writer.error().find("--max-cabinet"), std::string::npos) << writer.error();
                continue;
            }
            ASSERT_TRUE(built) << writer.error();
            ASSERT_EQ(images.size(), 2u);
            std::size_t listed = 0;
            for (const auto &image : images) {
                minicab::Cabinet cab;
                std::string error;
                ASSERT_TRUE(minicab::parse(image.bytes, cab, error)) << error;
                EXPECT_LE(cab.folders.size(), 65532u);
                listed += cab.files.size();
            }
            EXPECT_EQ(listed, 65536u);
        }
    }
}

}  // namespace
