#include <cabinet/writer.h>

namespace cabwriter {

std::uint32_t checksum(const std::uint8_t *bytes, std::size_t count, std::uint32_t seed)
{
    std::uint32_t sum = seed;
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        sum ^= static_cast<std::uint32_t>(bytes[i]) | (static_cast<std::uint32_t>(bytes[i + 1]) << 8) |
               (static_cast<std::uint32_t>(bytes[i + 2]) << 16) | (static_cast<std::uint32_t>(bytes[i + 3]) << 24);
    }
    // The tail is packed big-end first, unlike the words before it.
    switch (count - i) {
    case 3:
        sum ^= (static_cast<std::uint32_t>(bytes[i]) << 16) | (static_cast<std::uint32_t>(bytes[i + 1]) << 8) |
               bytes[i + 2];
        break;
    case 2:
        sum ^= (static_cast<std::uint32_t>(bytes[i]) << 8) | bytes[i + 1];
        break;
    case 1:
        sum ^= bytes[i];
        break;
    default:
        break;
    }
    return sum;
}

}  // namespace cabwriter
