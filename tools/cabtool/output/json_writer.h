// A small JSON writer: objects, arrays, strings, numbers, true, false and
// null, indented two spaces a level. Every string comes out as valid JSON
// whatever bytes it is given.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace cabtool {

// Text as a JSON string literal, quotes included. The text is read as UTF-8:
// a byte that does not belong to a well-formed sequence becomes U+FFFD.
// Quotes and backslashes are escaped, and so are the control characters
// (U+0000 to U+001F, U+007F to U+009F) as \u00XX, so that no terminal acts on them.
std::string jsonString(const std::string &text);

class JsonWriter {
public:
    explicit JsonWriter(std::FILE *out) : out_(out) {}

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }
    // The name of the next member of the object being written.
    void key(const char *name);

    void string(const std::string &text);
    void number(std::uint64_t value);
    void boolean(bool value);
    void null();

    // A member: its key and a value.
    void member(const char *name, std::uint64_t value)
    {
        key(name);
        number(value);
    }
    void member(const char *name, const std::string &text)
    {
        key(name);
        string(text);
    }

    // After the outermost value: its closing line end.
    void finish();

private:
    void open(char bracket);
    void close(char bracket);
    void beforeValue();
    void newline();

    std::FILE *out_;
    std::vector<bool> empty_;  // per open level: nothing written in it yet
    bool afterKey_ = false;
};

}  // namespace cabtool
