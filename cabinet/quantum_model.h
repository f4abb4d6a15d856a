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

constexpr unsigned kQuantumMaxSymbols = 64;
constexpr std::uint32_t kQuantumRescaleAt = 3801;
constexpr std::uint32_t kQuantumFrequencyStep = 8;
// Rescales by halving before the first reordering, and between two reorderings.
constexpr std::uint16_t kQuantumFirstReorderAfter = 4;
constexpr std::uint16_t kQuantumReorderEvery = 50;

// Entry i is cumulative[i] with symbol[i]. The cumulative frequencies, never
// above kQuantumRescaleAt + kQuantumFrequencyStep, are updated four at a time
// as one 64-bit word: the array is a whole number of such words, and no lane
// can carry into the next.
struct QuantumModel {
    std::uint16_t symbolCount;
    std::uint16_t halvingsLeft;  // rescales left before the next one reorders
    std::uint16_t cumulative[kQuantumMaxSymbols + 4];
    std::uint16_t symbol[kQuantumMaxSymbols];
};

// Every symbol at frequency 1: entry j holds n - j and symbol j.
void resetQuantumModel(QuantumModel &model, unsigned symbolCount);
// Halves the frequencies, or every so many times halves and reorders them.
void rescaleQuantumModel(QuantumModel &model);

// Counts the symbol of entry `index` once.
inline void updateQuantumModel(QuantumModel &model, unsigned index)
{
    constexpr std::uint64_t kStepEachLane = 0x0001000100010001u * kQuantumFrequencyStep;
    static_assert(std::endian::native == std::endian::little, "entry i is lane i % 4 of its word");
    unsigned i = 0;
    std::uint64_t word;
    for (; i + 4 <= index + 1; i += 4) {
        std::memcpy(&word, model.cumulative + i, sizeof word);
        word += kStepEachLane;
        std::memcpy(model.cumulative + i, &word, sizeof word);
    }
    // The 0 to 3 entries left are the low lanes of the next word.
    std::memcpy(&word, model.cumulative + i, sizeof word);
    word += kStepEachLane & ((std::uint64_t{1} << (16 * (index + 1 - i))) - 1);
    std::memcpy(model.cumulative + i, &word, sizeof word);
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
