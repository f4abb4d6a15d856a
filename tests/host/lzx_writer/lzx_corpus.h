// Inputs that steer the LZX encoder into each of its paths: program-like
// bytes full of CALL instructions, records whose offsets share their low bits
// (aligned blocks), and a chunk repeated just inside the window's reach; and
// a folder's stream coded straight through the encoder, data block by data
// block, for callers that need settings the writer does not offer.
#pragma once

#include "host/writer/corpus.h"
#include "writer/encoder.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace lzxcorpus {

// x86-like code: short instructions and, every few bytes, 0xE8 with a
// relative target among a few dozen functions, as a compiler leaves them.
inline std::vector<std::uint8_t> calls(std::size_t size, std::uint32_t seed)
{
    static const std::uint8_t opcodes[] = {0x55, 0x8B, 0xEC, 0x83, 0xC4, 0x50, 0x5D, 0xC3, 0x89, 0x45, 0xFC};
    std::vector<std::uint8_t> out;
    out.reserve(size + 8);
    std::uint32_t x = seed * 747796405u + 1;
    while (out.size() < size) {
        x = x * 1103515245u + 12345u;
        if ((x >> 28) < 5) {
            const std::uint32_t target = ((x >> 8) % 48) * 1000;
            const std::uint32_t relative = target - static_cast<std::uint32_t>(out.size() + 5);
            out.push_back(0xE8);
            for (int k = 0; k < 4; ++k) {
                out.push_back(static_cast<std::uint8_t>(relative >> (8 * k)));
            }
        } else {
            out.push_back(opcodes[(x >> 16) % sizeof opcodes]);
        }
    }
    out.resize(size);
    return out;
}

// 16-byte records that repeat a few fields at distances that are multiples
// of 8 with noise in between: matches whose offsets end in the same bits.
inline std::vector<std::uint8_t> records(std::size_t size, std::uint32_t seed)
{
    std::vector<std::uint8_t> out(size);
    const std::vector<std::uint8_t> fill = corpus::noise(size, seed);
    std::uint32_t x = seed + 3;
    for (std::size_t i = 0; i < size; ++i) {
        out[i] = fill[i];
        if (i % 16 < 10 && i >= 16 * 64) {
            x = x * 1103515245u + 12345u;
            out[i] = out[i - 16 * (1 + ((x >> 16) % 64))];
        }
    }
    return out;
}

// A chunk of noise, zeros filling the rest of the window, then the chunk
// again: the second copy is reachable only by an offset near the window size.
inline std::vector<std::uint8_t> farRepeat(unsigned windowBits, std::uint32_t seed)
{
    const std::size_t chunk = 3000;
    std::vector<std::uint8_t> out = corpus::noise(chunk, seed);
    out.resize((std::size_t{1} << windowBits) - 100, 0);
    out.insert(out.end(), out.begin(), out.begin() + chunk);
    return out;
}

// Text, code, noise, records and a short tail, in that order.
inline std::vector<std::uint8_t> mixed(std::size_t partSize)
{
    std::vector<std::uint8_t> out = corpus::prose(partSize, 1);
    for (const auto &part : {calls(partSize, 2), corpus::noise(partSize / 2, 3), records(partSize, 4),
                             corpus::prose(17, 5)}) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// The data blocks of one folder holding stream; false with error on failure.
inline bool encodeFolder(const cabwriter::LzxSettings &settings, const std::vector<std::uint8_t> &stream,
                         std::vector<cabwriter::EncodedBlock> &blocks, std::string &error)
{
    auto encoder = cabwriter::makeLzxEncoder(settings, error);
    if (!encoder) {
        return false;
    }
    for (std::size_t at = 0; at < stream.size(); at += cabwriter::kBlockSize) {
        const auto size = static_cast<std::uint32_t>(std::min<std::size_t>(cabwriter::kBlockSize, stream.size() - at));
        if (!encoder->queueBlock(stream.data() + at, size, blocks, error)) {
            return false;
        }
    }
    return encoder->flush(blocks, error);
}

}  // namespace lzxcorpus
