#include "inflate_tables.h"

#include <bit>
#include <cstring>

namespace inflate {
namespace {

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10,  11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,
                                             33,   49,   65,   97,   129,  193,   257,   385,   513,   769,
                                             1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

constexpr unsigned kMaxSymbols = 288;

std::uint32_t symbolEntry(CodeSet set, unsigned symbol, unsigned bits)
{
    switch (set) {
    case CodeSet::CodeLengths:
        return makeEntry(kOpLiteral, bits, symbol);
    case CodeSet::LiteralLength:
        if (symbol < 256) {
            return makeEntry(kOpLiteral, bits, symbol);
        }
        if (symbol == 256) {
            return makeEntry(kOpEndOfBlock, bits, 0);
        }
        if (symbol < 286) {
            return makeEntry(kLengthExtra[symbol - 257], bits, kLengthBase[symbol - 257]);
        }
        break;
    case CodeSet::Distance:
        if (symbol < 30) {
            return makeEntry(kDistanceExtra[symbol], bits, kDistanceBase[symbol]);
        }
        break;
    }
    return makeEntry(kOpInvalid, bits, 0);
}

void fillInvalid(std::uint32_t *table, unsigned size, unsigned bits)
{
    for (unsigned i = 0; i < size; ++i) {
        table[i] = makeEntry(kOpInvalid, bits, 0);
    }
}

// Copies `count` entries (a power of two) forwards to a place that does not
// overlap; four at a time once there are four.
void copyEntries(std::uint32_t *dst, const std::uint32_t *src, unsigned count)
{
    if (count < 4) {
        for (unsigned i = 0; i < count; ++i) {
            dst[i] = src[i];
        }
        return;
    }
    for (unsigned i = 0; i < count; i += 4) {
        std::memcpy(dst + i, src + i, 4 * sizeof *src);
    }
}

}  // namespace

TableBuild buildDecodeTable(CodeSet set, const std::uint8_t *lengths, unsigned count, unsigned rootBits,
                            std::uint32_t *table, unsigned capacity, bool allowIncomplete)
{
    constexpr TableBuild kFailed{false, 0, 0};
    if (count > kMaxSymbols) {
        return kFailed;
    }

    unsigned lengthCount[kMaxCodeLength + 1] = {};
    for (unsigned symbol = 0; symbol < count; ++symbol) {
        if (lengths[symbol] > kMaxCodeLength) {
            return kFailed;
        }
        ++lengthCount[lengths[symbol]];
    }
    lengthCount[0] = 0;

    unsigned maxLength = kMaxCodeLength;
    while (maxLength > 0 && lengthCount[maxLength] == 0) {
        --maxLength;
    }
    if (maxLength == 0) {
        // No codes: any lookup lands on an invalid entry.
        if (capacity < 2) {
            return kFailed;
        }
        fillInvalid(table, 2, 1);
        return {true, 1, 2};
    }
    unsigned minLength = 1;
    while (lengthCount[minLength] == 0) {
        ++minLength;
    }
    unsigned root = rootBits;
    if (root > maxLength) {
        root = maxLength;
    }
    if (root < minLength) {
        root = minLength;
    }

    int unusedCodes = 1;
    for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
        unusedCodes = unusedCodes * 2 - static_cast<int>(lengthCount[length]);
        if (unusedCodes < 0) {
            return kFailed;  // over-subscribed
        }
    }
    if (unusedCodes > 0 && maxLength != 1 && !allowIncomplete) {
        return kFailed;
    }

