// Writes seed inputs for quantum_fuzz into a folder: folders of a few frames
// for several window sizes, with the window in memory and paged, made with the
// hand-made frame encoder of the tests.
//
// Usage: make_quantum_seeds FOLDER
#include "support/quantum_frames.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Text-like frames: words as literals, repeats as matches of every kind.
Bytes folderInput(unsigned windowBits, bool paged, std::uint32_t seed)
{
    static const char *const words[] = {"window ", "frame ", "model ", "slot ", "page ", "\r\n"};
    testsupport::TestEncoder encoder(windowBits);
    Bytes input{static_cast<std::uint8_t>((windowBits - 10) | (paged ? 0x10 : 0))};
    Bytes history;
    std::uint32_t x = seed * 2654435761u + 7;
    for (int frame = 0; frame < 3; ++frame) {
        const std::size_t start = history.size();
        // The fuzz layout owes multiples of 257 bytes.
        const std::size_t frameSize = 257 * (3 + 4 * static_cast<std::size_t>(frame));
        while (history.size() - start < frameSize) {
            x = x * 1103515245u + 12345u;
            const std::uint32_t pick = (x >> 16) % 10;
            const std::uint32_t length = pick < 6 ? 3 + pick % 3 + (pick == 5 ? 40 : 0) : 0;
            const std::uint32_t distance = 1 + (x >> 8) % 300;
            if (length != 0 && distance <= history.size() && history.size() - start + length <= frameSize) {
                encoder.match(length, distance);
                for (std::uint32_t i = 0; i < length; ++i) {
                    history.push_back(history[history.size() - distance]);
                }
                continue;
            }
            for (const char *w = words[(x >> 20) % 6]; *w != '\0' && history.size() - start < frameSize; ++w) {
                encoder.literal(static_cast<std::uint8_t>(*w));
                history.push_back(static_cast<std::uint8_t>(*w));
            }
        }
        const Bytes block = encoder.finish();
        input.push_back(static_cast<std::uint8_t>(frameSize / 257 << 1));
        input.push_back(static_cast<std::uint8_t>(block.size()));
        input.push_back(static_cast<std::uint8_t>(block.size() >> 8));
        input.insert(input.end(), block.begin(), block.end());
    }
    return input;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_quantum_seeds FOLDER\n");
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    int written = 0;
    for (unsigned bits : {10u, 14u, 16u, 21u}) {
        for (bool paged : {false, true}) {
            const Bytes input = folderInput(bits, paged, bits);
            const std::string name = std::string(argv[1]) + "/w" + std::to_string(bits) + (paged ? "-paged" : "");
            std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char *>(input.data()),
                                                        static_cast<std::streamsize>(input.size()));
            ++written;
        }
    }
    std::printf("%d seeds written\n", written);
    return 0;
}
