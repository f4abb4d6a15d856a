#include "output/json_writer.h"

#include "names/names.h"

#include <cinttypes>

namespace cabtool {

namespace {

void appendEscape(std::string &out, unsigned code)
{
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", code);
    out += escape;
}

}  // namespace

std::string jsonString(const std::string &text)
{
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8SequenceLength(text, at);
        const unsigned char lead = static_cast<unsigned char>(text[at]);
        if (length == 0) {
            out += "\\ufffd";
            ++at;
            continue;
        }
        if (length == 1) {
            if (lead == '"' || lead == '\\') {
                out += '\\';
                out += static_cast<char>(lead);
            } else if (lead < 0x20 || lead == 0x7F) {
                appendEscape(out, lead);
            } else {
                out += static_cast<char>(lead);
            }
        } else if (lead == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0) {
            appendEscape(out, static_cast<unsigned char>(text[at + 1]));  // U+0080 to U+009F
        } else {
            out.append(text, at, length);
        }
        at += length;
    }
    out += '"';
    return out;
}

void JsonWriter::newline()
{
    std::fputc('\n', out_);
    for (std::size_t i = 0; i < empty_.size(); ++i) {
        std::fputs("  ", out_);
    }
}

void JsonWriter::beforeValue()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!empty_.empty()) {
        if (!empty_.back()) {
            std::fputc(',', out_);
        }
        empty_.back() = false;
        newline();
    }
}

void JsonWriter::open(char bracket)
{
    beforeValue();
    std::fputc(bracket, out_);
    empty_.push_back(true);
}

void JsonWriter::close(char bracket)
{
    const bool wasEmpty = empty_.back();
    empty_.pop_back();
    if (!wasEmpty) {
        newline();
    }
    std::fputc(bracket, out_);
}

void JsonWriter::key(const char *name)
{
    beforeValue();
    std::fprintf(out_, "%s: ", jsonString(name).c_str());
    afterKey_ = true;
}

void JsonWriter::string(const std::string &text)
{
    beforeValue();
    std::fputs(jsonString(text).c_str(), out_);
}

void JsonWriter::number(std::uint64_t value)
{
    beforeValue();
    std::fprintf(out_, "%" PRIu64, value);
}

void JsonWriter::boolean(bool value)
{
    beforeValue();
    std::fputs(value ? "true" : "false", out_);
}

void JsonWriter::null()
{
    beforeValue();
    std::fputs("null", out_);
}

void JsonWriter::finish()
{
    std::fputc('\n', out_);
}

}  // namespace cabtool
