// The adaptive models: when they rescale, how halving keeps frequencies apart,
// and when and how reordering sorts the symbols.
#include "quantum_model.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

QuantumModel modelWith(std::vector<std::uint16_t> cumulative, std::vector<std::uint16_t> symbols,
                       std::uint16_t halvingsLeft)
{
    QuantumModel m{};
    m.symbolCount = static_cast<std::uint16_t>(symbols.size());
    m.halvingsLeft = halvingsLeft;
    for (std::size_t i = 0; i < cumulative.size(); ++i) {
        m.entries[i].cumulative = cumulative[i];
        m.entries[i].symbol = i < symbols.size() ? symbols[i] : 0;
    }
    return m;
}

std::vector<std::uint16_t> cumulativeOf(const QuantumModel &m)
{
    std::vector<std::uint16_t> v;
    for (unsigned i = 0; i <= m.symbolCount; ++i) {
        v.push_back(m.entries[i].cumulative);
    }
    return v;
}

std::vector<std::uint16_t> symbolsOf(const QuantumModel &m)
{
    std::vector<std::uint16_t> v;
    for (unsigned i = 0; i < m.symbolCount; ++i) {
        v.push_back(m.entries[i].symbol);
    }
    return v;
}

unsigned indexOf(const QuantumModel &m, unsigned symbol)
{
    unsigned i = 0;
    while (m.entries[i].symbol != symbol) {
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
    EXPECT_EQ(m.entries[0].cumulative, 3800);
    EXPECT_EQ(m.halvingsLeft, 4);
    updateQuantumModel(m, 0);
    EXPECT_EQ(m.entries[0].cumulative, 3808 / 2);
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
    EXPECT_EQ(m.entries[0].symbol, 6);
    EXPECT_EQ(m.halvingsLeft, 50);

    while (rescales < 53) {
        countUntilRescale(2);
        ASSERT_EQ(m.entries[0].symbol, 6) << rescales;
    }
    countUntilRescale(2);
    EXPECT_EQ(m.entries[0].symbol, 2);
    EXPECT_EQ(m.halvingsLeft, 50);
}

}  // namespace
