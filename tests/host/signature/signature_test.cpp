// Signing and verifying cabinets and sets: which bytes the signature guards,
// how a reserve area is made for it, and what a verifier says about each fault.
// Signing is done on Linux only; on Windows the updater's own end-to-end run
// checks signatures through CNG.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <cabinet/signature.h>
#include <cabinet/writer.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "signature_set.h"
#include "support/engine_run.h"

namespace {

std::string keyText(const char *name)
{
    std::ifstream in(std::string(ORVEL_TEST_DATA_DIR) + "/keys/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::uint8_t> publicKey(const char *name)
{
    std::vector<std::uint8_t> spki;
    EXPECT_TRUE(cabsig::publicKeyFromPem(keyText(name), spki));
    return spki;
}

// Cabinets read from memory by name, as the verifier's file source.
class MemoryFiles : public cabsig::SetFiles {
public:
    std::map<std::string, std::vector<std::uint8_t>> files;

    bool open(const std::string &path) override
    {
        const auto found = files.find(path);
        current_ = found == files.end() ? nullptr : &found->second;
        at_ = 0;
        return current_ != nullptr;
    }
    bool read(void *buffer, std::size_t size, std::size_t &got) override
    {
        got = std::min(size, current_->size() - at_);
        std::copy_n(current_->data() + at_, got, static_cast<std::uint8_t *>(buffer));
        at_ += got;
        return true;
    }
    void close() override { current_ = nullptr; }

private:
    const std::vector<std::uint8_t> *current_ = nullptr;
    std::size_t at_ = 0;
};

std::vector<cabwriter::CabinetImage> build(cabwriter::Options options, std::size_t bigFile)
{
    options.filesPerFolder = 1;
    cabwriter::Writer writer(options);
    cabwriter::FileInfo info;
    info.name = "a.txt";
    writer.addFile(info, {'a', 'b', 'c'});
    info.name = "big.bin";
    std::vector<std::uint8_t> big(bigFile);
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
    }
    writer.addFile(info, big);
    std::vector<cabwriter::CabinetImage> images;
    EXPECT_TRUE(writer.build(images)) << writer.error();
    return images;
}

// Writes the images to a fresh folder, signs the first with the test key and
// reads the set back.
MemoryFiles signedSet(const std::vector<cabwriter::CabinetImage> &images, const char *key = "TEST-ONLY-signing-key.pem")
{
    // Each test runs in a process of its own, several at once: each gets its own folder.
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
        (std::string("cabsig_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    for (const auto &image : images) {
        std::ofstream(folder / image.name, std::ios::binary)
            .write(reinterpret_cast<const char *>(image.bytes.data()), static_cast<std::streamsize>(image.bytes.size()));
    }
    MemoryFiles files;
    std::vector<std::uint8_t> first;
    std::string why;
    EXPECT_TRUE(cabsig::signCabinet((folder / images[0].name).string(), keyText(key), first, why)) << why;
    files.files[images[0].name] = first;
    for (std::size_t i = 1; i < images.size(); ++i) {
        files.files[images[i].name] = images[i].bytes;
    }
    return files;
}

cabsig::Verdict verify(MemoryFiles &files, const char *key = "TEST-ONLY-public-key.pem")
{
    std::string later;
    return cabsig::verifySet("out.cab", publicKey(key), files, later);
}

TEST(CabinetSignature, EveryByteOfASignedCabinetIsGuarded)
{
    // A reserve area larger than the record, and folder and block reserves,
    // so that the bytes around the record are among those changed.
    cabwriter::Options options;
    options.cabinetReserve = 160;
    options.folderReserve = 3;
    options.blockReserve = 2;
    options.reserveFill = 0x5A;
    MemoryFiles files = signedSet(build(options, 300));
    ASSERT_EQ(verify(files), cabsig::Verdict::Good);
    EXPECT_EQ(verify(files, "TEST-ONLY-other-public-key.pem"), cabsig::Verdict::OtherKey);
    std::vector<std::uint8_t> &bytes = files.files["out.cab"];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] ^= 0x01;
        EXPECT_NE(verify(files), cabsig::Verdict::Good) << "byte " << i;
        bytes[i] ^= 0x01;
    }
    bytes.push_back(0);
    EXPECT_EQ(verify(files), cabsig::Verdict::Altered) << "a byte added at the end";
    bytes.resize(bytes.size() - 2);
    EXPECT_EQ(verify(files), cabsig::Verdict::Altered) << "the last byte cut off";
}

TEST(CabinetSignature, AFaultInTheRecordIsNamed)
{
    MemoryFiles files = signedSet(build({}, 100));
    std::vector<std::uint8_t> &bytes = files.files["out.cab"];
    struct Case {
        std::size_t at;  // within the record
        cabsig::Verdict verdict;
    } cases[] = {
        {0, cabsig::Verdict::Unsigned},       {4, cabsig::Verdict::UnknownRecord},
        {5, cabsig::Verdict::UnknownRecord},  {6, cabsig::Verdict::OtherKey},
        {22, cabsig::Verdict::UnknownRecord}, {24, cabsig::Verdict::Altered},
    };
    for (const Case &c : cases) {
        bytes[40 + c.at] ^= 0x01;
        EXPECT_EQ(verify(files), c.verdict) << "record byte " << c.at;
        bytes[40 + c.at] ^= 0x01;
    }
    MemoryFiles unsignedFiles;
    unsignedFiles.files["out.cab"] = build({}, 100)[0].bytes;
    EXPECT_EQ(verify(unsignedFiles), cabsig::Verdict::Unsigned);
}

TEST(CabinetSignature, ASetIsSignedAsAWhole)
{
    cabwriter::Options options;
    options.maxCabinetSize = 20000;
    options.compression.method = cabwriter::Method::None;
    const auto images = build(options, 50000);
    ASSERT_GE(images.size(), 3u);
    MemoryFiles files = signedSet(images);
    ASSERT_EQ(verify(files), cabsig::Verdict::Good);

    std::string later;
    const std::vector<std::uint8_t> spki = publicKey("TEST-ONLY-public-key.pem");
    std::vector<std::uint8_t> &last = files.files[images.back().name];
    last[last.size() / 2] ^= 0x01;
    EXPECT_EQ(cabsig::verifySet("out.cab", spki, files, later), cabsig::Verdict::LaterAltered);
    EXPECT_EQ(later, images.back().name);
    last[last.size() / 2] ^= 0x01;

    files.files.erase(images[1].name);
    EXPECT_EQ(cabsig::verifySet("out.cab", spki, files, later), cabsig::Verdict::LaterMissing);
    EXPECT_EQ(later, images[1].name);
}

TEST(CabinetSignature, SigningMakesRoomAndKeepsTheCabinetReadable)
{
    struct Case {
        const char *what;
        std::uint16_t cabinetReserve;
        std::uint8_t folderReserve;
    } cases[] = {{"no reserve area", 0, 0}, {"a small one with folder reserves", 7, 5}};
    for (const Case &c : cases) {
        cabwriter::Options options;
        options.cabinetReserve = c.cabinetReserve;
        options.folderReserve = c.folderReserve;
        options.reserveFill = 0xEE;
        auto images = build(options, 70000);
        const enginerun::Result before = enginerun::extractSet(images);
        MemoryFiles files = signedSet(images);
        EXPECT_EQ(verify(files), cabsig::Verdict::Good) << c.what;
        images[0].bytes = files.files["out.cab"];
        const enginerun::Result after = enginerun::extractSet(images);
        ASSERT_TRUE(after.ok) << c.what;
        ASSERT_EQ(after.files.size(), before.files.size()) << c.what;
        for (std::size_t i = 0; i < after.files.size(); ++i) {
            EXPECT_EQ(after.files[i].bytes, before.files[i].bytes) << c.what;
        }
    }
}

TEST(CabinetSignature, SigningAgainReplacesTheSignatureInPlace)
{
    const auto images = build({}, 100);
    MemoryFiles once = signedSet(images);
    auto again = images;
    again[0].bytes = once.files["out.cab"];
    MemoryFiles twice = signedSet(again, "TEST-ONLY-other-signing-key.pem");
    EXPECT_EQ(twice.files["out.cab"].size(), once.files["out.cab"].size());
    EXPECT_EQ(verify(twice, "TEST-ONLY-other-public-key.pem"), cabsig::Verdict::Good);
    EXPECT_EQ(verify(twice), cabsig::Verdict::OtherKey);
}

}  // namespace
#endif
