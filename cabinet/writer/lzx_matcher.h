// The LZX encoder's match finder: a sliding buffer of the folder's stream with
// hash chains, and a lazy parse of a stretch of it into literals and matches,
// the three repeated offsets included.
//
// Candidates come from three places: the chains link every position by its
// first kChainBytes bytes and are walked to the chain depth; two small tables
// hold only the latest position for the first 3 and for the first 4 bytes,
// since matches that short pay only at small offsets, where the latest one is
// the best candidate. Keying the chains on more than 3 bytes keeps them free
// of positions that share only a short prefix, so a shallow walk reaches as
// far back among useful candidates as a deep one over 3-byte chains.
#pragma once

#include <cstdint>
#include <vector>

namespace cabwriter::lzx {

struct Token {
    std::uint16_t length = 0;  // 0 for a literal
    std::uint8_t literal = 0;
    std::uint8_t slot = 0;      // 0 to 2 repeat R0 to R2
    std::uint32_t footer = 0;   // formatted offset minus the slot's base
};

struct Repeats {
    std::uint32_t r[3] = {1, 1, 1};
};

class Matcher {
public:
    // maxPending: the most bytes appended but not yet parsed at any time.
    Matcher(unsigned windowBits, std::uint32_t maxPending, unsigned chainDepth);

    // Room for n more bytes at the end of the buffer, which the caller fills.
    // May slide the buffer, dropping history beyond the window.
    std::uint8_t *append(std::uint32_t n);

    // Stream position of buffer index 0, and the buffer.
    std::uint64_t base() const { return base_; }
    const std::uint8_t *data() const { return buffer_.data(); }

    // Parses buffer indices [begin, end) (begin is where the last parse ended);
    // no match reaches past end.
    void parse(std::uint32_t begin, std::uint32_t end, Repeats &repeats, std::vector<Token> &out);

private:
    struct Match {
        std::uint32_t length = 0;
        std::uint32_t offset = 0;
        unsigned slot = 0;
        int gain = 0;
    };

    Match find(std::uint32_t at, std::uint32_t end, const Repeats &repeats);
    void consider(std::uint32_t at, std::uint32_t from, std::uint32_t length, const Repeats &repeats,
                  Match &best) const;
    void insertUpTo(std::uint32_t at);
    std::uint32_t matchLength(std::uint32_t at, std::uint32_t from, std::uint32_t limit) const;

    std::uint32_t window_;
    std::uint32_t maxOffset_;
    unsigned chainDepth_;
    unsigned hashBits_;
    std::vector<std::uint8_t> buffer_;
    std::uint32_t size_ = 0;
    std::uint64_t base_ = 0;
    std::uint32_t parsed_ = 0;    // buffer index up to which bytes were parsed
    std::uint32_t inserted_ = 0;  // positions below this are in the chains and tables
    std::vector<std::int32_t> head_;
    std::vector<std::int32_t> previous_;
    std::vector<std::int32_t> recent3_;  // -1 where no position has that hash
    std::vector<std::int32_t> recent4_;
};

}  // namespace cabwriter::lzx
