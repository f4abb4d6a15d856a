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

struct EncodedBlock {
    std::vector<std::uint8_t> data;
    std::uint32_t uncompressed = 0;
};

class BlockEncoder {
public:
    virtual ~BlockEncoder() = default;
    // Encodes the next block of the folder (kBlockSize bytes, fewer only for
    // the folder's last block) into out, replacing its contents. Blocks are
    // given in stream order; an encoder may keep history across them.
    virtual bool encodeBlock(const std::uint8_t *data, std::uint32_t size, std::vector<std::uint8_t> &out,
                             std::string &error) = 0;

    // The layout's way in: takes the next block and appends to ready every
    // block whose bytes are final, in stream order. An encoder that codes
    // several data blocks as one unit holds blocks back here until the unit is
    // complete; the default encodes each block at once.
    virtual bool queueBlock(const std::uint8_t *data, std::uint32_t size, std::vector<EncodedBlock> &ready,
                            std::string &error);
    // Appends every block still held back. At the folder's end; also within
    // it, where the layout needs every block placed, and then the next block
    // queued goes on with the folder's history.
    virtual bool flush(std::vector<EncodedBlock> &ready, std::string &error);
    // Blocks taken by queueBlock and not yet handed out.
    virtual std::uint32_t heldBlocks() const { return 0; }
};

// No method's encoded block is larger: the largest compressed-block buffer a
// reader has (Quantum's).
inline constexpr std::uint32_t kLargestEncodedBlock = 32768 + 10240;

// A fresh encoder for one folder; null with error set when the method cannot be encoded.
std::unique_ptr<BlockEncoder> makeEncoder(const Compression &compression, std::string &error);

std::unique_ptr<BlockEncoder> makeMszipEncoder(std::string &error);

// How the LZX encoder cuts the stream into its own blocks and codes them. The
// writer uses the defaults; tests force the rest.
enum class LzxBlocks { Chosen, Verbatim, Aligned, Uncompressed };

struct LzxSettings {
    unsigned windowBits = 21;  // 15 to 21
    bool callTranslation = true;
    LzxBlocks blocks = LzxBlocks::Chosen;
    // Length of every LZX block (the last of a run of held data blocks may be
    // shorter); 0 lets the encoder cut at data-block ends by content.
    std::uint32_t blockLength = 0;
    // Data blocks coded together at most; an LZX block never spans more.
    std::uint32_t framesPerRun = 8;
    // Chain positions looked at per search. The chains are keyed on 5 bytes,
    // so 12 finds more than 48 over 3-byte chains did; 8 would be faster
    // still but packs a 32 KiB window worse than those did.
    unsigned chainDepth = 12;
};

std::unique_ptr<BlockEncoder> makeLzxEncoder(const LzxSettings &settings, std::string &error);

inline constexpr unsigned kQuantumMinWindowBits = 10;
inline constexpr unsigned kQuantumMaxWindowBits = 21;
inline constexpr unsigned kQuantumDefaultWindowBits = 21;  // "quantum" without ":N"
// Null with error set for a window exponent outside 10 to 21.
std::unique_ptr<BlockEncoder> makeQuantumEncoder(unsigned windowBits, std::string &error);

}  // namespace cabwriter
