// Fixed numbers of the LZX bit stream as the encoder writes it.
#pragma once

#include <bit>
#include <cstdint>

namespace cabwriter::lzx {

constexpr unsigned kMinWindowBits = 15;
constexpr unsigned kMaxWindowBits = 21;
constexpr unsigned kMaxSlots = 51;
constexpr unsigned kLiterals = 256;
constexpr unsigned kMinMatch = 2;
constexpr unsigned kMaxMatch = 257;
constexpr unsigned kLengthHeaders = 8;  // lengths 2..8 directly, 7 = "see the length tree"
constexpr unsigned kLengthSymbols = 249;
constexpr unsigned kAlignedSymbols = 8;
constexpr unsigned kPretreeSymbols = 20;
constexpr unsigned kMaxCodeLength = 16;
constexpr unsigned kMaxPretreeLength = 15;
constexpr unsigned kMaxAlignedLength = 7;
constexpr unsigned kRepeatSlots = 3;  // slots 0 to 2 reuse R0, R1, R2

enum BlockType : unsigned { Verbatim = 1, Aligned = 2, Uncompressed = 3 };

constexpr unsigned extraBits(unsigned slot)
{
    return slot < 4 ? 0 : ((slot - 2) / 2 < 17 ? (slot - 2) / 2 : 17);
}

struct SlotBases {
    std::uint32_t base[kMaxSlots + 1] = {};
    constexpr SlotBases()
    {
        for (unsigned s = 0; s < kMaxSlots; ++s) {
            base[s + 1] = base[s] + (1u << extraBits(s));
        }
    }
};
inline constexpr SlotBases kSlotBases{};

// First formatted offset (offset + 2) of a slot.
constexpr std::uint32_t slotBase(unsigned slot)
{
    return kSlotBases.base[slot];
}

// Slot of a formatted offset (3 or more).
inline unsigned slotOf(std::uint32_t formatted)
{
    if (formatted < 4) {
        return formatted;
    }
    if (formatted >= (1u << 18)) {
        return 36 + ((formatted - (1u << 18)) >> 17);
    }
    const unsigned high = static_cast<unsigned>(std::bit_width(formatted)) - 1;
    return 2 * high + ((formatted >> (high - 1)) & 1);
}

// Slots a window needs: enough that the last one reaches the window size.
constexpr unsigned slotCount(unsigned windowBits)
{
    unsigned n = 4;
    while (slotBase(n) < (1u << windowBits)) {
        ++n;
    }
    return n;
}

constexpr unsigned mainSymbols(unsigned windowBits)
{
    return kLiterals + kLengthHeaders * slotCount(windowBits);
}

static_assert(slotCount(15) == 30 && slotCount(16) == 32 && slotCount(21) == 50);

}  // namespace cabwriter::lzx
