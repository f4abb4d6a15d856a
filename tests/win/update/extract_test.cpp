#include <gtest/gtest.h>

#include "extract.h"
#include "output_path.h"
#include "update_fixture.h"

namespace {

// A launcher folder with old files, and a folder for the cabinet beside it.
class ExtractTest : public ::testing::Test {
protected:
    ExtractTest() : root_("extract"), app_(root_ / "app"), cabinets_(root_ / "cab")
    {
        MakeFolders(app_);
        MakeFolders(app_ + "\\data");
        MakeFolders(cabinets_);
        g_pProgressDlg = nullptr;
    }

    std::string App(const std::string& name) const { return app_ + "\\" + name; }
    BOOL Extract(const char* name = "Update.cab")
    {
        return ExtractCabinet((cabinets_ + "\\" + name).c_str(), (app_ + "\\").c_str());
    }
    void Old(const std::string& name, const std::string& bytes) { ASSERT_TRUE(WriteTextFile(App(name), bytes)); }

    ScratchFolder root_;
    std::string app_;
    std::string cabinets_;
};

FILETIME StoredAsUtc(WORD date, WORD time)
{
    FILETIME local = {};
    FILETIME utc = {};
    DosDateTimeToFileTime(date, time, &local);
    LocalFileTimeToFileTime(&local, &utc);
    return utc;
}

FILETIME LastWrite(const std::string& path)
{
    FILETIME written = {};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    return written;
}

TEST_F(ExtractTest, WritesEveryFileWholeWithItsStoredTimeAndAttributes)
{
    Old("LAUNCH.INI", std::string(5000, 'o'));  // longer than its replacement
    Old("launch.exe", "old program");
    const std::vector<StoredFile> files = {
        {"launch.exe", NoiseBytes(100000, 1), 0x20, 0x5A87, 0x6B2E},
        {"LAUNCH.INI", "[LAUNCH]\r\n", 0x20, 0x4E21, 0x0000},
        {"readme.txt", "read me", 0x21, 0x5A87, 0x6B2E},
        {"data\\items.dat", "items", 0x40, 0x5A87, 0x6B2E},  // "run after extraction" has no effect
        {"empty.txt", "", 0x20, 0x5A87, 0x6B2E},
    };
    ASSERT_TRUE(WriteCabinet(cabinets_, "Update.cab", files));

    ASSERT_TRUE(Extract());
    for (const StoredFile& f : files) {
        EXPECT_EQ(ReadFileBytes(App(f.name)), f.bytes) << f.name;
        const FILETIME expected = StoredAsUtc(f.date, f.time);
        const FILETIME written = LastWrite(App(f.name));
        EXPECT_EQ(CompareFileTime(&written, &expected), 0) << f.name;
        // The file system keeps read-only for certain; the other bits depend on it.
        EXPECT_EQ(GetFileAttributesA(App(f.name).c_str()) & FILE_ATTRIBUTE_READONLY,
                  f.attributes & FILE_ATTRIBUTE_READONLY)
            << f.name;
    }
    EXPECT_EQ(CountTemporaryFiles(app_), 0);
    EXPECT_EQ(CountTemporaryFiles(app_ + "\\data"), 0);
    SetFileAttributesA(App("readme.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Whatever stops an update, every old file stays as it was, nothing is
// written outside the folder and no temporary file remains.
TEST_F(ExtractTest, AFailedUpdateLeavesEveryOldFileAndNothingElse)
{
    struct Case {
        const char* what;
        const char* failing;      // the name that makes the update fail
        bool readOnlyOld;         // the old file of that name is read-only
    };
    const Case cases[] = {
        {"read-only destination", "second.txt", true},
        {"climbs out", "..\\second.txt", false},
        {"device name", "nul.txt", false},
        {"device folder", "con\\second.txt", false},
        {"drive letter", "C:second.txt", false},
        {"stream", "second.txt:hidden", false},
        {"missing folder", "nowhere\\second.txt", false},
        {"path too long", nullptr, false},
    };
    const std::string tooLong = std::string(kOutputPathSize - app_.size() - 1, 'n');  // joined: 256 characters
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Old("first.txt", "old first");
        Old("second.txt", "old second");
        Old("third.txt", "old third");
        if (c.readOnlyOld)
            SetFileAttributesA(App("second.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        const std::string failing = c.failing != nullptr ? c.failing : tooLong;
        ASSERT_TRUE(WriteCabinet(cabinets_, "Update.cab",
                                 {{"first.txt", "new first"}, {failing, "new second"}, {"third.txt", "new third"}}));

        EXPECT_FALSE(Extract());
        EXPECT_EQ(ReadFileBytes(App("first.txt")), "old first");
        EXPECT_EQ(ReadFileBytes(App("second.txt")), "old second");
        EXPECT_EQ(ReadFileBytes(App("third.txt")), "old third");
        EXPECT_EQ(GetFileAttributesA((root_ / "second.txt").c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(CountTemporaryFiles(app_), 0);
        SetFileAttributesA(App("second.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// A destination that another program holds open, letting others write it but
// not rename it, refuses only when the new files are put in place: those
// already moved go back, with their times.
TEST_F(ExtractTest, ADestinationThatRefusesTheMovePutsBackTheFilesMovedBeforeIt)
{
    Old("first.txt", "old first");
    Old("data\\second.txt", "old second");
    Old("third.txt", "old third");
    const FILETIME firstWritten = LastWrite(App("first.txt"));
    ASSERT_TRUE(WriteCabinet(cabinets_, "Update.cab",
                             {{"first.txt", "new first"}, {"data\\second.txt", "new second"},
                              {"new.txt", "brand new"}, {"third.txt", "new third"}}));
    HANDLE held = CreateFileA(App("third.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    EXPECT_FALSE(Extract());
    CloseHandle(held);
    EXPECT_EQ(ReadFileBytes(App("first.txt")), "old first");
    EXPECT_EQ(ReadFileBytes(App("data\\second.txt")), "old second");
    EXPECT_EQ(ReadFileBytes(App("third.txt")), "old third");
    EXPECT_EQ(ReadFileBytes(App("new.txt")), "<missing>");
    const FILETIME written = LastWrite(App("first.txt"));
    EXPECT_EQ(CompareFileTime(&written, &firstWritten), 0);
    EXPECT_EQ(CountTemporaryFiles(app_), 0);
    EXPECT_EQ(CountTemporaryFiles(app_ + "\\data"), 0);
    EXPECT_EQ(ReadFileBytes(App("update.jnl")), "<missing>");
}

TEST_F(ExtractTest, ADamagedFileKeepsItsOldVersionAndLeavesNoTemporaryFile)
{
    Old("big.bin", "old big");
    ASSERT_TRUE(WriteCabinet(cabinets_, "Update.cab", {{"big.bin", NoiseBytes(200000, 7)}}));
    // Spoil a byte in the last data block: its checksum no longer matches,
    // after earlier blocks have been written.
    const std::string cabinet = cabinets_ + "\\Update.cab";
    std::string bytes = ReadFileBytes(cabinet);
    bytes[bytes.size() - 10] ^= 0x55;
    ASSERT_TRUE(WriteTextFile(cabinet, bytes));

    EXPECT_FALSE(Extract());
    EXPECT_EQ(ReadFileBytes(App("big.bin")), "old big");
    EXPECT_EQ(CountTemporaryFiles(app_), 0);
}

TEST_F(ExtractTest, MissingOrForeignCabinetsFail)
{
    EXPECT_FALSE(Extract());
    ASSERT_TRUE(WriteTextFile(cabinets_ + "\\Update.cab", std::string(100, 'x')));
    EXPECT_FALSE(Extract());
}

TEST_F(ExtractTest, ASetWritesTheFilesThatBeginInTheFirstCabinetAndEndsWhenTheNextIsMissing)
{
    const std::vector<StoredFile> files = {
        {"a.bin", NoiseBytes(30000, 1)}, {"b.bin", NoiseBytes(60000, 2)}, {"c.bin", NoiseBytes(60000, 3)}};
    ASSERT_TRUE(WriteCabinet(cabinets_, "Update.cab", files, 50000));
    ASSERT_NE(GetFileAttributesA((cabinets_ + "\\Update2.cab").c_str()), INVALID_FILE_ATTRIBUTES);

    EXPECT_TRUE(Extract());
    EXPECT_EQ(ReadFileBytes(App("a.bin")), files[0].bytes);
    EXPECT_EQ(ReadFileBytes(App("b.bin")), files[1].bytes);  // goes on into the second cabinet
    EXPECT_EQ(ReadFileBytes(App("c.bin")), "<missing>");     // begins in the second

    DeleteFileA(App("b.bin").c_str());
    DeleteFileA((cabinets_ + "\\Update2.cab").c_str());
    EXPECT_FALSE(Extract());  // and returns instead of asking for ever
    EXPECT_EQ(ReadFileBytes(App("b.bin")), "<missing>");
    EXPECT_EQ(CountTemporaryFiles(app_), 0);
}

} // namespace
