// Quantum decoding, one frame per data block.
//
// A frame starts a fresh arithmetic decoder: its code value V is the first 16
// bits of the block (most significant bit first), its interval [L, H] the whole
// 16-bit range. Each item starts with a selector symbol: 0 to 3 pick a literal
// model, 4 and 5 a match of length 3 or 4 whose position slot comes from a model
// of its own, 6 a longer match whose length slot and position slot follow. The
// extra bits of a slot are raw bits taken from the same stream, between the bits
// the arithmetic decoder pulls in while it renormalises.
//
// The frame is produced straight into the engine's output buffer; matches that
// stay within the frame copy from there, and only those that reach back further
// read the window. The finished frame is then appended to the window.
//
// A frame fails when it asks for a bit past the end of its block (even if every
// byte was produced by then: the bits that made the last byte were invented), when
// a match is longer than the bytes still owed, when a match reaches back before
// the folder's first byte (the window there holds another folder's bytes, or
// none), or when the scratch file fails. A paging failure sticks until the reset.
#include "quantum.h"

#include "quantum_model.h"
#include "quantum_window.h"

#include <bit>
#include <cstring>

namespace {

struct QuantumDecoderObject {
    std::uint32_t tag;
    std::uint32_t maxBlockSize;
    std::int32_t processorType;
    std::uint32_t windowBits;
    std::uint32_t position;  // bytes produced since the reset, modulo 2^32
    std::uint32_t history;   // of those, how many the window holds
    bool pagingFailed;
    QuantumWindow window;
    QuantumModels models;
};

std::uint32_t normalisedBlockSize(std::uint32_t requested)
{
    return requested == 0 || requested > kQuantumFrameSize ? kQuantumFrameSize : requested;
}

bool windowBitsValid(std::uint32_t bits)
{
    return bits >= kQuantumMinWindowBits && bits <= kQuantumMaxWindowBits;
}

QuantumDecoderObject *checkedObject(void *decoder)
{
    auto *object = static_cast<QuantumDecoderObject *>(decoder);
    return object != nullptr && object->tag == kQuantumTag ? object : nullptr;
}

// Bits from the most significant end of each byte, held left-aligned in a 64-bit
// word. Bits wanted past the end of the block read as zero; `padded` counts the
// zero bytes supplied, so that taking any of their bits can be told apart.
struct MsbBitReader {
    const std::uint8_t *next;
    const std::uint8_t *end;
    std::uint64_t bits;
    unsigned count;  // valid bits at the top of `bits`; at most 63
    std::uint32_t padded;

    void start(const std::uint8_t *data, std::uint32_t size)
    {
        next = data;
        end = data + size;
        bits = 0;
        count = 0;
        padded = 0;
    }

    // Leaves 56 to 63 valid bits.
    void refill()
    {
        if (end - next >= 8) {
            std::uint64_t word;
            std::memcpy(&word, next, sizeof word);
            if constexpr (std::endian::native == std::endian::little) {
                word = __builtin_bswap64(word);
            }
            // The bits this lays below `count` are the true next bits, so a
            // later refill may OR the same bits over them.
            bits |= word >> count;
            next += (63 - count) >> 3;
            count |= 56;
            return;
        }
        bits = count == 0 ? 0 : bits & ~std::uint64_t{0} << (64 - count);
        while (count < 56) {
            std::uint64_t byte = 0;
            if (next != end) {
                byte = *next++;
            } else {
                ++padded;
            }
            bits |= byte << (56 - count);
            count += 8;
        }
    }

    // 1 <= n <= 32 and n <= count.
    std::uint32_t take(unsigned n)
    {
        const auto value = static_cast<std::uint32_t>(bits >> (64 - n));
        bits <<= n;
        count -= n;
        return value;
    }
    // 0 <= n <= 32 and n <= count, without a branch.
    std::uint32_t takeUpTo32(unsigned n)
    {
        const auto value = static_cast<std::uint32_t>((bits >> 1) >> (63 - n));
        bits <<= n;
        count -= n;
        return value;
    }