    // Canonical order: by length, then by symbol.
    unsigned offset[kMaxCodeLength + 2] = {};
    for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
        offset[length + 1] = offset[length] + lengthCount[length];
    }
    const unsigned codeCount = offset[kMaxCodeLength + 1];
    std::uint16_t sorted[kMaxSymbols];
    for (unsigned symbol = 0; symbol < count; ++symbol) {
        if (lengths[symbol] != 0) {
            sorted[offset[lengths[symbol]]++] = static_cast<std::uint16_t>(symbol);
        }
    }

    const unsigned rootSize = 1u << root;
    if (rootSize > capacity) {
        return kFailed;
    }
    // Entries no code reaches (incomplete sets) must decode as invalid; a
    // complete set writes every entry itself.
    const bool complete = unusedCodes == 0;
    if (!complete) {
        fillInvalid(table, rootSize, root);
    }
    unsigned used = rootSize;

    unsigned remaining[kMaxCodeLength + 1];
    for (unsigned length = 0; length <= kMaxCodeLength; ++length) {
        remaining[length] = lengthCount[length];
    }

    // The next canonical code, bit-reversed. Adding one to it in that form: the
    // carry runs from the top bit down, so the highest clear bit of the code is
    // set and those above it are cleared.
    std::uint32_t code = 0;
    const auto advance = [&code](unsigned length) {
        const std::uint32_t bit = std::bit_floor(~code & ((2u << (length - 1)) - 1));
        code = bit != 0 ? (code & (bit - 1)) + bit : 0;
    };

    // Codes no longer than the root, shortest first, into a primary table that
    // grows with them: while it is 2^length entries wide each code of that
    // length owns exactly one entry, at its reversed value, and doubling the
    // table (its upper half a copy of the lower) repeats every entry made so far
    // at the one further bit the longer codes look at. An entry a longer code
    // owns holds a copy until that code is written over it; one no code owns
    // keeps the invalid entry it was filled with.
    unsigned k = 0;
    for (unsigned length = 1; length <= root; ++length) {
        if (length > 1) {
            copyEntries(table + (1u << (length - 1)), table, 1u << (length - 1));
        }
        for (; k < codeCount && lengths[sorted[k]] == length; ++k) {
            table[code] = symbolEntry(set, sorted[k], length);
            advance(length);
        }
    }

    // The longer codes, through sub-tables linked from the primary table.
    const std::uint32_t rootMask = rootSize - 1;
    std::uint32_t *current = table;
    unsigned currentBits = root;
    unsigned consumed = 0;              // bits resolved by the primary table, once in a sub-table
    std::uint32_t currentPrefix = ~0u;  // primary index of the sub-table being filled

    for (; k < codeCount; ++k) {
        const unsigned symbol = sorted[k];
        const unsigned length = lengths[symbol];

        if (length > root && (code & rootMask) != currentPrefix) {
            // A sub-table is as wide as the codes still to come under this
            // prefix need: widen while the codes of each further length leave
            // room unfilled.
            consumed = root;
            unsigned subBits = length - root;
            int room = 1 << subBits;
            while (subBits + root < maxLength) {
                room -= static_cast<int>(remaining[subBits + root]);
                if (room <= 0) {
                    break;
                }
                ++subBits;
                room <<= 1;
            }
            const unsigned subSize = 1u << subBits;
            if (subSize > capacity - used) {
                return kFailed;
            }
            current = table + used;
            if (!complete) {
                fillInvalid(current, subSize, subBits);
            }
            currentPrefix = code & rootMask;
            table[currentPrefix] = makeEntry(kOpLinkBase + subBits, root, used);
            used += subSize;
            currentBits = subBits;
        }

        const std::uint32_t entry = symbolEntry(set, symbol, length - consumed);
        const unsigned step = 1u << (length - consumed);
        const unsigned size = 1u << currentBits;
        for (unsigned index = code >> consumed; index < size; index += step) {
            current[index] = entry;
        }
        --remaining[length];
        advance(length);
    }
    return {true, root, used};
}

void widenRoot(std::uint32_t *table, unsigned builtBits, unsigned fullBits)
{
    for (unsigned index = 1u << builtBits; index < (1u << fullBits); ++index) {
        table[index] = table[index & ((1u << builtBits) - 1)];
    }
}

const FixedTables &fixedTables()
{
    static const FixedTables tables = [] {
        FixedTables built{};
        std::uint8_t lengths[288];
        for (unsigned symbol = 0; symbol < 288; ++symbol) {
            lengths[symbol] = symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
        }
        built.litLenRootBits =
            buildDecodeTable(CodeSet::LiteralLength, lengths, 288, kLitLenRootBits, built.litLen,
                             kFixedLitLenEntries)
                .rootBits;
        widenRoot(built.litLen, built.litLenRootBits, kLitLenRootBits);
        for (unsigned symbol = 0; symbol < 30; ++symbol) {
            lengths[symbol] = 5;
        }
        built.distRootBits = buildDecodeTable(CodeSet::Distance, lengths, 30, 5, built.dist,
                                              kFixedDistEntries, true)
                                 .rootBits;
        widenRoot(built.dist, built.distRootBits, kDistRootBits);
        return built;
    }();
    return tables;
}

}  // namespace inflate
