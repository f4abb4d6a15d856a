// Every string of the JSON listing is valid JSON and safe on a terminal,
// whatever bytes a cabinet stores; stored names become UTF-8 text; and the
// writer puts commas and brackets right however values nest.
#include "json_writer.h"
#include "stored_name.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

TEST(JsonString, EscapesWhatJsonAndTerminalsNeed)
{
    const struct {
        std::string in;
        const char *out;
    } cases[] = {
        {"plain name.txt", "\"plain name.txt\""},
        {"q\"b\\s/", "\"q\\\"b\\\\s/\""},
        {std::string("nl\n\x1b[2J\x7f\0z", 10), "\"nl\\u000a\\u001b[2J\\u007f\\u0000z\""},
        {"\xC2\x85\xC2\xA0", "\"\\u0085\xC2\xA0\""},           // C1 control escaped, NBSP kept
        {"\xE8\xA1\xA8\xF0\x9F\x98\x80", "\"\xE8\xA1\xA8\xF0\x9F\x98\x80\""},
        {"\x95\x5C", "\"\\ufffd\\\\\""},                        // a lone byte, then a real backslash
        {"\xC0\xAF\xED\xA0\x80\xE8\xA1", "\"\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(cabtool::jsonString(c.in), c.out);
    }
}

TEST(StoredName, CodePage932BecomesUtf8)
{
    const struct {
        std::string stored;
        std::uint16_t attributes;
        const char *text;
    } cases[] = {
        {"\x83\x5C\x83\x74\x83\x67\\a.txt", 0, "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88\\a.txt"},  // ソフト\a.txt
        {"\xB1\xB2", 0, "\xEF\xBD\xB1\xEF\xBD\xB2"},      // half-width katakana
        {"a\x95", 0, "a\xEF\xBF\xBD"},                      // a lead byte cut off at the end
        {"\x85\x40z", 0, "\xEF\xBF\xBDz"},                 // a pair with no character
        {"\xE8\xA1\xA8", 0x80, "\xE8\xA1\xA8"},          // flagged UTF-8: left as it is
    };
    for (const auto &c : cases) {
        EXPECT_EQ(cabtool::storedNameAsUtf8(c.stored, c.attributes), c.text);
    }
}

TEST(JsonWriter, NestsWithCommasAndEmptyContainers)
{
    std::FILE *out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    cabtool::JsonWriter json(out);
    json.beginObject();
    json.member("a", 1);
    json.key("empty");
    json.beginArray();
    json.endArray();
    json.key("list");
    json.beginArray();
    json.beginObject();
    json.endObject();
    json.number(2);
    json.null();
    json.boolean(true);
    json.endArray();
    json.member("s", "x");
    json.endObject();
    json.finish();
    std::rewind(out);
    char text[256] = {};
    const std::size_t got = std::fread(text, 1, sizeof text - 1, out);
    std::fclose(out);
    EXPECT_EQ(std::string(text, got),
              "{\n  \"a\": 1,\n  \"empty\": [],\n"
              "  \"list\": [\n    {},\n    2,\n    null,\n    true\n  ],\n  \"s\": \"x\"\n}\n");
}

}  // namespace
