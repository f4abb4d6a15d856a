// Huffman decoding tables for deflate, kept apart from the decoder so that the
// builder can be checked on its own.
//
// A table is a primary table of 2^root entries indexed by the next `root` input
// bits (least significant first), followed by sub-tables for codes longer than
// root. Each entry is one 32-bit word:
//
//   bits  0..7   number of input bits the entry consumes at its level
//   bits  8..15  operation:
//                  0..13   length or distance base with that many extra bits
//                  15      end of block
//                  16      literal (or code-length symbol)
//                  17..31  link to a sub-table indexed by (op - 16) further bits
//                  99      invalid code
//   bits 16..31  literal, base value, or the link's offset from the table start
#pragma once

#include <cstdint>

namespace inflate {

constexpr unsigned kOpEndOfBlock = 15;
constexpr unsigned kOpLiteral = 16;
constexpr unsigned kOpLinkBase = 16;
constexpr unsigned kOpLinkLast = 31;
constexpr unsigned kOpInvalid = 99;

constexpr unsigned kMaxCodeLength = 15;
constexpr unsigned kLitLenRootBits = 9;
constexpr unsigned kDistRootBits = 6;
constexpr unsigned kCodeLengthRootBits = 7;

// The largest tables any complete literal/length set (up to 286 codes) or
// distance set (up to 30 codes) of lengths up to 15 can need with 9- and 6-bit
// roots and the sub-table sizing used here. Smaller areas would turn away valid
// deflate data.
constexpr unsigned kLitLenTableArea = 852;
constexpr unsigned kDistTableArea = 592;

constexpr unsigned kFixedLitLenEntries = 1u << kLitLenRootBits;
constexpr unsigned kFixedDistEntries = 32;

constexpr std::uint32_t makeEntry(unsigned op, unsigned bits, unsigned value)
{
    return static_cast<std::uint32_t>(value) << 16 | static_cast<std::uint32_t>(op) << 8 | bits;
}
constexpr unsigned entryBits(std::uint32_t entry) { return entry & 0xFF; }
constexpr unsigned entryOp(std::uint32_t entry) { return (entry >> 8) & 0xFF; }
constexpr unsigned entryValue(std::uint32_t entry) { return entry >> 16; }
constexpr bool entryIsLink(std::uint32_t entry)
{
    const unsigned op = entryOp(entry);
    return op > kOpLinkBase && op <= kOpLinkLast;
}

// What the symbols of a code set stand for.
enum class CodeSet {
    CodeLengths,    // 19 code-length symbols, each a literal entry
    LiteralLength,  // 0-255 literal, 256 end of block, 257-285 lengths, 286-287 invalid
    Distance,       // 0-29 distances, 30-31 invalid
};

struct TableBuild {
    bool ok;
    unsigned rootBits;  // width actually used for the primary table
    unsigned entries;   // entries written, primary and sub-tables together
};

// Builds the table for `count` code lengths (0 = symbol unused, at most 15) into
// `table`, which has room for `capacity` entries. The root width is lowered to
// the longest length present and raised to the shortest. Fails for an
// over-subscribed set, an incomplete one (unless its longest code is 1 bit, or
// allowIncomplete is given, as for the fixed distance codes), and when the
// table would not fit. A set with no codes gives a one-bit table of invalid
// entries.
TableBuild buildDecodeTable(CodeSet set, const std::uint8_t *lengths, unsigned count, unsigned rootBits,
                            std::uint32_t *table, unsigned capacity, bool allowIncomplete = false);

// The process-wide tables for fixed-code blocks.
struct FixedTables {
    std::uint32_t litLen[kFixedLitLenEntries];
    std::uint32_t dist[kFixedDistEntries];
    unsigned litLenRootBits;
    unsigned distRootBits;
};
const FixedTables &fixedTables();

}  // namespace inflate
