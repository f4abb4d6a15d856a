// The data-block checksum of the cabinet format.
#pragma once

#include <cstdint>

// XOR of the little-endian 32-bit words of the bytes, folded onto seed; a tail
// of 1 to 3 bytes is folded in big-endian order (the format's own quirk). The
// engine chains two calls: the block's data with seed 0, then the header bytes
// after the checksum field with the first result as seed.
std::uint32_t cabinetChecksum(const std::uint8_t *bytes, std::uint32_t count, std::uint32_t seed);
