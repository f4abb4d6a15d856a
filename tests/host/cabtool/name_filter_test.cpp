// -F patterns: wildcards stay inside one folder part, a pattern without a
// separator looks at the last part only, ASCII letters match either case, and
// the second byte of a code page 932 character is never a separator.
#include "names/name_filter.h"

#include <gtest/gtest.h>

namespace {

using cabtool::matchName;
using cabtool::NameEncoding;

struct Case {
    const char *pattern;
    const char *name;
    NameEncoding nameEncoding;
    bool matches;
};

constexpr NameEncoding kUtf8 = NameEncoding::Utf8;
constexpr NameEncoding kDbcs = NameEncoding::DoubleByte;

const Case kCases[] = {
    // No separator in the pattern: the last part of the name.
    {"*.txt", "docs\\deep\\one.txt", kDbcs, true},
    {"one.txt", "docs\\one.txt", kDbcs, true},
    {"docs", "docs\\one.txt", kDbcs, false},
    {"*.txt", "notes.txt.bak", kDbcs, false},
    {"*", "a\\b\\", kDbcs, true},  // an empty last part
    // A separator in the pattern: the whole name, '*' and '?' within one part.
    {"docs/*.txt", "docs\\one.txt", kDbcs, true},
    {"docs\\*.txt", "docs/one.txt", kDbcs, true},
    {"docs/*.txt", "docs\\deep\\one.txt", kDbcs, false},
    {"docs/*/*.txt", "docs\\deep\\one.txt", kDbcs, true},
    {"*/one.txt", "docs\\deep\\one.txt", kDbcs, false},
    {"d?cs/o*", "docs\\one.txt", kDbcs, true},
    {"docs?one.txt", "docs\\one.txt", kDbcs, false},
    {"docs/", "docs\\one.txt", kDbcs, false},
    // Case: ASCII letters only.
    {"README.TXT", "readme.txt", kDbcs, true},
    {"\xC3\x84*", "\xC3\xA4.txt", kUtf8, false},  // Ä is not folded to ä
    // '?' takes one whole character of the name's encoding.
    {"?.txt", "\x95\x5C.txt", kDbcs, true},          // 表 in code page 932
    {"??.txt", "\x95\x5C.txt", kDbcs, false},
    {"?.txt", "\xE8\xA1\xA8.txt", kUtf8, true},      // 表 in UTF-8
    {"*.txt", "\x83\x5C\x83\x74\x83\x67\\a.txt", kDbcs, true},
    {"\x83\x5C*/a.txt", "\x83\x5C\x83\x74\x83\x67\\a.txt", kDbcs, true},  // ソフト\a.txt
    // Several stars and backtracking.
    {"*a*b*c", "xaybzc", kDbcs, true},
    {"*a*b*c", "xaybzcd", kDbcs, false},
    {"a**", "a", kDbcs, true},
    {"", "", kDbcs, true},
    {"", "a", kDbcs, false},
};

TEST(NameFilter, MatchesStoredNames)
{
    for (const Case &c : kCases) {
        // Patterns in these cases are either ASCII or written in the name's encoding.
        EXPECT_EQ(matchName(c.pattern, c.nameEncoding, c.name, c.nameEncoding), c.matches)
            << "pattern \"" << c.pattern << "\" name \"" << c.name << "\"";
    }
}

TEST(NameFilter, AnyPatternSelectsAndNoneSelectsAll)
{
    cabtool::NameFilter filter;
    cabtool::Args args = {"-F", "*.bin", "x.cab", "-F", "docs/*"};
    ASSERT_TRUE(filter.take(args));
    EXPECT_EQ(args, cabtool::Args{"x.cab"});
    EXPECT_TRUE(filter.selects("a\\noise.BIN", 0));
    EXPECT_TRUE(filter.selects("docs/x", 0));
    EXPECT_FALSE(filter.selects("docs/deep/x", 0));

    cabtool::Args dangling = {"x.cab", "-F"};
    EXPECT_FALSE(cabtool::NameFilter().take(dangling));
    EXPECT_TRUE(cabtool::NameFilter().selects("anything", 0));
}

}  // namespace
