// Every string of the JSON listing is valid JSON and safe on a terminal,
// whatever bytes a cabinet stores.
#include "json_writer.h"

#include <gtest/gtest.h>

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

}  // namespace
