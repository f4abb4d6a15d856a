// The adaptive models: when they rescale, how halving keeps frequencies apart,
// and when and how reordering sorts the symbols.
#include "quantum_model.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

QuantumModel modelWith(std::vector<std::uint16_t> cumulative, std::vector<std::uint16_t> symbols,
                       std::uint16_t halvingsLeft)
{
    QuantumModel m{};
    m.symbolCount = static_cast<std::uint16_t>(symbols.size());
    m.halvingsLeft = halvingsLeft;
    for (std::size_t i = 0; i < cumulative.size(); ++i) {
        m.cumulative[i] = cumulative[i];
    }
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        m.symbol[i] = symbols[i];
    }
    return m;
}

std::vector<std::uint16_t> cumulativeOf(const QuantumModel &m)
{
    std::vector<std::uint16_t> v;
    for (unsigned i = 0; i <= m.symbolCount; ++i) {
        v.push_back(m.cumulative[i]);
    }
    return v;
}

std::vector<std::uint16_t> symbolsOf(const QuantumModel &m)
{
    std::vector<std::uint16_t> v;
    for (unsigned i = 0; i < m.symbolCount; ++i) {
        v.push_back(m.symbol[i]);
    }
    return v;
}

unsigned indexOf(const QuantumModel &m, unsigned symbol)
{
    unsigned i = 0;
    while (m.symbol[i] != symbol) {
        ++i;
    }
    return i;
}

TEST(QuantumModel, RescalesOnceTheTotalReaches3801)
{
    QuantumModel m{};
    resetQuantumModel(m, 64);
    // 64 + 467 * 8 = 3800 stays; the next count makes 3808.
    for (int k = 0; k < 467; ++k) {
        updateQuantumModel(m, 0);
    }
    EXPECT_EQ(m.cumulative[0], 3800);
    EXPECT_EQ(m.halvingsLeft, 4);
    updateQuantumModel(m, 0);
    EXPECT_EQ(m.cumulative[0], 3808 / 2);
    EXPECT_EQ(m.halvingsLeft, 3);
}

TEST(QuantumModel, HalvingKeepsEveryFrequencyAtLeastOne)
{
    QuantumModel m = modelWith({9, 8, 3, 2, 0}, {0, 1, 2, 3}, 4);
    rescaleQuantumModel(m);
    EXPECT_EQ(cumulativeOf(m), (std::vector<std::uint16_t>{5, 4, 2, 1, 0}));
    EXPECT_EQ(symbolsOf(m), (std::vector<std::uint16_t>{0, 1, 2, 3}));
    EXPECT_EQ(m.halvingsLeft, 3);
}

// Single frequencies 3, 10, 3, 7 halve (rounding up) to 2, 5, 2, 4. The exchange
// sort leaves the two 2s in the order s2, s0, where a stable sort would not.
TEST(QuantumModel, ReorderingHalvesRoundingUpAndSortsByExchange)
{
    QuantumModel m = modelWith({23, 20, 10, 7, 0}, {0, 1, 2, 3}, 1);
    rescaleQuantumModel(m);
    EXPECT_EQ(symbolsOf(m), (std::vector<std::uint16_t>{1, 3, 2, 0}));
    EXPECT_EQ(cumulativeOf(m), (std::vector<std::uint16_t>{13, 8, 4, 2, 0}));
    EXPECT_EQ(m.halvingsLeft, 50);
}

// Counting one symbol over and over: the first three rescales keep the order, the
// fourth puts the symbol first. Then another symbol takes over, and only the
// 50th rescale after the fourth moves it to the front.
TEST(QuantumModel, FourthRescaleReordersThenEveryFiftieth)
{
    QuantumModel m{};
    resetQuantumModel(m, 7);
    int rescales = 0;
    auto countUntilRescale = [&](unsigned symbol) {
        const std::uint16_t before = m.halvingsLeft;
        while (m.halvingsLeft == before) {
            updateQuantumModel(m, indexOf(m, symbol));
        }
        ++rescales;
    };
    for (int k = 0; k < 3; ++k) {
        countUntilRescale(6);
        EXPECT_EQ(symbolsOf(m), (std::vector<std::uint16_t>{0, 1, 2, 3, 4, 5, 6})) << rescales;
    }
    countUntilRescale(6);
    EXPECT_EQ(m.symbol[0], 6);
    EXPECT_EQ(m.halvingsLeft, 50);

    while (rescales < 53) {
        countUntilRescale(2);
        ASSERT_EQ(m.symbol[0], 6) << rescales;
    }
    countUntilRescale(2);
    EXPECT_EQ(m.symbol[0], 2);
    EXPECT_EQ(m.halvingsLeft, 50);
}

// The search against the format's choice, the first entry whose successor's
// cumulative frequency is at most the target, for every target of every model
// size, as counting and rescaling reshape the models.
TEST(QuantumModel, SearchFindsTheFirstEntryWhoseSuccessorIsAtMostTheTarget)
{
    std::mt19937 rng(7);
    for (const unsigned n : {7u, 20u, 24u, 27u, 36u, 42u, 64u}) {
        QuantumModel m{};
        resetQuantumModel(m, n);
        for (int round = 0; round < 600; ++round) {
            for (std::uint32_t target = 0; target < m.cumulative[0]; target += 1 + round % 5) {
                unsigned expected = 0;
                while (m.cumulative[expected + 1] > target) {
                    ++expected;
                }
                ASSERT_EQ(findQuantumEntry<kQuantumMaxGroups>(m, target), expected) << n << " " << target;
            }
            // Skewed counts, so that rescaling also reorders.
            const unsigned symbol = static_cast<unsigned>(rng() % n) * static_cast<unsigned>(rng() % 2) % n;
            for (int k = 0; k < 40; ++k) {
                updateQuantumModel(m, indexOf(m, symbol));
            }
        }
    }
}

// The shift against renormalisation one bit at a time: shared leading bits, and
// straddles of the middle, which flip bit 14 of low and high. The pairs cover the
// longest straddles and shared runs, and a spread of the rest.
TEST(QuantumModel, RenormalisingShiftMatchesShiftingOneBitAtATime)
{
    auto check = [](std::uint32_t low, std::uint32_t high) {
        std::uint32_t l = low;
        std::uint32_t h = high;
        unsigned shift = 0;
        for (;; ++shift) {
            if (((l ^ h) & 0x8000) != 0) {
                if ((l & 0x4000) == 0 || (h & 0x4000) != 0) {
                    break;
                }
                l &= 0x3FFF;
                h |= 0x4000;
            }
            l = (l << 1) & 0xFFFF;
            h = ((h << 1) | 1) & 0xFFFF;
        }
        ASSERT_EQ(quantumRenormalisingShift(low, high), shift) << std::hex << low << " " << high;
    };
    for (unsigned a = 0; a < 16; ++a) {
        for (unsigned b = 0; b < 16; ++b) {
            check(0x8000 - (1u << a), 0x8000 + (1u << b) - 1);  // low 0111..., high 1000...
            check((0x7FFFu >> a) << a, (0x7FFFu >> b) << b | 0x8000);
        }
    }
    std::mt19937 rng(11);
    for (int k = 0; k < 1000000; ++k) {
        const std::uint32_t low = rng() & 0xFFFF;
        // Widths of every bit length, the narrow ones as likely as the wide.
        const std::uint32_t width = (rng() & 0xFFFF) >> (rng() % 17);
        check(low, low + width % (0x10000 - low));
    }
    check(0x1234, 0x1234);
}

}  // namespace
