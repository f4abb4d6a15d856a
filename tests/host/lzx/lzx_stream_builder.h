// Hand-built LZX streams for the decoder tests: a bit writer of 16-bit
// little-endian words filled most significant bit first, canonical codes from
// code lengths, and a builder that writes block headers, trees, literals and
// matches exactly as the test asks, keeping the bytes it expects alongside.
// It decides nothing (no match finding, no tree choice) so that each test
// states the stream it means.
#pragma once

#include <cstdint>
#include <vector>

namespace lzxtest {

using Bytes = std::vector<std::uint8_t>;

class BitWriter {
public:
    void put(std::uint32_t value, unsigned count)
    {
        for (unsigned i = count; i-- > 0;) {
            word_ = static_cast<std::uint16_t>(word_ << 1 | ((value >> i) & 1u));
            if (++filled_ == 16) {
                flushWord();
            }
        }
    }
    // Pads the word in progress with zero bits.
    void align()
    {
        if (filled_ != 0) {
            put(0, 16 - filled_);
        }
    }
    bool atWordBoundary() const { return filled_ == 0; }
    void raw(const Bytes &bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
    void raw32(std::uint32_t value)
    {
        for (unsigned i = 0; i < 4; ++i) {
            out_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        }
    }
    // The bytes so far, the word in progress padded; the writer starts afresh.
    Bytes take()
    {
        align();
        Bytes taken;
        taken.swap(out_);
        return taken;
    }

private:
    void flushWord()
    {
        out_.push_back(static_cast<std::uint8_t>(word_));
        out_.push_back(static_cast<std::uint8_t>(word_ >> 8));
        word_ = 0;
        filled_ = 0;
    }

    Bytes out_;
    std::uint16_t word_ = 0;
    unsigned filled_ = 0;
};

// Canonical codes of a set of lengths: shorter codes first, then by symbol.
struct Code {
    std::vector<std::uint8_t> lengths;
    std::vector<std::uint32_t> codes;

    explicit Code(std::vector<std::uint8_t> lengthsIn = {}) : lengths(std::move(lengthsIn)), codes(lengths.size())
    {
        std::uint32_t code = 0;
        for (unsigned length = 1; length <= 16; ++length) {
            for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
                if (lengths[symbol] == length) {
                    codes[symbol] = code++;
                }
            }
            code <<= 1;
        }
    }
    void put(BitWriter &out, unsigned symbol) const { out.put(codes.at(symbol), lengths.at(symbol)); }
};

// A complete code over all `count` symbols, with lengths of two adjacent sizes.
std::vector<std::uint8_t> flatLengths(unsigned count);
// A complete code over the listed symbols only: the first gets 1 bit, the next
// 2 bits and so on, the last two share the longest length.
std::vector<std::uint8_t> chainLengths(unsigned count, const std::vector<unsigned> &symbols);

// Slot and extra bits of the published format for a match offset.
struct Position {
    unsigned slot;
    std::uint32_t extra;
    unsigned extraBits;
};
Position positionOf(std::uint32_t offset);

class StreamBuilder {
public:
    explicit StreamBuilder(unsigned windowBits);

    // The first header's translation field.
    void translation(std::uint32_t size);

    void verbatimBlock(std::uint32_t length, const std::vector<std::uint8_t> &mainLengths,
                       const std::vector<std::uint8_t> &lengthLengths);
    void alignedBlock(std::uint32_t length, const std::vector<std::uint8_t> &alignedLengths,
                      const std::vector<std::uint8_t> &mainLengths, const std::vector<std::uint8_t> &lengthLengths);
    // Header, padding, the three offsets and the bytes; the filler byte after
    // an odd length only when asked.
    void uncompressedBlock(const Bytes &data, std::uint32_t r0, std::uint32_t r1, std::uint32_t r2,
                           bool filler = true);
    // Just the block type and length, for blocks the decoder must refuse.
    void blockHeader(unsigned type, std::uint32_t length);
    void treeSection(std::vector<std::uint8_t> &current, const std::vector<std::uint8_t> &wanted, unsigned first,
                     unsigned last);

    void literal(std::uint8_t byte);
    void literals(const Bytes &bytes);
    // A match with an explicit offset, coded through its position slot.
    void match(std::uint32_t length, std::uint32_t offset);
    // A match through repeated-offset slot 0, 1 or 2; `offset` is the offset
    // the test expects that slot to stand for.
    void repeatMatch(unsigned slot, std::uint32_t length, std::uint32_t offset);

    // Ends the current data block: its bytes, and the output it should give.
    Bytes endFrame();
    Bytes takeExpected();

    // The main symbol of a match and its length symbol, nothing more.
    void putLength(std::uint32_t length, unsigned slot);

    BitWriter bits;
    Bytes expected;  // every byte since the stream began; 0 where a match reaches before it

private:
    void putMainSymbol(unsigned symbol) { main_.put(bits, symbol); }
    void expectCopy(std::uint32_t length, std::uint32_t offset);

    unsigned slots_;
    bool first_ = true;
    bool aligned_ = false;
    std::uint32_t translation_ = 0;
    std::size_t expectedTaken_ = 0;
    std::vector<std::uint8_t> mainLengths_;
    std::vector<std::uint8_t> lengthLengths_;
    Code main_, length_, alignedCode_;
};

}  // namespace lzxtest
