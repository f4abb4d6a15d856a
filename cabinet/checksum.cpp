#include "checksum.h"

std::uint32_t cabinetChecksum(const std::uint8_t *bytes, std::uint32_t count, std::uint32_t seed)
{
    std::uint32_t sum = seed;
    std::uint32_t words = count / 4;
    for (std::uint32_t i = 0; i < words; ++i, bytes += 4) {
        sum ^= static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
               static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
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
