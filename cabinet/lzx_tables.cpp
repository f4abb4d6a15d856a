#include "lzx_tables.h"

namespace lzx {

const std::uint8_t kExtraBits[kMaxPositionSlots + 1] = {
    0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,  7,  7,  8,  8,  9,  9,  10, 10, 11, 11,
    12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17,
};

const std::uint32_t kPositionBase[kMaxPositionSlots + 1] = {
    0,       1,       2,       3,       4,       6,       8,       12,      16,      24,      32,
    48,      64,      96,      128,     192,     256,     384,     512,     768,     1024,    1536,
    2048,    3072,    4096,    6144,    8192,    12288,   16384,   24576,   32768,   49152,   65536,
    98304,   131072,  196608,  262144,  393216,  524288,  655360,  786432,  917504,  1048576, 1179648,
    1310720, 1441792, 1572864, 1703936, 1835008, 1966080, 2097152,
};

unsigned positionSlotCount(unsigned windowBits)
{
    const std::uint32_t windowSize = std::uint32_t{1} << windowBits;
    unsigned slots = 4;
    while (slots < kMaxPositionSlots && kPositionBase[slots] < windowSize) {
        ++slots;
    }
    return slots;
}

TableBuild buildDecodeTable(const std::uint8_t *lengths, unsigned count, unsigned maxLength, unsigned tableBits,
                            std::uint32_t *table, unsigned area)
{
    const unsigned primarySize = 1u << tableBits;
    if (area < primarySize || maxLength > kMaxCodeLength || count > kMaxMainSymbols) {
        return TableBuild::Invalid;
    }

    unsigned perLength[kMaxCodeLength + 1] = {};
    for (unsigned symbol = 0; symbol < count; ++symbol) {
        if (lengths[symbol] > maxLength) {
            return TableBuild::Invalid;
        }
        ++perLength[lengths[symbol]];
    }
    if (perLength[0] == count) {
        for (unsigned i = 0; i < primarySize; ++i) {
            table[i] = leafEntry(kNoSymbol, 0);
        }
        return TableBuild::Empty;
    }
    std::int32_t left = 1;
    for (unsigned length = 1; length <= maxLength; ++length) {
        left = left * 2 - static_cast<std::int32_t>(perLength[length]);
        if (left < 0) {
            return TableBuild::Invalid;
        }
    }
    if (left != 0) {
        return TableBuild::Invalid;
    }

    // Symbols in canonical order: by length, then by symbol.
    std::uint16_t sorted[kMaxMainSymbols];
    unsigned offset[kMaxCodeLength + 2] = {};
    for (unsigned length = 1; length <= maxLength; ++length) {
        offset[length + 1] = offset[length] + perLength[length];
    }
    for (unsigned symbol = 0; symbol < count; ++symbol) {
        if (lengths[symbol] != 0) {
            sorted[offset[lengths[symbol]]++] = static_cast<std::uint16_t>(symbol);
        }
    }
    const unsigned codes = count - perLength[0];

    // Canonical codewords, in the same order.
    std::uint32_t codeword[kMaxMainSymbols];
    std::uint32_t code = 0;
    unsigned codeLength = lengths[sorted[0]];
    for (unsigned i = 0; i < codes; ++i) {
        const unsigned length = lengths[sorted[i]];
        code <<= length - codeLength;
        codeLength = length;
        codeword[i] = code++;
    }

    unsigned used = primarySize;
    for (unsigned i = 0; i < codes;) {
        const unsigned symbol = sorted[i];
        const unsigned length = lengths[symbol];
        if (length <= tableBits) {
            const unsigned span = 1u << (tableBits - length);
            std::uint32_t *fill = table + (codeword[i] << (tableBits - length));
            for (unsigned k = 0; k < span; ++k) {
                fill[k] = leafEntry(symbol, length);
            }
            ++i;
            continue;
        }
        // Codes sharing this prefix follow one another, the longest last.
        const std::uint32_t prefix = codeword[i] >> (length - tableBits);
        unsigned end = i + 1;
        while (end < codes && codeword[end] >> (lengths[sorted[end]] - tableBits) == prefix) {
            ++end;
        }
        const unsigned subBits = lengths[sorted[end - 1]] - tableBits;
        if (area - used < (1u << subBits)) {
            return TableBuild::Invalid;
        }
        table[prefix] = static_cast<std::uint32_t>(used) << 16 | kLinkFlag | subBits;
        for (; i < end; ++i) {
            const unsigned subLength = lengths[sorted[i]] - tableBits;
            const std::uint32_t low = codeword[i] & ((1u << subLength) - 1);
            const unsigned span = 1u << (subBits - subLength);
            std::uint32_t *fill = table + used + (low << (subBits - subLength));
            for (unsigned k = 0; k < span; ++k) {
                fill[k] = leafEntry(sorted[i], subLength);
            }
        }
        used += 1u << subBits;
    }
    return TableBuild::Complete;
}

}  // namespace lzx
