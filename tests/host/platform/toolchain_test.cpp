#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

// The build's own assumptions about the portable code: little-endian loads
// and exact-width integers behave as the file formats expect.
TEST(Toolchain, ReadsLittleEndianWords)
{
    const unsigned char bytes[4] = {0x4D, 0x53, 0x43, 0x46};
    std::uint32_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    EXPECT_EQ(word, 0x4643534Du);
}
