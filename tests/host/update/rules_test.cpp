#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output_path.h"
#include "percent_text.h"

namespace {

std::string PercentText(int lower, int upper, int pos)
{
    char text[16];
    FormatPercent(text, sizeof text, ProgressPercent(lower, upper, pos));
    return text;
}

TEST(ProgressPercent, TruncatesAndWrapsPastTheUpperEnd)
{
    struct Case {
        int lower, upper, pos;
        const char* shown;
    };
    const Case cases[] = {
        {0, 100, 0, "0%"},   {0, 3, 1, "33%"},  {0, 3, 3, "100%"}, {0, 7, 3, "42%"},
        {0, 7, 7, "100%"},   {0, 3, 4, "33%"},  {0, 2, 3, "50%"},  {0, 1, 2, "0%"},
        {10, 20, 15, "50%"}, {0, 65535, 65535, "100%"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PercentText(c.lower, c.upper, c.pos), c.shown) << c.lower << ".." << c.upper << " @" << c.pos;
}

TEST(StoredNames, OnlyNamesThatStayInsideTheFolderAndNameNoDeviceAreSafe)
{
    // A double-byte character whose second byte is 0x5C is no separator.
    for (const char* safe : {"launch.exe", "data\\items.dat", "a/b.txt", "console.txt", "com10", "lpt0.txt",
                             "nul_file", "...txt", "\x95\x5C.txt"})
        EXPECT_TRUE(IsSafeStoredName(safe)) << safe;
    for (const char* unsafe : {"\x95\x5C\\..", "", "\\root.txt", "/root.txt", "C:evil.txt", "C:\\evil.txt",
                               "file.txt:stream", "..\\evil.txt", "a\\..\\..\\evil.txt", "a/../evil.txt",
                               ". .\\evil.txt", "a\\\\b.txt", "folder\\", "nul.txt", "NUL", "con", "Prn.log",
                               "aux.tar.gz", "com1", "LPT9.txt", "sub\\con\\file.txt", "nul .txt", "conout$"})
        EXPECT_FALSE(IsSafeStoredName(unsafe)) << unsafe;

    // Every device name, bare and with an extension.
    std::vector<std::string> devices = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (char digit = '1'; digit <= '9'; ++digit) {
        devices.push_back(std::string("COM") + digit);
        devices.push_back(std::string("LPT") + digit);
    }
    for (const std::string& device : devices) {
        EXPECT_FALSE(IsSafeStoredName(device.c_str())) << device;
        EXPECT_FALSE(IsSafeStoredName((device + ".log").c_str())) << device;
    }
}

// After a lead byte at either end of either range the backslash is a trail
// byte, so "\.." is no part of its own; after the bytes just outside the
// ranges it is a separator and the name climbs out.
TEST(StoredNames, BackslashAfterEveryEdgeOfTheLeadRanges)
{
    struct Case {
        unsigned char first;
        bool lead;
    };
    const Case cases[] = {
        {0x80, false}, {0x81, true}, {0x9F, true}, {0xA0, false},
        {0xDF, false}, {0xE0, true}, {0xFC, true}, {0xFD, false},
    };
    for (const Case& c : cases) {
        const std::string name = std::string(1, static_cast<char>(c.first)) + "\\..\\evil.txt";
        EXPECT_EQ(IsSafeStoredName(name.c_str()), c.lead) << std::hex << int(c.first);
    }
}

TEST(OutputPath, JoinsWithNothingBetweenAndRefusesWhatDoesNotFit)
{
    char out[kOutputPathSize];
    EXPECT_EQ(JoinOutputPath(out, "C:\\PROGRA~1\\ORVEL\\", "data\\a.txt"), OutputPathStatus::Ok);
    EXPECT_STREQ(out, "C:\\PROGRA~1\\ORVEL\\data\\a.txt");

    const std::string folder = "C:\\" + std::string(200, 'f') + "\\";
    const std::string fits(kOutputPathSize - 1 - folder.size(), 'n');
    EXPECT_EQ(JoinOutputPath(out, folder.c_str(), fits.c_str()), OutputPathStatus::Ok);
    EXPECT_EQ(std::string(out), folder + fits);

    const std::string longer = fits + "x";
    EXPECT_EQ(JoinOutputPath(out, folder.c_str(), longer.c_str()), OutputPathStatus::TooLong);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(JoinOutputPath(out, "C:\\app\\", "..\\x"), OutputPathStatus::Unsafe);
    EXPECT_STREQ(out, "");
}

} // namespace
