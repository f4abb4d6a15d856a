// Writes seed inputs for quantum_fuzz into a folder: folders of a few frames
// made by the writer's Quantum encoder, for window exponents across the whole
// range, with the window in memory and paged, in quantum_fuzz's input layout.
// Long enough frames drive the models through rescaling and reordering.
//
// Usage: make_quantum_seeds FOLDER
#include "encoder.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Frame sizes the fuzz layout can owe: multiples of 257 up to 127 of them, or 32768.
constexpr std::uint32_t kSizeUnit = 257;
constexpr std::uint32_t kFullFrame = 32768;

// Text-like bytes with a share of incompressible runs.
Bytes content(std::size_t size, std::uint32_t seed, unsigned noisePercent)
{
    static const char *const words[] = {"window ", "frame ", "model ", "slot ", "page ", "cabinet ", "\r\n"};
    Bytes out;
    std::uint32_t x = seed * 2654435761u + 7;
    while (out.size() < size) {
        x = x * 1103515245u + 12345u;
        if ((x >> 16) % 100 < noisePercent) {
            for (int i = 0; i < 24 && out.size() < size; ++i) {
                x = x * 1103515245u + 12345u;
                out.push_back(static_cast<std::uint8_t>(x >> 23));
            }
            continue;
        }
        for (const char *w = words[(x >> 20) % 7]; *w != '\0' && out.size() < size; ++w) {
            out.push_back(static_cast<std::uint8_t>(*w));
        }
    }
    return out;
}

struct Frame {
    std::uint32_t size;
    bool resetFirst;
};

// One fuzz input: the setup byte, then each frame's control byte, length and block.
bool folderInput(unsigned windowBits, bool paged, const std::vector<Frame> &frames, unsigned noisePercent,
                 Bytes &input)
{
    input.assign(1, static_cast<std::uint8_t>((windowBits - 10) | (paged ? 0x10 : 0)));
    std::string error;
    std::unique_ptr<cabwriter::BlockEncoder> encoder;
    std::uint32_t seed = windowBits * 31 + noisePercent;
    for (const Frame &frame : frames) {
        if (!encoder || frame.resetFirst) {
            encoder = cabwriter::makeQuantumEncoder(windowBits, error);
            if (!encoder) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return false;
            }
        }
        const Bytes data = content(frame.size, ++seed, noisePercent);
        Bytes block;
        if (!encoder->encodeBlock(data.data(), frame.size, block, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return false;
        }
        const unsigned units = frame.size == kFullFrame ? 0 : frame.size / kSizeUnit;
        input.push_back(static_cast<std::uint8_t>(units << 1 | (frame.resetFirst ? 1 : 0)));
        input.push_back(static_cast<std::uint8_t>(block.size()));
        input.push_back(static_cast<std::uint8_t>(block.size() >> 8));
        input.insert(input.end(), block.begin(), block.end());
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_quantum_seeds FOLDER\n");
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    // Small frames, a reset between folders, and a full frame after them.
    const std::vector<Frame> shortFrames = {{3 * kSizeUnit, false}, {20 * kSizeUnit, false}, {7 * kSizeUnit, true},
                                            {kSizeUnit, false}};
    const std::vector<Frame> longFrames = {{kFullFrame, false}, {100 * kSizeUnit, false}};
    int written = 0;
    for (unsigned bits = 10; bits <= 21; bits += 1) {
        for (bool paged : {false, true}) {
            const bool isLong = bits % 3 == 0;
            Bytes input;
            if (!folderInput(bits, paged, isLong ? longFrames : shortFrames, bits % 2 == 0 ? 5 : 25, input)) {
                return 1;
            }
            const std::string name =
                std::string(argv[1]) + "/w" + std::to_string(bits) + (paged ? "-paged" : "") + (isLong ? "-long" : "");
            std::ofstream out(name, std::ios::binary);
            out.write(reinterpret_cast<const char *>(input.data()), static_cast<std::streamsize>(input.size()));
            if (!out) {
                std::perror(name.c_str());
                return 1;
            }
            ++written;
        }
    }
    std::printf("%d seeds written\n", written);
    return 0;
}
