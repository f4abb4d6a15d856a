// Unaligned word loads, stores and copies for the decoders' match copies.
// memcpy of a fixed size compiles to one load and one store.
#pragma once

#include <cstdint>
#include <cstring>

inline std::uint64_t load8(const std::uint8_t *p)
{
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}
inline void store8(std::uint8_t *p, std::uint64_t word) { std::memcpy(p, &word, 8); }
inline void copy8(std::uint8_t *dst, const std::uint8_t *src) { store8(dst, load8(src)); }
inline void copy16(std::uint8_t *dst, const std::uint8_t *src)
{
    std::uint8_t piece[16];
    std::memcpy(piece, src, 16);
    std::memcpy(dst, piece, 16);
}
