// What the decoder fuzz targets share: plain allocation callbacks, and each
// block cut from the input into a heap buffer of exactly its size, so that
// any read past the block is caught.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// The decoder's allocation callbacks where a target refuses nothing.
inline void *fuzzAlloc(std::uint32_t size) { return std::malloc(size); }
inline void fuzzFree(void *block) { std::free(block); }

// Takes the next `length` bytes of the input from `at` (cut to what is left,
// and `length` with them) into a buffer of their size that the caller frees
// with std::free; moves `at` past them.
inline std::uint8_t *takeFuzzBlock(const std::uint8_t *data, std::size_t size, std::size_t &at, std::size_t &length)
{
    if (length > size - at) {
        length = size - at;
    }
    auto *block = static_cast<std::uint8_t *>(std::malloc(length == 0 ? 1 : length));
    if (length != 0) {
        std::memcpy(block, data + at, length);
    }
    at += length;
    return block;
}
