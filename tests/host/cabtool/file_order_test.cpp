// cabtool has the engine produce a file list that is out of folder order in
// folder order, so that each folder is decoded once, and still prints what it
// prints in list order.
#include "commands/cabtool.h"
#include "reading/engine_io.h"
#include "reading/set_walk.h"

#include <cabinet/writer.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kFiles = 24;

Bytes fileBytes(int index)
{
    Bytes out;
    std::uint32_t x = 12345u + static_cast<std::uint32_t>(index);
    while (out.size() < 20000) {
        x = x * 1103515245u + 12345u;
        const char *word = (x >> 16) % 3 == 0 ? "folder " : (x >> 16) % 3 == 1 ? "cabinet " : "update ";
        out.insert(out.end(), word, word + std::char_traits<char>::length(word));
        out.push_back(static_cast<std::uint8_t>('a' + (x >> 24) % 26));
    }
    return out;
}

std::string fileName(int index)
{
    std::string name = "f";  // built up in steps: "literal" + string trips a false -Wrestrict in MinGW's GCC 12
    name += std::to_string(index);
    return name + ".txt";
}

// The file entries of a one-cabinet image, rewritten in reverse order in place.
void reverseFileList(Bytes &image)
{
    const std::uint32_t first = image[16] | image[17] << 8 | image[18] << 16 | image[19] << 24;
    const unsigned count = image[28] | image[29] << 8;
    std::vector<Bytes> entries;
    std::size_t at = first;
    for (unsigned i = 0; i < count; ++i) {
        std::size_t end = at + 16;
        while (image[end] != 0) {
            ++end;
        }
        entries.emplace_back(image.begin() + static_cast<std::ptrdiff_t>(at),
                             image.begin() + static_cast<std::ptrdiff_t>(end + 1));
        at = end + 1;
    }
    at = first;
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        std::copy(entry->begin(), entry->end(), image.begin() + static_cast<std::ptrdiff_t>(at));
        at += entry->size();
    }
}

// Writes every file to a scratch stream, checks its bytes at FileDone and
// prints its name.
class CheckingHandler final : public cabtool::WalkHandler {
public:
    CheckingHandler()
    {
        for (int i = 0; i < kFiles; ++i) {
            expected_[fileName(i)] = fileBytes(i);
        }
    }
    std::int32_t fileStart(const CabNotifyRecord &) override
    {
        std::FILE *stream = std::tmpfile();
        const std::int32_t handle = cabtool::adoptStream(stream);
        streams_[handle] = stream;
        return handle;
    }
    bool fileDone(const CabNotifyRecord &record) override
    {
        std::FILE *stream = streams_.at(record.handle);
        std::rewind(stream);
        Bytes got;
        for (int c; (c = std::fgetc(stream)) != EOF;) {
            got.push_back(static_cast<std::uint8_t>(c));
        }
        cabtool::closeHandle(record.handle);
        good += expected_.at(record.text1) == got ? 1 : 0;
        cabtool::emitLine(stdout, record.text1);
        return true;
    }
    int good = 0;

private:
    std::map<std::int32_t, std::FILE *> streams_;
    std::map<std::string, Bytes> expected_;
};

class ReversedList : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = std::filesystem::temp_directory_path() / "cabtool_order";
        folder_ += std::to_string(reinterpret_cast<std::uintptr_t>(this));
        std::filesystem::create_directories(folder_);
        cabwriter::Writer writer{cabwriter::Options{}};
        for (int i = 0; i < kFiles; ++i) {
            cabwriter::FileInfo info;
            info.name = fileName(i);
            ASSERT_TRUE(writer.addFile(info, fileBytes(i)));
        }
        std::vector<cabwriter::CabinetImage> images;
        ASSERT_TRUE(writer.build(images));
        ASSERT_EQ(images.size(), 1u);
        save("in-order.cab", images[0].bytes);
        reverseFileList(images[0].bytes);
        save("reversed.cab", images[0].bytes);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    void save(const char *name, const Bytes &bytes)
    {
        std::FILE *out = std::fopen((folder_ / name).string().c_str(), "wb");
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), out), bytes.size());
        std::fclose(out);
    }

    std::filesystem::path folder_;
};

TEST_F(ReversedList, FolderIsDecodedOnceAndOutputKeepsListOrder)
{
    std::uint64_t readFor[2] = {};
    std::string printed[2];
    const char *const cabinets[2] = {"in-order.cab", "reversed.cab"};
    for (int run = 0; run < 2; ++run) {
        CheckingHandler handler;
        const std::uint64_t before = cabtool::bytesReadByEngine();
        testing::internal::CaptureStdout();
        const cabtool::WalkOutcome outcome = cabtool::walkCabinets((folder_ / cabinets[run]).string(), handler, true);
        printed[run] = testing::internal::GetCapturedStdout();
        readFor[run] = cabtool::bytesReadByEngine() - before;

        EXPECT_EQ(outcome.failures, 0) << cabinets[run];
        EXPECT_EQ(outcome.files, kFiles) << cabinets[run];
        EXPECT_EQ(handler.good, kFiles) << cabinets[run];
    }
    // Decoding the reversed list once per file would read the folder's blocks
    // about kFiles / 2 times over.
    EXPECT_LT(readFor[1], readFor[0] + readFor[0] / 2);

    std::string reversedNames;
    for (int i = kFiles; i-- > 0;) {
        reversedNames += fileName(i) + "\n";
    }
    EXPECT_EQ(printed[1], reversedNames);
}

}  // namespace
