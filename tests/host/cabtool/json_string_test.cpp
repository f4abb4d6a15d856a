// Every string of the JSON listing is valid JSON and safe on a terminal,
// whatever bytes a cabinet stores; and the writer puts commas and brackets
// right however values nest.
#include "output/json_writer.h"

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
