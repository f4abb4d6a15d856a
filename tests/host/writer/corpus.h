// Deterministic test data for the writer's tests.
#pragma once

#include <cabinet/writer.h>

#include <cstdint>
#include <string>
#include <vector>

namespace corpus {

// Bytes that deflate cannot shrink.
inline std::vector<std::uint8_t> noise(std::size_t size, std::uint32_t seed)
{
    std::vector<std::uint8_t> out(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto &b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return out;
}

// Text-like bytes that compress well but not to nothing.
inline std::vector<std::uint8_t> prose(std::size_t size, std::uint32_t seed)
{
    static const char *const words[] = {"launcher ", "group ", "icon ", "cabinet ", "folder ", "update ",
                                        "\r\n", "item ", "shortcut ", "skin "};
    std::vector<std::uint8_t> out;
    out.reserve(size);
    std::uint32_t x = seed + 7;
    while (out.size() < size) {
        x = x * 1103515245u + 12345u;
        const char *w = words[(x >> 16) % 10];
        for (const char *p = w; *p != '\0' && out.size() < size; ++p) {
            out.push_back(static_cast<std::uint8_t>(*p));
        }
    }
    return out;
}

// prefix followed by n; built by appending, which one cross compiler's
// overlap warning does not misread the way it misreads literal + string.
inline std::string numbered(const char *prefix, std::size_t n)
{
    std::string text(prefix);
    text += std::to_string(n);
    return text;
}

struct Entry {
    cabwriter::FileInfo info;
    std::vector<std::uint8_t> bytes;
};

inline Entry file(const std::string &name, std::vector<std::uint8_t> bytes, std::uint16_t attributes = 0x20)
{
    Entry e;
    e.info.name = name;
    e.info.date = cabwriter::dosDate(2026, 12, 7);
    e.info.time = cabwriter::dosTime(9, static_cast<int>(name.size() % 60), 42);
    e.info.attributes = attributes;
    e.bytes = std::move(bytes);
    return e;
}

}  // namespace corpus
