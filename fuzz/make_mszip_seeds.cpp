// Writes seed inputs for mszip_fuzz: small folders compressed by zlib in the
// fuzz target's input layout, one file per level and strategy.
//   make_mszip_seeds OUTPUT_FOLDER
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    std::error_code made;
    std::filesystem::create_directories(argv[1], made);
    std::mt19937 rng(7);
    std::vector<std::uint8_t> data;
    const char *const words[] = {"cabinet ", "folder ", "window ", "launcher ", "a ", "the ", "\n"};
    while (data.size() < 3000) {
        if (rng() % 4 == 0) {
            data.push_back(static_cast<std::uint8_t>(rng()));
        } else {
            const std::string word = words[rng() % 7];
            data.insert(data.end(), word.begin(), word.end());
        }
    }
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    int written = 0;
    for (int level = 0; level <= 9; level += 3) {
        for (int strategy : strategies) {
            std::vector<std::uint8_t> seed;
            // Two blocks of the same folder; the second is primed with the first.
            for (std::size_t offset = 0; offset < data.size(); offset += 1500) {
                z_stream stream{};
                deflateInit2(&stream, level, Z_DEFLATED, -15, 9, strategy);
                if (offset != 0) {
                    deflateSetDictionary(&stream, data.data(), static_cast<uInt>(offset));
                }
                // deflateBound can fall short for tiny stored inputs; leave slack.
                std::vector<std::uint8_t> out(deflateBound(&stream, 1500) + 64);
                stream.next_in = data.data() + offset;
                stream.avail_in = 1500;
                stream.next_out = out.data();
                stream.avail_out = static_cast<uInt>(out.size());
                deflate(&stream, Z_FINISH);
                out.resize(stream.total_out);
                deflateEnd(&stream);
                seed.push_back(offset == 0 ? 3 : 1);  // "CK", reset before the first
                seed.push_back(static_cast<std::uint8_t>(out.size()));
                seed.push_back(static_cast<std::uint8_t>(out.size() >> 8));
                seed.insert(seed.end(), out.begin(), out.end());
            }
            const std::string path = std::string(argv[1]) + "/seed_l" + std::to_string(level) + "_s" +
                                     std::to_string(strategy);
            std::FILE *file = std::fopen(path.c_str(), "wb");
            if (file == nullptr) {
                std::perror(path.c_str());
                return 1;
            }
            std::fwrite(seed.data(), 1, seed.size(), file);
            std::fclose(file);
            ++written;
        }
    }
    std::printf("%d seeds written\n", written);
    return 0;
}
