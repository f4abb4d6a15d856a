#include "lzx_stream_builder.h"

#include <stdexcept>

namespace lzxtest {

namespace {

unsigned extraBitsOfSlot(unsigned slot)
{
    if (slot < 4) {
        return 0;
    }
    const unsigned bits = (slot - 2) / 2;
    return bits < 17 ? bits : 17;
}

std::uint32_t baseOfSlot(unsigned slot)
{
    std::uint32_t base = 0;
    for (unsigned i = 0; i < slot; ++i) {
        base += std::uint32_t{1} << extraBitsOfSlot(i);
    }
    return base;
}

}  // namespace

std::vector<std::uint8_t> flatLengths(unsigned count)
{
    unsigned bits = 0;
    while ((1u << bits) < count) {
        ++bits;
    }
    const unsigned shorter = (1u << bits) - count;
    std::vector<std::uint8_t> lengths(count, static_cast<std::uint8_t>(bits));
    for (unsigned i = 0; i < shorter; ++i) {
        lengths[i] = static_cast<std::uint8_t>(bits - 1);
    }
    return lengths;
}

std::vector<std::uint8_t> chainLengths(unsigned count, const std::vector<unsigned> &symbols)
{
    std::vector<std::uint8_t> lengths(count, 0);
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        const std::size_t depth = i + 1 < symbols.size() ? i + 1 : i;
        lengths.at(symbols[i]) = static_cast<std::uint8_t>(depth);
    }
    return lengths;
}

Position positionOf(std::uint32_t offset)
{
    const std::uint32_t formatted = offset + 2;
    unsigned slot = 3;
    while (baseOfSlot(slot + 1) <= formatted) {
        ++slot;
    }
    return {slot, formatted - baseOfSlot(slot), extraBitsOfSlot(slot)};
}

StreamBuilder::StreamBuilder(unsigned windowBits)
{
    slots_ = 4;
    while (baseOfSlot(slots_) < (std::uint32_t{1} << windowBits)) {
        ++slots_;
    }
    mainLengths_.assign(256 + 8 * slots_, 0);
    lengthLengths_.assign(249, 0);
}

void StreamBuilder::translation(std::uint32_t size) { translation_ = size; }

void StreamBuilder::blockHeader(unsigned type, std::uint32_t length)
{
    if (first_) {
        first_ = false;
        if (translation_ != 0) {
            bits.put(1, 1);
            bits.put(translation_ >> 16, 16);
            bits.put(translation_ & 0xFFFF, 16);
        } else {
            bits.put(0, 1);
        }
    }
    bits.put(type, 3);
    bits.put(length >> 16, 8);
    bits.put(length >> 8 & 0xFF, 8);
    bits.put(length & 0xFF, 8);
}

// Every entry coded as a difference with a pretree that gives all 20 symbols
// a code; runs are left to the tests that want them.
void StreamBuilder::treeSection(std::vector<std::uint8_t> &current, const std::vector<std::uint8_t> &wanted,
                                unsigned first, unsigned last)
{
    const Code pretree(flatLengths(20));
    for (unsigned i = 0; i < 20; ++i) {
        bits.put(pretree.lengths[i], 4);
    }
    for (unsigned i = first; i < last; ++i) {
        pretree.put(bits, (current[i] + 17 - wanted.at(i)) % 17);
        current[i] = wanted[i];
    }
}

void StreamBuilder::verbatimBlock(std::uint32_t length, const std::vector<std::uint8_t> &mainLengths,
                                  const std::vector<std::uint8_t> &lengthLengths)
{
    blockHeader(1, length);
    treeSection(mainLengths_, mainLengths, 0, 256);
    treeSection(mainLengths_, mainLengths, 256, static_cast<unsigned>(mainLengths_.size()));
    treeSection(lengthLengths_, lengthLengths, 0, 249);
    main_ = Code(mainLengths_);
    length_ = Code(lengthLengths_);
    aligned_ = false;
}

void StreamBuilder::alignedBlock(std::uint32_t length, const std::vector<std::uint8_t> &alignedLengths,
                                 const std::vector<std::uint8_t> &mainLengths,
                                 const std::vector<std::uint8_t> &lengthLengths)
{
    blockHeader(2, length);
    for (std::uint8_t value : alignedLengths) {
        bits.put(value, 3);
    }
    treeSection(mainLengths_, mainLengths, 0, 256);
    treeSection(mainLengths_, mainLengths, 256, static_cast<unsigned>(mainLengths_.size()));
    treeSection(lengthLengths_, lengthLengths, 0, 249);
    main_ = Code(mainLengths_);
    length_ = Code(lengthLengths_);
    alignedCode_ = Code(alignedLengths);
    aligned_ = true;
}

void StreamBuilder::uncompressedBlock(const Bytes &data, std::uint32_t r0, std::uint32_t r1, std::uint32_t r2,
                                      bool filler)
{
    blockHeader(3, static_cast<std::uint32_t>(data.size()));
    if (bits.atWordBoundary()) {
        bits.put(0, 16);
    }
    bits.align();
    bits.raw32(r0);
    bits.raw32(r1);
    bits.raw32(r2);
    bits.raw(data);
    if (filler && data.size() % 2 != 0) {
        bits.raw({0});
    }
    expected.insert(expected.end(), data.begin(), data.end());
}

void StreamBuilder::literal(std::uint8_t byte)
{
    putMainSymbol(byte);
    expected.push_back(byte);
}

void StreamBuilder::literals(const Bytes &bytes)
{
    for (std::uint8_t byte : bytes) {
        literal(byte);
    }
}

void StreamBuilder::putLength(std::uint32_t length, unsigned slot)
{
    const std::uint32_t header = length - 2 < 7 ? length - 2 : 7;
    putMainSymbol(256 + slot * 8 + header);
    if (header == 7) {
        length_.put(bits, length - 9);
    }
}

void StreamBuilder::match(std::uint32_t length, std::uint32_t offset)
{
    const Position at = positionOf(offset);
    putLength(length, at.slot);
    if (aligned_ && at.extraBits >= 3) {
        bits.put(at.extra >> 3, at.extraBits - 3);
        alignedCode_.put(bits, at.extra & 7);
    } else {
        bits.put(at.extra, at.extraBits);
    }
    expectCopy(length, offset);
}

void StreamBuilder::repeatMatch(unsigned slot, std::uint32_t length, std::uint32_t offset)
{
    if (slot > 2) {
        throw std::logic_error("repeated offsets use slots 0 to 2");
    }
    putLength(length, slot);
    expectCopy(length, offset);
}

void StreamBuilder::expectCopy(std::uint32_t length, std::uint32_t offset)
{
    for (std::uint32_t i = 0; i < length; ++i) {
        expected.push_back(offset <= expected.size() ? expected[expected.size() - offset] : 0);
    }
}

Bytes StreamBuilder::endFrame() { return bits.take(); }

Bytes StreamBuilder::takeExpected()
{
    Bytes part(expected.begin() + static_cast<std::ptrdiff_t>(expectedTaken_), expected.end());
    expectedTaken_ = expected.size();
    return part;
}

}  // namespace lzxtest
