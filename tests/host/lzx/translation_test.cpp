// The CALL translation: undone on each frame's output while the folder's
// header asked for it, for the first 32768 frames only.
#include "lzx_decoder_fixture.h"
#include "lzx.h"

#include <gtest/gtest.h>

using namespace lzxtest;

namespace {

Bytes call(std::uint32_t value)
{
    return {0xE8, static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes &part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

struct Case {
    const char *what;
    Bytes in;
    std::uint32_t position;
    Bytes out;
};

TEST(LzxTranslation, RewritesCallTargetsOutsideTheFramesLastSixBytes)
{
    const std::uint32_t size = 12000000;
    const std::vector<Case> cases = {
        {"absolute target below the size becomes relative", concat({Bytes(10, 0x90), call(1000), Bytes(10, 0x90)}), 490,
         concat({Bytes(10, 0x90), call(500), Bytes(10, 0x90)})},
        {"negative target within reach gets the size added", concat({call(0u - 100), Bytes(10, 0)}), 100,
         concat({call(size - 100), Bytes(10, 0)})},
        {"negative target beyond reach stays", concat({call(0u - 101), Bytes(10, 0)}), 100,
         concat({call(0u - 101), Bytes(10, 0)})},
        {"target at the size stays", concat({call(size), Bytes(10, 0)}), 0, concat({call(size), Bytes(10, 0)})},
        {"the value's own 0xE8 bytes start nothing", concat({call(0xE8E8E8E8), call(7), Bytes(6, 0)}), 0,
         concat({call(0xE8E8E8E8), call(7 - 5), Bytes(6, 0)})},
        {"last start allowed: value runs into the last six bytes", concat({Bytes(3, 0), call(9), Bytes(2, 0)}), 0,
         concat({Bytes(3, 0), call(9 - 3), Bytes(2, 0)})},
        {"0xE8 among the last six bytes", concat({Bytes(4, 0), call(9), Bytes(1, 0)}), 0,
         concat({Bytes(4, 0), call(9), Bytes(1, 0)})},
        {"frame shorter than six bytes", call(3), 0, call(3)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes data = c.in;
        std::uint32_t position = c.position;
        lzxUntranslateCalls(data.data(), static_cast<std::uint32_t>(data.size()), size, position);
        EXPECT_EQ(data, c.out);
        EXPECT_EQ(position, c.position + c.in.size());
    }
}

// Frames of 16 bytes, each "E8 00 00 00 00" then filler, from one long
// uncompressed block: a translated frame shows minus its call's position.
TEST(LzxTranslation, StopsAfter32768FramesAndCountsOnlyTranslatedOutput)
{
    const std::uint32_t frames = kLzxTranslatedFrames + 1;
    Bytes frame = concat({call(0), Bytes(11, 0x90)});
    Bytes data;
    data.reserve(frames * 16);
    for (std::uint32_t i = 0; i < frames; ++i) {
        data.insert(data.end(), frame.begin(), frame.end());
    }
    StreamBuilder b(15);
    b.translation(1 << 30);
    b.uncompressedBlock(data, 1, 1, 1);
    const Bytes stream = b.endFrame();
    const std::size_t header = stream.size() - data.size();

    LzxDecoder decoder(15);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const std::size_t from = i == 0 ? 0 : header + 16 * i;
        const Bytes block(stream.begin() + static_cast<std::ptrdiff_t>(from),
                          stream.begin() + static_cast<std::ptrdiff_t>(header + 16 * (i + 1)));
        Bytes out;
        ASSERT_EQ(decoder.frame(block, 16, out), DecoderResult::Ok) << "frame " << i;
        const std::uint32_t expected = i < kLzxTranslatedFrames ? 0u - 16 * i : 0;
        const Bytes want = concat({call(expected), Bytes(11, 0x90)});
        if (i < 2 || i + 2 >= frames) {
            EXPECT_EQ(out, want) << "frame " << i;
        } else if (out != want) {
            FAIL() << "frame " << i;
        }
    }
}

TEST(LzxTranslation, HeaderSayingNoTranslationLeavesCallsAlone)
{
    const Bytes data = concat({Bytes(10, 0x90), call(1000), Bytes(10, 0)});
    for (std::uint32_t size : {0u, 12000000u}) {
        StreamBuilder b(15);
        b.translation(size);
        b.uncompressedBlock(data, 1, 1, 1);
        LzxDecoder decoder(15);
        const Bytes out = decoder.frame(b.endFrame(), 25);
        EXPECT_EQ(out, size == 0 ? data : concat({Bytes(10, 0x90), call(990), Bytes(10, 0)}));
    }
}

}  // namespace
