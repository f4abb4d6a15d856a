#include "quantum_model.h"

namespace {

constexpr unsigned positionExtraBits(unsigned slot) { return slot < 4 ? 0 : (slot - 2) / 2; }

constexpr unsigned lengthExtraBits(unsigned slot)
{
    return slot < 6 || slot == kQuantumLengthSlots - 1 ? 0 : (slot - 6) / 4 + 1;
}

template <unsigned N, unsigned (*extraBits)(unsigned)>
struct SlotTable {
    QuantumSlot slots[N];
    constexpr SlotTable() : slots{}
    {
        std::uint32_t base = 0;
        for (unsigned i = 0; i < N; ++i) {
            slots[i] = QuantumSlot{base, static_cast<std::uint8_t>(extraBits(i))};
            base += std::uint32_t{1} << extraBits(i);
        }
    }
};

constexpr SlotTable<kQuantumPositionSlots, positionExtraBits> kPositions;
constexpr SlotTable<kQuantumLengthSlots, lengthExtraBits> kLengths;

static_assert(kPositions.slots[41].base == 1572864 && kPositions.slots[41].extraBits == 19);
static_assert(kLengths.slots[26].base == 254 && kLengths.slots[26].extraBits == 0);
static_assert(kLengths.slots[25].base + (1u << kLengths.slots[25].extraBits) - 1 + kQuantumLongMatchMin <=
              kQuantumMaxMatch);
// The slot count of a window covers every distance up to the window size, and no more.
static_assert(kPositions.slots[quantumWindowSlots(kQuantumMinWindowBits)].base == 1u << kQuantumMinWindowBits);
static_assert(kPositions.slots[quantumWindowSlots(kQuantumMaxWindowBits) - 1].base +
                  (1u << kPositions.slots[quantumWindowSlots(kQuantumMaxWindowBits) - 1].extraBits) ==
              1u << kQuantumMaxWindowBits);

// The exchange sort the format fixes: stable orders would differ from it on ties.
void sortByFrequency(QuantumModelEntry *entries, unsigned count)
{
    for (unsigned i = 0; i + 1 < count; ++i) {
        for (unsigned j = i + 1; j < count; ++j) {
            if (entries[j].cumulative > entries[i].cumulative) {
                const QuantumModelEntry held = entries[i];
                entries[i] = entries[j];
                entries[j] = held;
            }
        }
    }
}

}  // namespace

const QuantumSlot kQuantumPositionSlot[kQuantumPositionSlots] = {
#define SLOT(i) kPositions.slots[i]
    SLOT(0),  SLOT(1),  SLOT(2),  SLOT(3),  SLOT(4),  SLOT(5),  SLOT(6),  SLOT(7),  SLOT(8),  SLOT(9),  SLOT(10),
    SLOT(11), SLOT(12), SLOT(13), SLOT(14), SLOT(15), SLOT(16), SLOT(17), SLOT(18), SLOT(19), SLOT(20), SLOT(21),
    SLOT(22), SLOT(23), SLOT(24), SLOT(25), SLOT(26), SLOT(27), SLOT(28), SLOT(29), SLOT(30), SLOT(31), SLOT(32),
    SLOT(33), SLOT(34), SLOT(35), SLOT(36), SLOT(37), SLOT(38), SLOT(39), SLOT(40), SLOT(41),
#undef SLOT
};

const QuantumSlot kQuantumLengthSlot[kQuantumLengthSlots] = {
#define SLOT(i) kLengths.slots[i]
    SLOT(0),  SLOT(1),  SLOT(2),  SLOT(3),  SLOT(4),  SLOT(5),  SLOT(6),  SLOT(7),  SLOT(8),
    SLOT(9),  SLOT(10), SLOT(11), SLOT(12), SLOT(13), SLOT(14), SLOT(15), SLOT(16), SLOT(17),
    SLOT(18), SLOT(19), SLOT(20), SLOT(21), SLOT(22), SLOT(23), SLOT(24), SLOT(25), SLOT(26),
#undef SLOT
};

void resetQuantumModel(QuantumModel &model, unsigned symbolCount)
{
    model.symbolCount = static_cast<std::uint16_t>(symbolCount);
    model.halvingsLeft = kQuantumFirstReorderAfter;
    for (unsigned j = 0; j <= symbolCount; ++j) {
        model.entries[j] = QuantumModelEntry{static_cast<std::uint16_t>(symbolCount - j), static_cast<std::uint16_t>(j)};
    }
}

void rescaleQuantumModel(QuantumModel &model)
{
    QuantumModelEntry *const e = model.entries;
    const unsigned n = model.symbolCount;
    if (model.halvingsLeft-- != 1) {
        for (unsigned i = n; i-- > 0;) {
            e[i].cumulative = static_cast<std::uint16_t>(e[i].cumulative >> 1);
            if (e[i].cumulative <= e[i + 1].cumulative) {
                e[i].cumulative = static_cast<std::uint16_t>(e[i + 1].cumulative + 1);
            }
        }
        return;
    }
    model.halvingsLeft = kQuantumReorderEvery;
    // Single frequencies, halved and rounded up, are sorted and summed up again.
    for (unsigned i = 0; i < n; ++i) {
        const unsigned own = e[i].cumulative - e[i + 1].cumulative;
        e[i].cumulative = static_cast<std::uint16_t>((own + 1) >> 1);
    }
    sortByFrequency(e, n);
    for (unsigned i = n; i-- > 0;) {
        e[i].cumulative = static_cast<std::uint16_t>(e[i].cumulative + e[i + 1].cumulative);
    }
}

void resetQuantumModels(QuantumModels &models, unsigned windowBits)
{
    const unsigned slots = quantumWindowSlots(windowBits);
    resetQuantumModel(models.selector, kQuantumSelectorSymbols);
    for (QuantumModel &literal : models.literals) {
        resetQuantumModel(literal, kQuantumMaxSymbols);
    }
    for (unsigned k = 0; k < 2; ++k) {
        const unsigned cap = kQuantumShortMatchSlots[k];
        resetQuantumModel(models.shortPositions[k], slots < cap ? slots : cap);
    }
    resetQuantumModel(models.longPositions, slots);
    resetQuantumModel(models.lengths, kQuantumLengthSlots);
}
