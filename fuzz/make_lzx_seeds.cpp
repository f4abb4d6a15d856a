// Writes the seed inputs of the LZX fuzz target into a folder: hand-built
// streams of every block type, blocks spanning frames, the translation header,
// resets between folders, in the target's framing (see lzx_fuzz.cpp).
//
// Usage: make_lzx_seeds FOLDER
#include "lzx_stream_builder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace lzxtest;

namespace {

struct Framed {
    Bytes bytes;
    explicit Framed(unsigned windowBits) { bytes.push_back(static_cast<std::uint8_t>(windowBits - 15)); }
    void block(const Bytes &data, std::uint32_t frameSize, bool reset = false)
    {
        bytes.push_back(reset ? 1 : 0);
        bytes.push_back(static_cast<std::uint8_t>(frameSize));
        bytes.push_back(static_cast<std::uint8_t>(frameSize >> 8));
        bytes.push_back(static_cast<std::uint8_t>(data.size()));
        bytes.push_back(static_cast<std::uint8_t>(data.size() >> 8));
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
};

Bytes pattern(std::size_t size, std::uint32_t seed)
{
    Bytes out(size);
    std::uint32_t x = seed | 1;
    for (auto &b : out) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>("lzx window frame "[(x >> 16) % 17]);
    }
    return out;
}

// A frame of literals and matches over the given text, a block of `length`.
void codedFrame(StreamBuilder &b, bool aligned, std::uint32_t length, std::uint32_t seed, unsigned slots)
{
    const unsigned mainCount = 256 + 8 * slots;
    if (aligned) {
        b.alignedBlock(length, {2, 3, 3, 3, 3, 3, 4, 4}, flatLengths(mainCount), flatLengths(249));
    } else {
        b.verbatimBlock(length, flatLengths(mainCount), flatLengths(249));
    }
    const Bytes text = pattern(length, seed);
    std::uint32_t done = 0;
    while (done < length) {
        const std::uint32_t left = length - done;
        if (done > 64 && left > 40 && (done & 3) == 0) {
            const std::uint32_t len = 3 + done % 37;
            b.match(len, 1 + done % 60);
            done += len;
        } else {
            b.literal(text[done]);
            ++done;
        }
    }
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_lzx_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    std::filesystem::create_directories(folder);
    std::vector<std::pair<std::string, Framed>> seeds;

    {
        Framed f(15);
        StreamBuilder b(15);
        codedFrame(b, false, 32768, 1, 30);
        f.block(b.endFrame(), 32768);
        codedFrame(b, true, 5000, 2, 30);
        f.block(b.endFrame(), 5000);
        seeds.emplace_back("verbatim-then-aligned", f);
    }
    {
        Framed f(21);
        StreamBuilder b(21);
        b.translation(12000000);
        b.uncompressedBlock(pattern(33, 3), 1, 2, 3);
        codedFrame(b, false, 31, 4, 50);
        f.block(b.endFrame(), 64);
        seeds.emplace_back("translation-uncompressed-odd", f);
    }
    {
        Framed f(16);
        for (int folder = 0; folder < 2; ++folder) {
            StreamBuilder b(16);
            codedFrame(b, folder == 1, 40, 5 + folder, 32);
            f.block(b.endFrame(), 40, folder == 1);
        }
        seeds.emplace_back("reset-between-folders", f);
    }
    {
        Framed f(17);
        StreamBuilder b(17);
        b.uncompressedBlock(pattern(32768 + 1023, 7), 1, 1, 1);
        Bytes stream = b.endFrame();
        const auto split = stream.begin() + static_cast<std::ptrdiff_t>(stream.size() - 1024);  // with the filler
        f.block(Bytes(stream.begin(), split), 32768);
        f.block(Bytes(split, stream.end()), 1023);
        seeds.emplace_back("uncompressed-spanning-frames", f);
    }

    for (const auto &[name, framed] : seeds) {
        std::ofstream out(folder / name, std::ios::binary);
        out.write(reinterpret_cast<const char *>(framed.bytes.data()), static_cast<std::streamsize>(framed.bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", name.c_str());
            return 1;
        }
    }
    return 0;
}
