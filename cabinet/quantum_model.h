// Quantum's adaptive frequency models and its position and length slots, kept
// apart from the decoder so that rescaling and reordering can be checked alone.
//
// A model of n symbols holds n + 1 entries in order of decreasing cumulative
// frequency: entry 0 carries the total, entry n carries 0, and the symbol of
// entry i owns the frequencies from entry i + 1's cumulative frequency up to
// (not including) entry i's. A decoded symbol adds 8 to its own entry and to
// every entry before it; a total of kQuantumRescaleAt or more rescales the model.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

constexpr unsigned kQuantumMaxSymbols = 64;
constexpr std::uint32_t kQuantumRescaleAt = 3801;
constexpr std::uint32_t kQuantumFrequencyStep = 8;
// Rescales by halving before the first reordering, and between two reorderings.
constexpr std::uint16_t kQuantumFirstReorderAfter = 4;
constexpr std::uint16_t kQuantumReorderEvery = 50;

// Entry i is cumulative[i] with symbol[i]. Searching and counting work on whole
// groups of eight entries, 16 bytes each: a model of n symbols uses its first
// (n + 7) / 8 groups, and every entry from n on stays 0, so a group reaching past
// entry n changes nothing. The cumulative frequencies never exceed
// kQuantumRescaleAt + kQuantumFrequencyStep, so they compare as signed lanes.
constexpr unsigned kQuantumGroupSize = 8;
constexpr unsigned kQuantumMaxGroups = kQuantumMaxSymbols / kQuantumGroupSize;

struct QuantumModel {
    std::uint16_t symbolCount;
    std::uint16_t halvingsLeft;  // rescales left before the next one reorders
    alignas(16) std::uint16_t cumulative[kQuantumMaxSymbols + kQuantumGroupSize];
    std::uint16_t symbol[kQuantumMaxSymbols];
};

// Eight entries side by side. Where the target has no 16-byte vectors the
// compiler splits the operations up; the results are the same.
using QuantumLanes = std::int16_t __attribute__((vector_size(16)));

constexpr unsigned quantumGroupsFor(unsigned symbolCount)
{
    return (symbolCount + kQuantumGroupSize - 1) / kQuantumGroupSize;
}

// Every symbol at frequency 1: entry j holds n - j and symbol j.
void resetQuantumModel(QuantumModel &model, unsigned symbolCount);
// Halves the frequencies, or every so many times halves and reorders them.
void rescaleQuantumModel(QuantumModel &model);

// The first entry whose successor's cumulative frequency is at most `target`,
// for a target below the total and a model of at most 8 * Groups symbols. The
// frequencies fall strictly from the total at entry 0 down to entry n's 0, so
// the entries above the target are entries 0 to the one wanted: it is their
// count less one.
template <unsigned Groups>
[[gnu::always_inline]] inline unsigned findQuantumEntry(const QuantumModel &model, std::uint32_t target)
{
    static_assert(Groups >= 1 && Groups <= kQuantumMaxGroups);
#if defined(__SSE2__)
    // One mask bit per entry, entry k in bit k: a run of ones from bit 0, and
    // the one wanted is the last of them.
    const __m128i bound = _mm_set1_epi16(static_cast<short>(target));
    std::uint64_t above = 0;
#pragma GCC unroll 4
    for (unsigned g = 0; g < Groups; g += 2) {
        const auto *lanes = reinterpret_cast<const __m128i *>(model.cumulative + kQuantumGroupSize * g);
        const __m128i low = _mm_cmpgt_epi16(_mm_load_si128(lanes), bound);
        const __m128i high = g + 1 < Groups ? _mm_cmpgt_epi16(_mm_load_si128(lanes + 1), bound) : _mm_setzero_si128();
        above |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(low, high))))
                 << (kQuantumGroupSize * g);
    }
    // Bit 63 of above >> 1 is clear, so its complement is never 0.
    return static_cast<unsigned>(__builtin_ctzll(~(above >> 1)));
#else
    const QuantumLanes bound = QuantumLanes{} + static_cast<std::int16_t>(target);
    QuantumLanes above{};
    for (unsigned g = 0; g < Groups; ++g) {
        QuantumLanes lanes;
        std::memcpy(&lanes, model.cumulative + kQuantumGroupSize * g, sizeof lanes);
        above -= lanes > bound;  // a true comparison is -1 in its lane
    }
    // Each lane holds at most Groups; adding the halves and then the quarters of
    // the 64-bit words cannot carry from one lane into the next.
    std::uint64_t half[2];
    std::memcpy(half, &above, sizeof half);
    std::uint64_t sum = half[0] + half[1];
    sum += sum >> 32;
    sum += sum >> 16;
    return static_cast<unsigned>(sum & 0xFFFF) - 1;
