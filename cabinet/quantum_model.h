// Quantum's adaptive frequency models and its position and length slots, kept
// apart from the decoder so that rescaling and reordering can be checked alone.
//
// A model of n symbols holds n + 1 entries in order of decreasing cumulative
// frequency: entry 0 carries the total, entry n carries 0, and the symbol of
// entry i owns the frequencies from entry i + 1's cumulative frequency up to
// (not including) entry i's. A decoded symbol adds 8 to its own entry and to
// every entry before it; a total of kQuantumRescaleAt or more rescales the model.
#pragma once

#include <cstdint>

constexpr unsigned kQuantumMaxSymbols = 64;
constexpr std::uint32_t kQuantumRescaleAt = 3801;
constexpr std::uint32_t kQuantumFrequencyStep = 8;
// Rescales by halving before the first reordering, and between two reorderings.
constexpr std::uint16_t kQuantumFirstReorderAfter = 4;
constexpr std::uint16_t kQuantumReorderEvery = 50;

struct QuantumModelEntry {
    std::uint16_t cumulative;  // never above kQuantumRescaleAt + kQuantumFrequencyStep
    std::uint16_t symbol;
};

struct QuantumModel {
    std::uint16_t symbolCount;
    std::uint16_t halvingsLeft;  // rescales left before the next one reorders
    QuantumModelEntry entries[kQuantumMaxSymbols + 1];
};

// Every symbol at frequency 1: entry j holds n - j and symbol j.
void resetQuantumModel(QuantumModel &model, unsigned symbolCount);
// Halves the frequencies, or every so many times halves and reorders them.
void rescaleQuantumModel(QuantumModel &model);

// Counts the symbol of entry `index` once.
inline void updateQuantumModel(QuantumModel &model, unsigned index)
{
    for (unsigned i = 0; i <= index; ++i) {
        model.entries[i].cumulative = static_cast<std::uint16_t>(model.entries[i].cumulative + kQuantumFrequencyStep);
    }
    if (model.entries[0].cumulative >= kQuantumRescaleAt) {
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
