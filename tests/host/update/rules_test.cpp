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
    struct Case {
        const char* name;
        bool safe;
    };
    const Case cases[] = {
        {"launch.exe", true},
        {"data\\items.dat", true},
        {"a/b.txt", true},
        {"console.txt", true},
        {"com10", true},
        {"lpt0.txt", true},
        {"nul_file", true},
        {"...txt", true},
        // A double-byte character whose second byte is 0x5C is no separator.
        {"\x95\x5C.txt", true},
        {"\x95\x5C\\..", false},
        {"", false},
        {"\\root.txt", false},
        {"/root.txt", false},
        {"C:evil.txt", false},
        {"C:\\evil.txt", false},
        {"file.txt:stream", false},
        {"..\\evil.txt", false},
        {"a\\..\\..\\evil.txt", false},
        {"a/../evil.txt", false},
        {". .\\evil.txt", false},
        {"a\\\\b.txt", false},
        {"folder\\", false},
        {"nul.txt", false},
        {"NUL", false},
        {"con", false},
        {"Prn.log", false},
        {"aux.tar.gz", false},
        {"com1", false},
        {"LPT9.txt", false},
        {"sub\\con\\file.txt", false},
        {"nul .txt", false},
        {"conout$", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsSafeStoredName(c.name), c.safe) << c.name;
}

TEST(StoredNames, EveryDeviceNameIsRefusedBareAndWithAnExtension)
{
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
