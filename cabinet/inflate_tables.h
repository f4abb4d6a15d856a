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
//   bits 16..30  literal, base value, or the link's offset from the table start
//   bit  31      set on literal entries
#pragma once

#include <cstdint>

namespace inflate {

constexpr unsigned kOpEndOfBlock = 15;
constexpr unsigned kOpLiteral = 16;
constexpr unsigned kOpLinkBase = 16;
constexpr unsigned kOpLinkLast = 31;
constexpr unsigned kOpInvalid = 99;

constexpr unsigned kMaxCodeLength = 15;
// Root widths: wide enough that nearly every code a real encoder makes is
// resolved, with its extra-bit count and base, by one look-up.
constexpr unsigned kLitLenRootBits = 11;
constexpr unsigned kDistRootBits = 8;
constexpr unsigned kCodeLengthRootBits = 7;

// Room for the largest table any complete set of lengths up to 15 can need
// with these roots and the sub-table sizing used here. A sub-table of width w
// is only made under a prefix whose codes form a complete subtree at least w
// deep, which holds at least w + 1 codes, and w is at most 15 - root. So the
// area is bounded by the root table plus, for every w + 1 codes, 2^w entries
// at the widest w: 286 literal/length codes give 57 sub-tables of 16 and one
// of 1; 30 distance codes give 3 of 128 and one of 32. Smaller areas would
// turn away valid deflate data.
constexpr unsigned kLitLenTableArea = (1u << kLitLenRootBits) + 57 * 16 + 1;
constexpr unsigned kDistTableArea = (1u << kDistRootBits) + 3 * 128 + 32;

constexpr unsigned kFixedLitLenEntries = 1u << kLitLenRootBits;
constexpr unsigned kFixedDistEntries = 1u << kDistRootBits;

// Literal entries also carry bit 31, so that the decoder's hottest test is a
// sign test.
constexpr std::uint32_t kLiteralFlag = 0x80000000u;

constexpr std::uint32_t makeEntry(unsigned op, unsigned bits, unsigned value)
{
    return (op == kOpLiteral ? kLiteralFlag : 0u) | static_cast<std::uint32_t>(value) << 16 |
           static_cast<std::uint32_t>(op) << 8 | bits;
}
constexpr unsigned entryBits(std::uint32_t entry) { return entry & 0xFF; }
constexpr unsigned entryOp(std::uint32_t entry) { return (entry >> 8) & 0xFF; }
constexpr unsigned entryValue(std::uint32_t entry) { return (entry >> 16) & 0x7FFF; }
constexpr bool entryIsLiteral(std::uint32_t entry) { return (entry & kLiteralFlag) != 0; }
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

// Makes a table whose root came out narrower than fullBits (its longest code
// is shorter, so it has no sub-tables) answer lookups of fullBits bits, by
// repeating its primary entries; the decoder then indexes every table with
// one fixed mask. The table must have room for 2^fullBits entries.
void widenRoot(std::uint32_t *table, unsigned builtBits, unsigned fullBits);

// The process-wide tables for fixed-code blocks, widened to the full roots;
// the root widths given are those the codes needed.
struct FixedTables {
    std::uint32_t litLen[kFixedLitLenEntries];
    std::uint32_t dist[kFixedDistEntries];
    unsigned litLenRootBits;
    unsigned distRootBits;
};
const FixedTables &fixedTables();

}  // namespace inflate