#endif
}

// Row i holds the step for entries 0 to i and 0 for the rest: what counting
// the symbol of entry i adds.
struct QuantumSteps {
    alignas(16) std::int16_t row[kQuantumMaxSymbols][kQuantumMaxSymbols];
    constexpr QuantumSteps() : row{}
    {
        for (unsigned i = 0; i < kQuantumMaxSymbols; ++i) {
            for (unsigned k = 0; k <= i; ++k) {
                row[i][k] = kQuantumFrequencyStep;
            }
        }
    }
};
inline constexpr QuantumSteps kQuantumSteps;

// Counts the symbol of entry `index` once. Groups must cover the model's symbols.
template <unsigned Groups = kQuantumMaxGroups>
[[gnu::always_inline]] inline void updateQuantumModel(QuantumModel &model, unsigned index)
{
    static_assert(Groups >= 1 && Groups <= kQuantumMaxGroups);
    const std::int16_t *const steps = kQuantumSteps.row[index];
#pragma GCC unroll 8
    for (unsigned g = 0; g < Groups; ++g) {
        QuantumLanes lanes;
        QuantumLanes step;
        std::memcpy(&lanes, model.cumulative + kQuantumGroupSize * g, sizeof lanes);
        std::memcpy(&step, steps + kQuantumGroupSize * g, sizeof step);
        lanes += step;
        std::memcpy(model.cumulative + kQuantumGroupSize * g, &lanes, sizeof lanes);
    }
    if (model.cumulative[0] >= kQuantumRescaleAt) {
        rescaleQuantumModel(model);
    }
}

// ---- The seven models of a decoder ------------------------------------------------

constexpr unsigned kQuantumMinWindowBits = 10;
constexpr unsigned kQuantumMaxWindowBits = 21;
constexpr unsigned kQuantumSelectorSymbols = 7;
constexpr unsigned kQuantumLiteralModels = 4;
constexpr unsigned kQuantumLengthSlots = 27;
constexpr unsigned kQuantumPositionSlots = 42;
// Matches of length 3 and 4 code their position in models of their own, which
// leave out the far slots.
constexpr unsigned kQuantumShortMatchSlots[2] = {24, 36};

struct QuantumModels {
    QuantumModel selector;
    QuantumModel literals[kQuantumLiteralModels];
    QuantumModel shortPositions[2];  // matches of length 3, then 4
    QuantumModel longPositions;
    QuantumModel lengths;
};

// The position slots whose base lies below the window: two per window bit.
constexpr unsigned quantumWindowSlots(unsigned windowBits) { return 2 * windowBits; }

void resetQuantumModels(QuantumModels &models, unsigned windowBits);

// ---- The arithmetic decoder's interval -------------------------------------------

// How many bits renormalisation shifts out of the interval [low, high] (16 bits,
// low <= high): the leading bits both ends share, then those of an interval that
// straddles the middle (low 01..., high 10...), until it is wider than a quarter.
// Each shift takes the width w = high - low to 2w + 1, so after
// t0 = 15 - bitlength(w) shifts the interval is just over a quarter wide, and at
// most one more follows: when the top bits of both ends are then still shared,
// or the interval straddles. A straddle flips bit 15 of both ends alike, so the
// ends' own bits at those places tell.
constexpr unsigned quantumRenormalisingShift(std::uint32_t low, std::uint32_t high)
{
    const auto c = static_cast<unsigned>(std::countl_zero(((high - low) << 1) | 1)) - 15;  // t0 + 1, 0 to 16
    const std::uint32_t shared = ~(low ^ high) << c;    // bit 16: the top bits agree
    const std::uint32_t straddles = (low & ~high) << c;  // bit 15: low 1 and high 0 below them
    return c - 1 + (((shared >> 16) | (straddles >> 15)) & 1);
}

// ---- Slots ----------------------------------------------------------------------------

struct QuantumSlot {
    std::uint32_t base;
    std::uint8_t extraBits;
};

// Position slot i has (i - 2) / 2 extra bits from slot 4 on (two slots per
// count, up to 19); each base is the sum of the ranges of the slots before it.
extern const QuantumSlot kQuantumPositionSlot[kQuantumPositionSlots];
// Length slots: six without extra bits, four each with 1 to 5 extra bits, and a
// last one without.
extern const QuantumSlot kQuantumLengthSlot[kQuantumLengthSlots];

// Lengths and distances are the slot's base plus its extra bits plus these.
constexpr std::uint32_t kQuantumLongMatchMin = 5;
constexpr std::uint32_t kQuantumDistanceBias = 1;
constexpr std::uint32_t kQuantumMaxMatch = 254 + 0 + kQuantumLongMatchMin;
