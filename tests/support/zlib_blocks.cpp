#include "support/zlib_blocks.h"

#include <zlib.h>

#include <algorithm>

namespace testsupport {

std::vector<std::vector<std::uint8_t>> zlibMszipBlocks(const std::vector<std::uint8_t> &data, int level,
                                                       int strategy)
{
    constexpr std::size_t kBlock = 32768;
    std::vector<std::vector<std::uint8_t>> blocks;
    for (std::size_t offset = 0; offset < data.size(); offset += kBlock) {
        const std::size_t length = std::min(kBlock, data.size() - offset);
        z_stream stream{};
        deflateInit2(&stream, level, Z_DEFLATED, -15, 9, strategy);
        if (offset != 0) {
            deflateSetDictionary(&stream, data.data() + offset - kBlock, kBlock);
        }
        // deflateBound can fall short for tiny stored inputs; leave slack.
        std::vector<std::uint8_t> block(2 + deflateBound(&stream, static_cast<uLong>(length)) + 64);
        block[0] = 'C';
        block[1] = 'K';
        stream.next_in = const_cast<Bytef *>(data.data() + offset);
        stream.avail_in = static_cast<uInt>(length);
        stream.next_out = block.data() + 2;
        stream.avail_out = static_cast<uInt>(block.size() - 2);
        deflate(&stream, Z_FINISH);
        block.resize(2 + stream.total_out);
        deflateEnd(&stream);
        blocks.push_back(std::move(block));
    }
    return blocks;
}

}  // namespace testsupport
