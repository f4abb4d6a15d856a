// The benchmarks' corpus: 64 MiB of seeded mixed data, the same in every run.
#include "corpus.h"

#include <cstring>
#include <random>
#include <string>

namespace bench {

namespace {

constexpr std::size_t kSegment = 1u << 20;  // the corpus switches kind every segment

void appendText(Bytes &out, std::size_t size, std::mt19937 &rng)
{
    static const char *const words[] = {
        "the",    "of",      "and",      "to",      "in",       "a",       "is",      "that",   "for",
        "it",     "as",      "was",      "with",    "be",       "by",      "on",      "not",    "he",
        "cabinet", "folder", "launcher", "window",  "registry", "setting", "program", "update", "group",
        "icon",   "shortcut", "position", "display", "message",  "return",  "value",   "string", "buffer",
        "length", "offset",  "header",   "version", "compressed", "stream", "history", "table",  "entry"};
    constexpr std::size_t wordCount = sizeof words / sizeof words[0];
    const std::size_t end = out.size() + size;
    while (out.size() < end) {
        // Zipf-like: short common words far more often than the rest.
        const double u = std::uniform_real_distribution<double>(0.0, 1.0)(rng);
        const std::size_t index = static_cast<std::size_t>(u * u * u * wordCount) % wordCount;
        const char *word = words[index];
        out.insert(out.end(), word, word + std::strlen(word));
        const unsigned r = rng() % 100;
        if (r < 6) {
            out.push_back(',');
        } else if (r < 10) {
            out.push_back('.');
        } else if (r < 12) {
            const std::string number = std::to_string(rng() % 100000);
            out.push_back(' ');
            out.insert(out.end(), number.begin(), number.end());
        }
        out.push_back(r % 17 == 0 ? '\n' : ' ');
    }
    out.resize(end);
}

void appendBinary(Bytes &out, std::size_t size, std::mt19937 &rng)
{
    const std::size_t end = out.size() + size;
    std::uint32_t counter = rng();
    while (out.size() < end) {
        switch (rng() % 4) {
        case 0: {  // table of records with slowly changing fields
            for (int i = 0; i < 32; ++i) {
                counter += rng() % 8;
                const std::uint32_t record[4] = {counter, counter ^ 0x5A5A, static_cast<std::uint32_t>(rng() % 64),
                                                 0};
                const auto *bytes = reinterpret_cast<const std::uint8_t *>(record);
                out.insert(out.end(), bytes, bytes + sizeof record);
            }
            break;
        }
        case 1:  // padding
            out.insert(out.end(), rng() % 512, 0);
            break;
        case 2: {  // sampled waveform, 16-bit
            double phase = 0;
            const double step = 0.01 + (rng() % 100) / 2000.0;
            for (int i = 0; i < 256; ++i) {
                phase += step;
                const auto sample = static_cast<std::int16_t>(8000 * (phase - static_cast<int>(phase)) +
                                                              static_cast<int>(rng() % 16));
                out.push_back(static_cast<std::uint8_t>(sample));
                out.push_back(static_cast<std::uint8_t>(sample >> 8));
            }
            break;
        }
        default: {  // instruction-like bytes drawn from a small skewed alphabet
            static const std::uint8_t common[] = {0x8B, 0x89, 0x45, 0xFC, 0xE8, 0x00, 0xFF, 0x83,
                                                  0xC4, 0x04, 0x50, 0x51, 0x52, 0x5D, 0xC3, 0x74};
            for (int i = 0; i < 512; ++i) {
                out.push_back(rng() % 5 == 0 ? static_cast<std::uint8_t>(rng()) : common[rng() % 16]);
            }
            break;
        }
        }
    }
    out.resize(end);
}

void appendRandom(Bytes &out, std::size_t size, std::mt19937 &rng)
{
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(static_cast<std::uint8_t>(rng()));
    }
}

}  // namespace

const Bytes &corpus()
{
    static const Bytes built = [] {
        Bytes out;
        std::mt19937 rng(20261207);
        out.reserve(kCorpusSize);
        for (std::size_t segment = 0; out.size() < kCorpusSize; ++segment) {
            // Text and binary-like data dominate, as in a real update; a tenth is incompressible.
            const unsigned kind = segment % 10;
            if (kind < 5) {
                appendText(out, kSegment, rng);
            } else if (kind < 9) {
                appendBinary(out, kSegment, rng);
            } else {
                appendRandom(out, kSegment, rng);
            }
        }
        out.resize(kCorpusSize);
        return out;
    }();
    return built;
}

}  // namespace bench
