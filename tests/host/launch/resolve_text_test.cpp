#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "resolve.h"

namespace {

TEST(SchemeTarget, ColonAfterTwoCharactersMakesAScheme)
{
    for (const char* scheme : {"http://www.example.invalid/", "mailto:someone@example.invalid", "ab:c",
                               "\\\\server\\share:x"})
        EXPECT_TRUE(IsSchemeTarget(scheme)) << scheme;
    for (const char* path : {"D:\\Tools\\app.exe", "a:", ":abc", "notepad.exe", "", "C:"})
        EXPECT_FALSE(IsSchemeTarget(path)) << path;
    EXPECT_FALSE(IsSchemeTarget(nullptr));
}

TEST(SplitPath, FollowsTheRuntimeRules)
{
    struct Case {
        const char* path;
        const char* drive;
        const char* dir;
        const char* name;
        const char* ext;
    };
    const Case cases[] = {
        {"C:\\Tools\\app.exe", "C:", "\\Tools\\", "app", ".exe"},
        {"notepad.exe", "", "", "notepad", ".exe"},
        {"Tools.lnk", "", "", "Tools", ".lnk"},
        {"C:app", "C:", "", "app", ""},
        {"dir.d/file", "", "dir.d/", "file", ""},
        {"a.b.c", "", "", "a.b", ".c"},
        {"\\folder\\", "", "\\folder\\", "", ""},
        {"", "", "", "", ""},
        // 0x95 0x5C is one double-byte character whose trail byte is a backslash.
        {"C:\\x\\\x95\x5C.exe", "C:", "\\x\\", "\x95\x5C", ".exe"},
        {"\x95\x5C\\name", "", "\x95\x5C\\", "name", ""},
    };
    for (const Case& c : cases) {
        PathParts parts;
        std::memset(&parts, 'x', sizeof parts);
        SplitPath(c.path, parts);
        EXPECT_STREQ(parts.drive, c.drive) << c.path;
        EXPECT_STREQ(parts.dir, c.dir) << c.path;
        EXPECT_STREQ(parts.name, c.name) << c.path;
        EXPECT_STREQ(parts.ext, c.ext) << c.path;
    }
}

// A 0x5C after a lead byte at either end of either lead range is a trail byte;
// after the bytes just outside the ranges it is a separator.
TEST(SplitPath, TrailByteAfterEveryEdgeOfTheLeadRanges)
{
    const unsigned char leads[] = {0x81, 0x9F, 0xE0, 0xFC};
    const unsigned char others[] = {0x80, 0xA0, 0xDF, 0xFD};
    for (int i = 0; i < 4; ++i) {
        const std::string lead(1, static_cast<char>(leads[i]));
        const std::string other(1, static_cast<char>(others[i]));
        PathParts parts;
        SplitPath(("C:\\x\\" + lead + "\\.exe").c_str(), parts);
        EXPECT_STREQ(parts.dir, "\\x\\") << "lead " << int(leads[i]);
        EXPECT_STREQ(parts.name, (lead + "\\").c_str()) << "lead " << int(leads[i]);
        SplitPath(("C:\\x\\" + other + "\\.exe").c_str(), parts);
        EXPECT_STREQ(parts.dir, ("\\x\\" + other + "\\").c_str()) << "byte " << int(others[i]);
        EXPECT_STREQ(parts.name, "") << "byte " << int(others[i]);
    }
}

TEST(ProgramFolder, TakenWithDoubleByteNamesWhole)
{
    struct Case {
        const char* module;
        const char* folder;
    };
    // Names whose last character has the trail byte 0x5C: 表 (0x95 0x5C),
    // ソ (0x83 0x5C), 能 (0x94 0x5C), and the ends of both lead-byte ranges.
    const Case cases[] = {
        {"C:\\Orvel\\launch.exe", "C:\\Orvel\\"},
        {"C:\\Orvel\\\x95\x5C.exe", "C:\\Orvel\\"},
        {"C:\\Orvel\\\x83\x5C", "C:\\Orvel\\"},
        {"C:\\\x94\x5C\\\x81\x5C\x9F\x5C\xE0\x5C\xFC\x5C", "C:\\\x94\x5C\\"},
        {"\\\\server\\share\\a.exe", "\\\\server\\share\\"},
        {"launch.exe", "\\"},
        {"\\launch.exe", "\\"},
    };
    for (const Case& c : cases) {
        char folder[kTextSize];
        std::memset(folder, 'x', sizeof folder);
        ProgramFolderOf(c.module, folder);
        EXPECT_STREQ(folder, c.folder) << c.module;
    }
}

TEST(IconLocation, SplitsFileAndIndex)
{
    struct Case {
        const char* value;
        const char* file;
        long index;
    };
    const Case cases[] = {
        {"x.dll,5", "x.dll", 5},
        {"x.dll", "x.dll", 0},
        {"  C:\\a b\\x.dll ,  -3", "C:\\a b\\x.dll ", -3},
        {"x.dll,+7", "x.dll", 7},
        {"x.dll,", "x.dll", 0},
        {"x.dll,abc", "x.dll", 0},
        {"\"C:\\Program Files\\x,y.exe\",2", "C:\\Program Files\\x,y.exe", 2},
        {" \"C:\\q.exe\" , 1", "C:\\q.exe", 1},
        {"\"C:\\unclosed.exe", "C:\\unclosed.exe", 0},
        {"", "", 0},
    };
    for (const Case& c : cases) {
        IconLocation location;
        ParseIconLocation(c.value, location);
        EXPECT_STREQ(location.file, c.file) << c.value;
        EXPECT_EQ(location.index, c.index) << c.value;
    }
}

TEST(IconLocation, LongFileNameIsCut)
{
    const std::string value = std::string(400, 'f') + ",3";
    IconLocation location;
    ParseIconLocation(value.c_str(), location);
    EXPECT_EQ(std::strlen(location.file), static_cast<std::size_t>(kTextSize - 1));
    EXPECT_EQ(location.index, 3);
}

TEST(JoinText, RefusesWhatWouldNotFit)
{
    char out[kTextSize];
    EXPECT_TRUE(JoinText(out, "abc", "\\", "def"));
    EXPECT_STREQ(out, "abc\\def");

    const std::string half(130, 'a');
    EXPECT_TRUE(JoinText(out, half.c_str(), std::string(129, 'b').c_str()));
    EXPECT_EQ(std::strlen(out), 259u);
    EXPECT_FALSE(JoinText(out, half.c_str(), half.c_str()));
    EXPECT_STREQ(out, "");
}

} // namespace
