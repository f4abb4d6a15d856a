// The encoders' code builder: strict readers refuse a code that does not fill
// the code space exactly, and LZX allows no code longer than 16 bits.
#include "writer/huffman.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Sum of 2^(limit - length) over the used symbols; a full code gives 2^limit.
std::uint64_t kraftUnits(const std::vector<std::uint8_t> &lengths, unsigned limit)
{
    std::uint64_t units = 0;
    for (std::uint8_t l : lengths) {
        if (l != 0) {
            units += std::uint64_t{1} << (limit - l);
        }
    }
    return units;
}

TEST(HuffmanLengths, CodesFillTheSpaceWithinTheLimit)
{
    // Fibonacci frequencies make an unlimited code 39 bits deep.
    std::vector<std::uint32_t> fibonacci(40);
    fibonacci[0] = fibonacci[1] = 1;
    for (std::size_t i = 2; i < fibonacci.size(); ++i) {
        fibonacci[i] = fibonacci[i - 1] + fibonacci[i - 2];
    }
    fibonacci.resize(60, 0);
    for (unsigned limit : {7u, 15u, 16u}) {
        std::vector<std::uint32_t> frequencies = fibonacci;
        frequencies.resize(limit == 7 ? 8 : 60);
        std::vector<std::uint8_t> lengths(frequencies.size());
        cabwriter::buildCodeLengths(frequencies.data(), frequencies.size(), limit, lengths.data());
        for (std::size_t s = 0; s < lengths.size(); ++s) {
            EXPECT_LE(lengths[s], limit);
            EXPECT_EQ(lengths[s] != 0, frequencies[s] != 0) << "symbol " << s;
        }
        EXPECT_EQ(kraftUnits(lengths, limit), std::uint64_t{1} << limit) << "limit " << limit;
    }
}

TEST(HuffmanLengths, OneSymbolGetsAPartnerAndNoneGivesAnEmptyCode)
{
    std::vector<std::uint32_t> frequencies(20, 0);
    std::vector<std::uint8_t> lengths(20, 9);
    cabwriter::buildCodeLengths(frequencies.data(), 20, 15, lengths.data());
    EXPECT_EQ(kraftUnits(lengths, 15), 0u);

    for (std::size_t only : {std::size_t{0}, std::size_t{19}}) {
        frequencies.assign(20, 0);
        frequencies[only] = 5;
        cabwriter::buildCodeLengths(frequencies.data(), 20, 15, lengths.data());
        EXPECT_EQ(lengths[only], 1);
        EXPECT_EQ(kraftUnits(lengths, 15), std::uint64_t{1} << 15);
    }
}

}  // namespace
