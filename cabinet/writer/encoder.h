// Block encoders: one per compression method, each turning a folder's
// uncompressed stream, one data block at a time, into the bytes stored after a
// data-block header.
#pragma once

#include <cabinet/writer.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cabwriter {

inline constexpr std::uint32_t kBlockSize = 32768;

class BlockEncoder {
public:
    virtual ~BlockEncoder() = default;
    // Encodes the next block of the folder (kBlockSize bytes, fewer only for
    // the folder's last block) into out, replacing its contents. Blocks are
    // given in stream order; an encoder may keep history across them.
    virtual bool encodeBlock(const std::uint8_t *data, std::uint32_t size, std::vector<std::uint8_t> &out,
                             std::string &error) = 0;
};

// A fresh encoder for one folder; null with error set when the method cannot be encoded.
std::unique_ptr<BlockEncoder> makeEncoder(const Compression &compression, std::string &error);

std::unique_ptr<BlockEncoder> makeMszipEncoder(std::string &error);

inline constexpr unsigned kQuantumMinWindowBits = 10;
inline constexpr unsigned kQuantumMaxWindowBits = 21;
inline constexpr unsigned kQuantumDefaultWindowBits = 21;  // "quantum" without ":N"
// Null with error set for a window exponent outside 10 to 21.
std::unique_ptr<BlockEncoder> makeQuantumEncoder(unsigned windowBits, std::string &error);

}  // namespace cabwriter
