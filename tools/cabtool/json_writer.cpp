#include "json_writer.h"

#include <cinttypes>

namespace cabtool {

namespace {

// Length of the well-formed UTF-8 sequence at text[at], or 0.
std::size_t sequenceLength(const std::string &text, std::size_t at)
{
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;  // the range of the second byte
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

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
        const std::size_t length = sequenceLength(text, at);
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
