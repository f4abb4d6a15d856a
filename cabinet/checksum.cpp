#include "checksum.h"

#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "words are loaded as little-endian");

std::uint32_t cabinetChecksum(const std::uint8_t *bytes, std::uint32_t count, std::uint32_t seed)
{
    // XOR is the same whichever way the words are grouped: fold 32 bytes at a
    // time into four 64-bit words, then two at a time, then the halves.
    std::uint64_t wide = 0;
    if (count >= 32) {
        std::uint64_t lanes[4] = {};
        for (std::uint32_t blocks = count / 32; blocks != 0; --blocks, bytes += 32) {
            std::uint64_t words[4];
            std::memcpy(words, bytes, 32);
            for (int i = 0; i < 4; ++i) {
                lanes[i] ^= words[i];
            }
        }
        wide = lanes[0] ^ lanes[1] ^ lanes[2] ^ lanes[3];
        count %= 32;
    }
    for (std::uint32_t pairs = count / 8; pairs != 0; --pairs, bytes += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes, 8);
        wide ^= word;
    }
    std::uint32_t sum = seed ^ static_cast<std::uint32_t>(wide) ^ static_cast<std::uint32_t>(wide >> 32);
    if ((count & 4) != 0) {
        sum ^= static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
               static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
        bytes += 4;
    }
    std::uint32_t tail = 0;
    switch (count % 4) {
    case 3:
        tail = static_cast<std::uint32_t>(bytes[0]) << 16 | static_cast<std::uint32_t>(bytes[1]) << 8 | bytes[2];
        break;
    case 2:
        tail = static_cast<std::uint32_t>(bytes[0]) << 8 | bytes[1];
        break;
    case 1:
        tail = bytes[0];
        break;
    default:
        break;
    }
    return sum ^ tail;
}
