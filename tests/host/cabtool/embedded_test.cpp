// Finding cabinets inside other files: which headers are trusted, and a scan
// that reads in chunks still finds a signature cut by a chunk's end.
#include "reading/embedded.h"

#include <cabinet/writer.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Three stored files of `bytes` bytes or so, one folder each.
Bytes smallCabinet(std::uint16_t setId, std::size_t bytes = 1000)
{
    cabwriter::Options options;
    options.setId = setId;
    options.compression.method = cabwriter::Method::None;
    options.filesPerFolder = 1;
    cabwriter::Writer writer{options};
    for (int i = 0; i < 3; ++i) {
        cabwriter::FileInfo info;
        info.name = "file" + std::to_string(i) + ".txt";
        const Bytes content(bytes + static_cast<std::size_t>(i), static_cast<std::uint8_t>('a' + i));
        EXPECT_TRUE(writer.addFile(info, content));
    }
    std::vector<cabwriter::CabinetImage> images;
    EXPECT_TRUE(writer.build(images));
    return images.empty() ? Bytes{} : images[0].bytes;
}

void put(Bytes &bytes, std::size_t at, std::uint32_t value, unsigned width)
{
    for (unsigned i = 0; i < width; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

TEST(EmbeddedCabinet, HeadCheckTrustsOnlyPlausibleHeaders)
{
    const Bytes good = smallCabinet(77);
    ASSERT_GT(good.size(), 100u);
    const std::uint32_t size = static_cast<std::uint32_t>(good.size());
    const std::uint32_t fileTable = good[16] | good[17] << 8;

    cabtool::CabinetHead head;
    EXPECT_EQ(cabtool::headAreaSize(good.data()), fileTable);
    ASSERT_EQ(cabtool::checkCabinetHead(good.data(), fileTable, size, head), "");
    EXPECT_EQ(head.size, size);
    EXPECT_EQ(head.setId, 77);
    EXPECT_FALSE(head.hasPrevious);

    struct Damage {
        const char *what;
        std::size_t at;
        std::uint32_t value;
        unsigned width;
    };
    const Damage damages[] = {
        {"reserved field", 12, 1, 4},
        {"format version 2", 25, 2, 1},
        {"unknown flag", 30, 0x10, 2},
        {"no folder", 26, 0, 2},
        {"no file", 28, 0, 2},
        {"file table inside the header", 16, 20, 4},
        {"file table at the cabinet's end", 16, size, 4},
        {"more files than room", 28, 0x4000, 2},
        {"folder data before the file table", 36, 40, 4},
        {"folder data past the end", 36, size + 1, 4},
        {"more blocks than room", 40, 0x8000, 2},
    };
    for (const Damage &damage : damages) {
        Bytes bad = good;
        put(bad, damage.at, damage.value, damage.width);
        EXPECT_NE(cabtool::checkCabinetHead(bad.data(), fileTable, size, head), "") << damage.what;
    }
    EXPECT_NE(cabtool::checkCabinetHead(good.data(), fileTable, size - 1, head), "") << "size past the file's end";
    EXPECT_NE(cabtool::checkCabinetHead(good.data(), 30, size, head), "") << "header cut short";
}

TEST(EmbeddedCabinet, ScanFindsSignaturesAcrossChunkEndsAndSkipsWholeCabinets)
{
    const Bytes first = smallCabinet(1, 4000);
    const Bytes second = smallCabinet(2);
    // The first signature straddles the scan's 1 MiB chunk boundary; a copy of
    // the second cabinet stored in the first's place must not count twice.
    Bytes file((std::size_t{1} << 20) - 2, 'j');
    const std::size_t firstAt = file.size();
    file.insert(file.end(), first.begin(), first.end());
    const std::size_t secondAt = file.size() + 5;
    file.insert(file.end(), 5, 'k');
    file.insert(file.end(), second.begin(), second.end());
    std::copy(second.begin(), second.end(), file.begin() + static_cast<std::ptrdiff_t>(firstAt) + 500);

    const std::string path = (std::filesystem::temp_directory_path() / "cabtool_embedded_scan.bin").string();
    std::FILE *out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(std::fwrite(file.data(), 1, file.size(), out), file.size());
    std::fclose(out);

    std::vector<cabtool::CabinetHead> found;
    std::string why;
    ASSERT_TRUE(cabtool::findCabinets(path, found, why)) << why;
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].offset, firstAt);
    EXPECT_EQ(found[0].setId, 1);
    EXPECT_EQ(found[1].offset, secondAt);
    EXPECT_EQ(found[1].setId, 2);
    std::filesystem::remove(path);
}

}  // namespace
