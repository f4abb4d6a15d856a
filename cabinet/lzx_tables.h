// The fixed tables of LZX and the builder of its Huffman decoding tables.
//
// Kept apart from the decoder so that the builder can be tested on its own.
#pragma once

#include <cstdint>

namespace lzx {

constexpr unsigned kMinWindowBits = 15;
constexpr unsigned kMaxWindowBits = 21;
constexpr unsigned kMaxPositionSlots = 50;     // a 2 MB window
constexpr unsigned kLiteralCount = 256;
constexpr unsigned kMaxMainSymbols = kLiteralCount + 8 * kMaxPositionSlots;
constexpr unsigned kLengthSymbols = 249;
constexpr unsigned kAlignedSymbols = 8;
constexpr unsigned kPretreeSymbols = 20;
constexpr unsigned kMaxCodeLength = 16;         // tree lengths are 0 to 16
constexpr unsigned kMinMatch = 2;
constexpr unsigned kMaxMatch = kMinMatch + 7 + kLengthSymbols - 1;  // 257

// Lookup widths of the primary tables.
constexpr unsigned kMainTableBits = 10;
constexpr unsigned kLengthTableBits = 8;
constexpr unsigned kPretreeTableBits = 8;
constexpr unsigned kAlignedTableBits = 7;

// Areas that hold any complete code. A subtable hangs under each primary
// entry that is the prefix of longer codes and is as wide as the longest code
// beneath it; a complete subtree of depth d has at least d + 1 leaves, so the
// largest total comes from as many full-depth subtables as the symbols allow.
constexpr unsigned subtableBound(unsigned symbols, unsigned tableBits, unsigned maxLength)
{
    const unsigned depth = maxLength - tableBits;
    const unsigned full = symbols / (depth + 1);
    const unsigned rest = symbols % (depth + 1);
    return (1u << tableBits) + full * (1u << depth) + (rest >= 2 ? 1u << (rest - 1) : 0u);
}
constexpr unsigned kMainTableArea = subtableBound(kMaxMainSymbols, kMainTableBits, kMaxCodeLength);
constexpr unsigned kLengthTableArea = subtableBound(kLengthSymbols, kLengthTableBits, kMaxCodeLength);
constexpr unsigned kPretreeTableArea = subtableBound(kPretreeSymbols, kPretreeTableBits, 15);
constexpr unsigned kAlignedTableArea = 1u << kAlignedTableBits;

// Position slots of the published format: extra bits and base positions.
extern const std::uint8_t kExtraBits[kMaxPositionSlots + 1];
extern const std::uint32_t kPositionBase[kMaxPositionSlots + 1];

// Slots needed to reach every offset of a window of 2^windowBits bytes.
unsigned positionSlotCount(unsigned windowBits);

// A table entry: a leaf holds the symbol in the high half and the bits the
// code takes at its level in the low byte; a link holds the start of its
// subtable in the high half, kLinkFlag, and the subtable's width.
constexpr std::uint32_t kLinkFlag = 0x80;
constexpr std::uint32_t kBitsMask = 0x1F;
// The symbol an empty table answers for every input (no bits consumed).
constexpr std::uint32_t kNoSymbol = 0xFFFF;

inline std::uint32_t leafEntry(std::uint32_t symbol, unsigned bits) { return symbol << 16 | bits; }

enum class TableBuild { Complete, Empty, Invalid };

// Builds the decoding table of a canonical code, codes read most significant
// bit first. Complete: every input resolves. Empty (all lengths 0): every
// entry answers kNoSymbol. Invalid: over-subscribed, incomplete, a length above
// maxLength, or more room needed than `area` entries.
TableBuild buildDecodeTable(const std::uint8_t *lengths, unsigned count, unsigned maxLength, unsigned tableBits,
                            std::uint32_t *table, unsigned area);

}  // namespace lzx