    bool exhausted() const { return count < 8 * padded; }
};

// floor(x / total) for x up to total * 65536 is (x * of[total]) >> 40: with
// of[total] = ceil(2^40 / total) the error x * (of[total] * total - 2^40) stays
// below 2^40, and the product below 2^57.
struct Reciprocals {
    std::uint64_t of[kQuantumRescaleAt];
    constexpr Reciprocals() : of{}
    {
        for (std::uint64_t total = 1; total < kQuantumRescaleAt; ++total) {
            of[total] = ((std::uint64_t{1} << 40) + total - 1) / total;
        }
    }
};
constexpr Reciprocals kReciprocal;

inline std::uint32_t scaled(std::uint32_t cumulative, std::uint64_t scale)
{
    return static_cast<std::uint32_t>((cumulative * scale) >> 40);
}

// The groups of entries each model's search and update cover.
constexpr unsigned kSelectorGroups = quantumGroupsFor(kQuantumSelectorSymbols);
constexpr unsigned kLiteralGroups = quantumGroupsFor(kQuantumMaxSymbols);
constexpr unsigned kLengthGroups = quantumGroupsFor(kQuantumLengthSlots);
// Both short-match models, the smaller one with a group of zeros to spare.
constexpr unsigned kShortPositionGroups = quantumGroupsFor(kQuantumShortMatchSlots[1]);
constexpr unsigned kLongPositionGroups = quantumGroupsFor(quantumWindowSlots(kQuantumMaxWindowBits));

// The arithmetic decoder of one frame. It lives in local variables of
// decodeFrame, and the helpers below are forced inline, so that its state stays
// in registers: written to memory, it would have to be reloaded after every
// output byte, which may alias anything.
struct ArithmeticDecoder {
    MsbBitReader reader;
    std::uint32_t low;
    std::uint32_t high;
    std::uint32_t offset;  // code value - low
};

// Shifts the interval out to more than a quarter of the 16-bit range. The
// ends take their bits from the shift, except bit 15, which is 0 in low and 1
// in high once the interval holds the middle. The code value is kept as its
// distance from low, which shifts as the code value would and takes the next
// input bits.
[[gnu::always_inline]] inline void renormalise(ArithmeticDecoder &d)
{
    const unsigned shift = quantumRenormalisingShift(d.low, d.high);
    d.low = (d.low << shift) & 0x7FFF;
    d.high = ((d.high << shift) | ((1u << shift) - 1) | 0x8000) & 0xFFFF;
    d.offset = ((d.offset << shift) | d.reader.takeUpTo32(shift)) & 0xFFFF;
}

// The format's choice is the first entry whose successor's cumulative frequency
// is at most f = ((code - low + 1) * total - 1) / range; code stays within
// [low, high], so f is below the total. The new interval's ends are the entry's
// bounds scaled to the range, cumulative * range / total.
template <unsigned Groups>
[[gnu::always_inline]] inline unsigned decodeSymbol(ArithmeticDecoder &d, QuantumModel &model)
{
    const std::uint16_t *const f = model.cumulative;
    const std::uint32_t total = f[0];
    const std::uint32_t range = d.high - d.low + 1;
    const std::uint32_t target = ((d.offset + 1) * total - 1) / range;
    const std::uint64_t scale = range * kReciprocal.of[total];
    const unsigned i = findQuantumEntry<Groups>(model, target);
    const std::uint32_t lower = scaled(f[i + 1], scale);
    d.high = d.low + scaled(f[i], scale) - 1;
    d.low += lower;
    d.offset -= lower;
    renormalise(d);
    const unsigned symbol = model.symbol[i];
    updateQuantumModel<Groups>(model, i);
    return symbol;
}

// Slot base plus its extra bits, read raw from the stream.
[[gnu::always_inline]] inline std::uint32_t slotValue(ArithmeticDecoder &d, const QuantumSlot &slot)
{
    return slot.base + d.reader.takeUpTo32(slot.extraBits);
}

// Copies length bytes eight at a time: writes up to seven bytes past the end,
// and reads as far past the source's end. A source that overlaps the
// destination must start at least eight bytes before it.
[[gnu::always_inline]] inline void copyInEights(std::uint8_t *to, const std::uint8_t *from, std::uint32_t length)
{
    for (std::uint32_t k = 0; k < length; k += 8) {
        std::memcpy(to + k, from + k, 8);
    }
}

// The window's bytes from position on, when the window is in memory and they
// run on for count bytes and eight more before its end; else null.
inline const std::uint8_t *windowRun(const QuantumWindow &window, std::uint32_t position, std::uint32_t count)
{
    position &= window.mask;
    return window.memory != nullptr && window.size - position >= count + 8 ? window.memory + position : nullptr;
}

// Where the loader can choose, the frame loop is also built for processors
// with AVX2, BMI and LZCNT, whose bit counts and shifts take a cycle less on
// every symbol; both builds compute the same.
#if defined(__x86_64__) && defined(__linux__)
#define QUANTUM_FRAME_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define QUANTUM_FRAME_CLONES
#endif

enum class FrameEnd { Done, InputExhausted, MatchOverrun, BeforeStart, PagingFailed };

// Produces up to `owed` bytes at `out`; `produced` reports how many.
QUANTUM_FRAME_CLONES FrameEnd decodeFrame(QuantumDecoderObject &object, const std::uint8_t *in, std::uint32_t inSize,
                                          std::uint8_t *out, std::uint32_t owed, std::uint32_t &produced)
{
    QuantumModels &models = object.models;
    ArithmeticDecoder d;
    d.reader.start(in, inSize);
    d.reader.refill();
    d.offset = d.reader.take(16);
    d.low = 0;
    d.high = 0xFFFF;

    std::uint32_t pos = 0;
    FrameEnd end = FrameEnd::Done;
    // Each refill leaves at least 56 bits: enough for a selector and a literal
    // (16 bits of renormalisation each at most), or a selector, a position slot
    // and 19 extra bits. A long match refills once more before its position.
    while (pos < owed) {
        if (d.reader.exhausted()) {
            end = FrameEnd::InputExhausted;
            break;
        }
        d.reader.refill();
        const unsigned selector = decodeSymbol<kSelectorGroups>(d, models.selector);
        if (selector < kQuantumLiteralModels) {
            const unsigned literal = decodeSymbol<kLiteralGroups>(d, models.literals[selector]);
            out[pos++] = static_cast<std::uint8_t>(selector << 6 | literal);
            continue;
        }
        std::uint32_t length;
        std::uint32_t distance;
        if (selector < 6) {
            length = selector - 1;
            const unsigned slot = decodeSymbol<kShortPositionGroups>(d, models.shortPositions[selector - 4]);
            distance = slotValue(d, kQuantumPositionSlot[slot]);
        } else {
            length = slotValue(d, kQuantumLengthSlot[decodeSymbol<kLengthGroups>(d, models.lengths)]) +
                     kQuantumLongMatchMin;
            d.reader.refill();
            distance = slotValue(d, kQuantumPositionSlot[decodeSymbol<kLongPositionGroups>(d, models.longPositions)]);
        }
        distance += kQuantumDistanceBias;
        if (length > owed - pos) {
            end = FrameEnd::MatchOverrun;
            break;
        }
        if (distance > pos + object.history) {
            end = FrameEnd::BeforeStart;
            break;
        }
        // Bytes owed after the match, which copies in eights may overwrite.
        const std::uint32_t slack = owed - pos - length;
        std::uint8_t *dst = out + pos;
        if (distance > pos) {
            // The first bytes come from frames before this one.
            const std::uint32_t fromWindow = distance - pos;
            const std::uint32_t piece = length < fromWindow ? length : fromWindow;
            const std::uint8_t *run = windowRun(object.window, object.position - fromWindow, piece);
            if (run != nullptr && slack >= 8) {
                copyInEights(dst, run, piece);
            } else if (!readQuantumWindow(object.window, object.position - fromWindow, dst, piece)) {
                end = FrameEnd::PagingFailed;
                break;
            }
            dst += piece;
            pos += piece;
            length -= piece;
        }
        const std::uint8_t *src = dst - distance;
        pos += length;
        if (distance >= 8 && slack >= 8) {
            copyInEights(dst, src, length);
        } else if (distance >= length) {
            std::memcpy(dst, src, length);
        } else {
            for (std::uint32_t i = 0; i < length; ++i) {
                dst[i] = src[i];
            }
        }
    }
    if (end == FrameEnd::Done && d.reader.exhausted()) {
        end = FrameEnd::InputExhausted;
    }
    produced = pos;
    return end;
}

// ---- The BlockDecoder operations ----------------------------------------------------

DecoderResult quantumQueryBufferSizes(std::uint32_t *maxBlockSize, const DecoderParams &params,
                                      std::uint32_t *compressedBufferSize)
{
    if (!windowBitsValid(params.windowBits)) {
        return DecoderResult::BadWindow;
    }
    *maxBlockSize = normalisedBlockSize(*maxBlockSize);
    *compressedBufferSize = *maxBlockSize + kQuantumBlockOverhead;
    return DecoderResult::Ok;
}

void resetObject(QuantumDecoderObject &object)
{
    object.position = 0;
    object.history = 0;
    object.pagingFailed = false;
    resetQuantumWindow(object.window);
    resetQuantumModels(object.models, object.windowBits);
}

DecoderResult quantumCreate(std::uint32_t *maxBlockSize, const DecoderParams &params,
                            const DecoderCallbacks &callbacks, void **decoder)
{
    *decoder = nullptr;
    if (!windowBitsValid(params.windowBits)) {
        return DecoderResult::BadWindow;
    }
    *maxBlockSize = normalisedBlockSize(*maxBlockSize);
    auto *object = static_cast<QuantumDecoderObject *>(callbacks.alloc(sizeof(QuantumDecoderObject)));
    if (object == nullptr) {
        return DecoderResult::NoMemory;
    }
    if (!openQuantumWindow(object->window, callbacks, params.windowBits)) {
        callbacks.free(object);
        return DecoderResult::NoMemory;
    }
    object->tag = kQuantumTag;
    object->maxBlockSize = *maxBlockSize;
    object->processorType = params.processorType;
    object->windowBits = params.windowBits;
    resetObject(*object);
    *decoder = object;
    return DecoderResult::Ok;
}

DecoderResult quantumDecodeBlock(void *decoder, const std::uint8_t *in, std::uint32_t inSize, std::uint8_t *out,
                                 std::uint32_t *outSize)
{
    const std::uint32_t owed = *outSize;
    *outSize = 0;
    QuantumDecoderObject *object = checkedObject(decoder);
    if (object == nullptr) {
        return DecoderResult::BadHandle;
    }
    if (owed > object->maxBlockSize) {
        return DecoderResult::BadSize;
    }
    if (object->pagingFailed) {
        return DecoderResult::BadData;
    }

    std::uint32_t produced = 0;
    const FrameEnd end = decodeFrame(*object, in, inSize, out, owed, produced);
    *outSize = produced;

    // Only the last window's worth of a frame can ever be read back.
    const std::uint32_t kept = produced < object->window.size ? produced : object->window.size;
    if (!writeQuantumWindow(object->window, object->position + (produced - kept), out + (produced - kept), kept)) {
        object->pagingFailed = true;
    }
    object->position += produced;
    object->history = object->window.size - object->history <= produced ? object->window.size
                                                                          : object->history + produced;
    if (end == FrameEnd::PagingFailed) {
        object->pagingFailed = true;
    }
    return end == FrameEnd::Done && !object->pagingFailed ? DecoderResult::Ok : DecoderResult::BadData;
}

DecoderResult quantumReset(void *decoder)
{
    QuantumDecoderObject *object = checkedObject(decoder);
    if (object == nullptr) {
        return DecoderResult::BadHandle;
    }
    resetObject(*object);
    return DecoderResult::Ok;
}

DecoderResult quantumDestroy(void *decoder)
{
    QuantumDecoderObject *object = checkedObject(decoder);
    if (object == nullptr) {
        return DecoderResult::BadHandle;
    }
    object->tag = 0;
    const CabFreeFn release = object->window.io.free;
    closeQuantumWindow(object->window);
    release(object);
    return DecoderResult::Ok;
}

}  // namespace

const BlockDecoder kQuantumDecoder = {
    quantumQueryBufferSizes, quantumCreate, quantumDecodeBlock, quantumReset, quantumDestroy,
};
