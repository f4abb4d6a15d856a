// Writes seed inputs for lzx_fuzz made by the writer's LZX encoder: mixed
// folders (text, CALL-heavy code, noise, records) for several windows and
// every kind of block, some followed by a reset and a second folder, in the
// target's framing (see lzx_fuzz.cpp).
//   make_lzx_writer_seeds OUTPUT_FOLDER
#include "host/lzx_writer/lzx_corpus.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using cabwriter::LzxBlocks;

// Appends one folder: every data block with its frame size, the first one
// resetting the decoder when asked.
bool appendFolder(Bytes &seed, const Bytes &stream, const cabwriter::LzxSettings &settings, bool reset)
{
    std::string error;
    std::vector<cabwriter::EncodedBlock> blocks;
    if (!lzxcorpus::encodeFolder(settings, stream, blocks, error)) {
        std::fprintf(stderr, "encoder: %s\n", error.c_str());
        return false;
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const cabwriter::EncodedBlock &block = blocks[i];
        seed.push_back(reset && i == 0 ? 1 : 0);
        seed.push_back(static_cast<std::uint8_t>(block.uncompressed & 0xFF));
        seed.push_back(static_cast<std::uint8_t>(block.uncompressed >> 8));
        seed.push_back(static_cast<std::uint8_t>(block.data.size() & 0xFF));
        seed.push_back(static_cast<std::uint8_t>(block.data.size() >> 8));
        seed.insert(seed.end(), block.data.begin(), block.data.end());
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    std::error_code ignored;
    std::filesystem::create_directories(argv[1], ignored);
    const Bytes stream = lzxcorpus::mixed(20000);
    const Bytes second = corpus::prose(5000, 6);
    const struct {
        const char *name;
        LzxBlocks blocks;
        std::uint32_t blockLength;
    } kinds[] = {{"chosen", LzxBlocks::Chosen, 0},         {"chosen_inside", LzxBlocks::Chosen, 5001},
                 {"verbatim", LzxBlocks::Verbatim, 12345}, {"aligned", LzxBlocks::Aligned, 0},
                 {"uncompressed", LzxBlocks::Uncompressed, 777}};
    int written = 0;
    for (unsigned windowBits : {15u, 16u, 18u, 21u}) {
        for (const auto &kind : kinds) {
            cabwriter::LzxSettings settings;
            settings.windowBits = windowBits;
            settings.blocks = kind.blocks;
            settings.blockLength = kind.blockLength;
            settings.callTranslation = windowBits != 18;
            Bytes seed{static_cast<std::uint8_t>(windowBits - 15)};
            if (!appendFolder(seed, stream, settings, false) ||
                (written % 2 == 1 && !appendFolder(seed, second, settings, true))) {
                return 1;
            }
            const std::string path =
                std::string(argv[1]) + "/writer_w" + std::to_string(windowBits) + "_" + kind.name;
            std::FILE *file = std::fopen(path.c_str(), "wb");
            if (file == nullptr || std::fwrite(seed.data(), 1, seed.size(), file) != seed.size() ||
                std::fclose(file) != 0) {
                std::perror(path.c_str());
                return 1;
            }
            ++written;
        }
    }
    std::printf("%d seeds written to %s\n", written, argv[1]);
    return 0;
}
