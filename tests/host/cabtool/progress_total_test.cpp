// The totals of the progress line agree with the bytes the run produces:
// what create's writer reports taking in, and what a walk of a set decodes.
#include "reading/set_size.h"

#include <cabinet/writer.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

TEST(ProgressTotals, CountEveryFileOfASetOnce)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "cabtool_progress_total";
    std::filesystem::create_directories(folder);
    cabwriter::Options options;
    options.compression.method = cabwriter::Method::None;
    options.maxCabinetSize = 30000;
    options.firstCabinetName = "set.cab";
    std::uint64_t taken = 0;
    options.onInput = [&taken](std::uint32_t bytes) { taken += bytes; };
    cabwriter::Writer writer(options);
    // The middle file runs on through three cabinets, and is listed in each.
    const std::uint32_t sizes[] = {25000, 70000, 10};
    for (std::size_t i = 0; i < 3; ++i) {
        cabwriter::FileInfo info;
        info.name = "file" + std::to_string(i);
        ASSERT_TRUE(writer.addFile(info, std::vector<std::uint8_t>(sizes[i], static_cast<std::uint8_t>(i))));
    }
    const std::uint64_t all = 25000 + 70000 + 10;
    EXPECT_EQ(writer.inputSize(), all);
    std::vector<std::string> written;
    ASSERT_TRUE(writer.buildToDirectory(folder.string(), &written));
    ASSERT_GE(written.size(), 3u);
    EXPECT_EQ(taken, all);

    const std::string first = (folder / "set.cab").string();
    EXPECT_EQ(cabtool::filesSizeOfSet(first, true), all);
    EXPECT_EQ(cabtool::filesSizeOfSet(first, false), 25000u + 70000u);
    EXPECT_EQ(cabtool::filesSizeOfSet((folder / "missing.cab").string(), true), 0u);
    std::filesystem::remove_all(folder);
}

}  // namespace
