// Stored names: what becomes a file name, what the terminal sees, which
// cabinet names are followed and which names Windows would misdirect.
#include "names/names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using cabtool::cabinetFileName;
using cabtool::convertName;
using cabtool::escapeControls;
using cabtool::windowsNameReason;

#ifndef _WIN32
TEST(StoredNames, ConvertToUtf8FileNames)
{
    const struct {
        const char *stored;
        bool utf8;
        const char *codePage;
        bool ok;
        const char *want;
    } cases[] = {
        // 0x5C as the second byte of a double-byte character stays inside it.
        {"\x83\x5C\x83\x74\x83\x67\\\x95\x5C.txt", false, "CP932", true, "ソフト\\表.txt"},
        {"\x95\x5C", false, "932", true, "表"},
        {"\x95\x5C", false, "cp932", true, "表"},
        {"caf\xE9", false, "ISO-8859-1", true, "café"},
        {"\xE8\xA1\xA8.txt", true, "CP932", true, "表.txt"},
        {"\x95\x5C", false, "raw", true, "\x95\x5C"},
        {"\xFF\x95\x5C", true, "raw", true, "\xFF\x95\x5C"},
        // What does not convert is shown as U+FFFD and must not become a file.
        {"a\x80z", false, "CP932", false, "a\xEF\xBF\xBDz"},
        {"end\x95", false, "CP932", false, "end\xEF\xBF\xBD"},
        {"bad\xC0\xAF.txt", true, "CP932", false, "bad\xEF\xBF\xBD\xEF\xBF\xBD.txt"},
        {"\xED\xA0\x80", true, "CP932", false, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto &c : cases) {
        std::string out;
        EXPECT_EQ(convertName(c.stored, c.utf8, c.codePage, out), c.ok) << c.stored;
        EXPECT_EQ(out, c.want) << c.stored;
    }
    EXPECT_TRUE(cabtool::setNameEncoding("cp932"));
    EXPECT_FALSE(cabtool::setNameEncoding("no-such-code-page"));
    EXPECT_FALSE(cabtool::setNameEncoding(""));
}
#endif

TEST(StoredNames, ControlCharactersAreShownEscaped)
{
    const struct {
        const char *text;
        const char *shown;
    } cases[] = {
        {"a\nb\rc\td", "a\\nb\\rc\\td"},
        {"\x1b[31mred", "\\x1b[31mred"},
        {"del\x7f", "del\\x7f"},
        {"docs\\表.txt", "docs\\表.txt"},
#ifndef _WIN32
        {"csi\xC2\x9B" "2J", "csi\\u009b2J"},
        {"nbsp\xC2\xA0ok", "nbsp\xC2\xA0ok"},
        {"raw\x9B\xFF", "raw\\x9b\\xff"},
#endif
    };
    for (const auto &c : cases) {
        EXPECT_EQ(escapeControls(c.text), c.shown) << c.text;
    }
}

TEST(StoredNames, NextCabinetIsLookedForByItsLastPart)
{
    const struct {
        const char *stored;
        const char *want;
    } cases[] = {
        {"DISK2.CAB", "DISK2.CAB"},
        {"../../../../etc/hostname", "hostname"},
        {"/dev/zero", "zero"},
        {"C:\\set\\b.cab", "b.cab"},
#ifndef _WIN32
        {"set\\\x95\x5C.cab", "表.cab"},
        {"bad\x80.cab", ""},
#endif
        {"..", ""},
        {"sub/.", ""},
        {"sub\\", ""},
        {"", ""},
    };
#ifndef _WIN32
    ASSERT_TRUE(cabtool::setNameEncoding("CP932"));
#endif
    for (const auto &c : cases) {
        std::string why;
        EXPECT_EQ(cabinetFileName(c.stored, why), c.want) << c.stored;
        EXPECT_EQ(why.empty(), *c.want != '\0') << c.stored;
    }
}

TEST(StoredNames, WindowsDevicesAndDroppedEndingsAreRefused)
{
    const char *refused[] = {
        "nul.txt", "sub\\AUX", "COM1.log", "trail. ", "trail.", "a/con/b.txt", "Lpt9", "prn.tar.gz",
        "NUL .txt", "conin$", "CONOUT$.x", "COM\xC2\xB9", "lpt\xC2\xB3.txt", "dir \\x.txt",
    };
    const char *allowed[] = {
        "nul_.txt", "COM10", "COM0", "LPT", "console.txt", "xaux", "a.b.c", ".hidden", "sub\\.\\x", "表示.txt",
    };
    for (const char *name : refused) {
        EXPECT_FALSE(windowsNameReason(name).empty()) << name;
    }
    for (const char *name : allowed) {
        EXPECT_TRUE(windowsNameReason(name).empty()) << name;
    }
}

}  // namespace
