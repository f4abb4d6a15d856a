// LZX decoding, one data block (one output frame) per call.
//
// The decoder is a small state machine carried across frames: either a block
// header is due, or a block is in progress with some of its bytes still to
// produce. A frame is decoded in runs, each run the part of the current block
// that falls inside the frame; a match may not cross the end of its run.
//
// Verbatim and aligned blocks are read through a WordBitReader started at the
// data block's first byte; uncompressed blocks are copied byte by byte from
// where the bits stopped. A frame's leftover bits are dropped, so the next
// frame starts at the first byte of its own data block.
//
// The window is a straight buffer twice the window size: output runs on from
// the start until the next frame would not fit, and then the last window's
// worth of bytes, all the history a match may reach, is moved back to the
// start. So nothing wraps: a match's source always lies wholly in the buffer
// behind its destination, and the hot loop tests neither ends. The bytes past
// the output position are never history, so a match copy may write whole
// words past its end; later output overwrites them.
#include "lzx.h"

#include "lzx_tables.h"
#include "word_bitreader.h"
#include "word_copy.h"

#include <cstring>

// On x86-64 the run decoder is built a second time for processors with BMI2,
// whose shifts take their count from any register: the bit buffer work is
// mostly variable shifts, which otherwise each go through CL. Which one runs
// is settled when the decoder is created.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define LZX_BMI2_RUNS 1
#endif

namespace {

using namespace lzx;

// Room past the buffer's end for a match copy's last word.
constexpr std::uint32_t kCopySlack = 32;

enum BlockType : std::int32_t { kNoBlock = 0, kVerbatim = 1, kAligned = 2, kUncompressed = 3 };

struct LzxState {
    std::uint8_t *window;
    std::uint32_t windowSize;
    // The buffer holds this many bytes of output (twice the window size),
    // and kCopySlack more.
    std::uint32_t capacity;
    std::uint32_t position;   // where the next byte goes, at most capacity
    // Bytes of this folder before the position, at most the window size: no
    // match may reach further back. Never more than the position.
    std::uint32_t history;
    std::uint32_t slotCount;
    std::uint32_t mainSymbols;
    std::uint32_t r0, r1, r2;

    bool headerDue;
    bool firstHeader;
    // An odd-length uncompressed block has ended and its filler byte is still
    // to be stepped over.
    bool fillerDue;
    // A decoding failure leaves the state half made: nothing more is decoded
    // until the next reset.
    bool failed;
    // Whether the BMI2 build of the run decoder runs.
    bool useBmi2;
    std::int32_t blockType;
    std::uint32_t blockLength;
    std::uint32_t blockRemaining;

    std::uint32_t translationSize;  // 0: no translation
    std::uint32_t translationPosition;
    std::uint32_t frameCount;

    // Tree lengths; each block's trees are coded against the previous block's.
    std::uint8_t mainLengths[kMaxMainSymbols];
    std::uint8_t lengthLengths[kLengthSymbols];
    std::uint8_t alignedLengths[kAlignedSymbols];
    std::uint8_t pretreeLengths[kPretreeSymbols];

    std::uint32_t mainTable[kMainTableArea];
    std::uint32_t lengthTable[kLengthTableArea];
    std::uint32_t alignedTable[kAlignedTableArea];
    std::uint32_t pretreeTable[kPretreeTableArea];
};

struct LzxDecoderObject {
    std::uint32_t tag;
    CabAllocFn alloc;
    CabFreeFn free;
    std::uint32_t maxFrameSize;
    LzxState *state;
};

LzxDecoderObject *checkedObject(void *decoder)
{
    auto *object = static_cast<LzxDecoderObject *>(decoder);
    return object != nullptr && object->tag == kLzxTag ? object : nullptr;
}

void resetState(LzxState &s)
{
    s.position = 0;
    s.history = 0;
    s.r0 = s.r1 = s.r2 = 1;
    s.headerDue = true;
    s.firstHeader = true;
    s.fillerDue = false;
    s.failed = false;
    s.blockType = kNoBlock;
    s.blockLength = 0;
    s.blockRemaining = 0;
    s.translationSize = 0;
    s.translationPosition = 0;
    s.frameCount = 0;
    std::memset(s.mainLengths, 0, sizeof s.mainLengths);
    std::memset(s.lengthLengths, 0, sizeof s.lengthLengths);
}

// ---- Symbols ------------------------------------------------------------------------

// Reads the symbol whose primary entry is `entry` (a leaf or a link); the
// caller has made sure that the reader holds at least 16 bits.
template <unsigned TableBits>
[[gnu::always_inline]] inline std::uint32_t resolveSymbol(WordBitReader &in, const std::uint32_t *table,
                                                           std::uint32_t entry)
{
    if (entry & kLinkFlag) {
        in.drop(TableBits);
        entry = table[(entry >> 16) + in.peek(entry & kBitsMask)];
    }
    in.drop(entry & kBitsMask);
    return entry >> 16;
}

template <unsigned TableBits>
[[gnu::always_inline]] inline std::uint32_t decodeSymbol(WordBitReader &in, const std::uint32_t *table)
{
    return resolveSymbol<TableBits>(in, table, table[in.peek(TableBits)]);
}

// Reads entries [first, last) of a tree's lengths with a fresh pretree; each
// new length is coded against the one it replaces.
bool readLengths(LzxState &s, WordBitReader &in, std::uint8_t *lengths, unsigned first, unsigned last)
{
    for (unsigned i = 0; i < kPretreeSymbols; ++i) {
        s.pretreeLengths[i] = static_cast<std::uint8_t>(in.takeChecked(4));
    }
    if (buildDecodeTable(s.pretreeLengths, kPretreeSymbols, 15, kPretreeTableBits, s.pretreeTable,
                         kPretreeTableArea) != TableBuild::Complete) {
        return false;
    }
    unsigned i = first;
    while (i < last) {
        if (in.count < 32) {
            in.refill();
        }
        const std::uint32_t symbol = decodeSymbol<kPretreeTableBits>(in, s.pretreeTable);
        if (symbol < 17) {
            lengths[i] = static_cast<std::uint8_t>((lengths[i] + 17 - symbol) % 17);
            ++i;
            continue;
        }
        unsigned run;
        std::uint8_t value = 0;
        if (symbol == 17) {
            run = 4 + in.take(4);
        } else if (symbol == 18) {
            run = 20 + in.take(5);
        } else if (symbol == 19) {
            run = 4 + in.take(1);
            const std::uint32_t delta = decodeSymbol<kPretreeTableBits>(in, s.pretreeTable);
            if (delta > 16) {
                return false;
            }
            value = static_cast<std::uint8_t>((lengths[i] + 17 - delta) % 17);
        } else {
            return false;  // an empty pretree
        }
        for (const unsigned stop = i + run < last ? i + run : last; i < stop; ++i) {
            lengths[i] = value;
        }
        if (in.overrun()) {
            return false;
        }
    }
    return !in.overrun();
}

// Complete or empty: an empty tree is fine until a symbol is wanted from it.
bool buildTree(const std::uint8_t *lengths, unsigned count, unsigned tableBits, std::uint32_t *table, unsigned area)
{
    return buildDecodeTable(lengths, count, kMaxCodeLength, tableBits, table, area) != TableBuild::Invalid;
}

bool buildAlignedTree(LzxState &s)
{
    switch (buildDecodeTable(s.alignedLengths, kAlignedSymbols, 7, kAlignedTableBits, s.alignedTable,
                             kAlignedTableArea)) {
    case TableBuild::Complete:
        return true;
    case TableBuild::Empty:
        // Every offset's low bits are then 0, read from no bits at all.
        for (std::uint32_t &entry : s.alignedTable) {
            entry = leafEntry(0, 0);
        }
        return true;
    case TableBuild::Invalid:
        break;
    }
    return false;
}

// ---- Window -------------------------------------------------------------------------

// Makes room for `size` more bytes of output, at most one window's worth.
void makeRoom(LzxState &s, std::uint32_t size)
{
    if (s.capacity - s.position < size) {
        std::memmove(s.window, s.window + (s.position - s.history), s.history);
        s.position = s.history;
    }
}

// Copies a match whose offset the caller has checked against the history;
// length is at least 2. Writes up to 15 bytes past the match's end.
//
// A chunk copied forwards reads only bytes already written when the offset is
// at least the chunk's width, so an overlapping match repeats its pattern as
// it should.
[[gnu::always_inline]] inline void copyMatch(std::uint8_t *to, std::uint32_t offset, std::uint32_t length)
{
    const std::uint8_t *from = to - offset;
    std::uint8_t *const end = to + length;
    if (offset >= 16) [[likely]] {
        do {
            copy16(to, from);
            to += 16;
            from += 16;
        } while (to < end);
    } else if (offset >= 8) {
        do {
            copy8(to, from);
            to += 8;
            from += 8;
        } while (to < end);
    } else if (offset == 1) {
        std::memset(to, from[0], length);
    } else {
        do {
            *to++ = *from++;
        } while (to < end);
    }
}

// ---- Compressed runs ----------------------------------------------------------------

// The most bits a match takes after its main code.
constexpr unsigned kMatchBits = 16 + 21;

// The repeated-offset registers, R0 first.
struct Repeats {
    std::uint32_t r0, r1, r2;
};

// Reads the rest of the match of main symbol `symbol` (at least 256) and
// copies it to `to`: false for a symbol of an empty tree, a match longer than
// `room`, or one that reaches before `reach`, the oldest byte of the folder a
// match may use. The caller has made sure that the reader holds the 16 bits
// of a length code and the 21 of an offset at most, 37 in all.
//
// No offset is further back than the window: a slot's offsets stay below
// the window size, and a repeated offset from an uncompressed block's header
// that would not was made 0, which names no byte at all.
template <bool Aligned>
[[gnu::always_inline]] inline bool readMatch(WordBitReader &in, const LzxState &s, Repeats &r,
                                             std::uint32_t symbol, std::uint8_t *to, const std::uint8_t *reach,
                                             std::uint32_t room, std::uint32_t &length)
{
    // A built tree's symbols name slots below the window's slot count; an
    // empty tree answers kNoSymbol, far above.
    const std::uint32_t match = symbol - kLiteralCount;
    if (match >= 8 * kMaxPositionSlots) [[unlikely]] {
        return false;
    }
    // Whether a length code follows (a header of 7) is a coin toss to branch
    // on, so every match looks the entry up and a mask keeps it or not. Only
    // an entry at or above kLengthSymbols in its high half, a link or an
    // empty tree's answer, needs a branch of its own.
    const std::uint32_t header = match & 7;
    const bool coded = header == 7;
    std::uint32_t lengthEntry = s.lengthTable[in.peek(kLengthTableBits)];
    if (coded & (lengthEntry >= kLengthSymbols << 16)) [[unlikely]] {
        if ((lengthEntry & kLinkFlag) == 0) {  // an empty length tree
            return false;
        }
        in.drop(kLengthTableBits);
        lengthEntry = s.lengthTable[(lengthEntry >> 16) + in.peek(lengthEntry & kBitsMask)];
    }
    const std::uint32_t keep = 0u - static_cast<std::uint32_t>(coded);
    in.drop(lengthEntry & kBitsMask & keep);
    length = header + kMinMatch + (lengthEntry >> 16 & keep);

    const std::uint32_t slot = match >> 3;
    std::uint32_t offset;
    if (slot >= 3) {
        // At most 17 bits follow in a verbatim block; in an aligned block
        // 14 verbatim bits and a 7-bit aligned code, 21 in all.
        const unsigned extraBits = kExtraBits[slot];
        if (Aligned && extraBits >= 3) {
            offset = in.take(extraBits - 3) << 3;
            offset += decodeSymbol<kAlignedTableBits>(in, s.alignedTable);
        } else {
            offset = in.take(extraBits);
        }
        offset += kPositionBase[slot] - 2;
        r.r2 = r.r1;
        r.r1 = r.r0;
        r.r0 = offset;
    } else if (slot == 0) {
        offset = r.r0;
    } else if (slot == 1) {
        offset = r.r1;
        r.r1 = r.r0;
        r.r0 = offset;
    } else {
        offset = r.r2;
        r.r2 = r.r0;
        r.r0 = offset;
    }

    if (length > room || offset - 1 >= static_cast<std::size_t>(to - reach)) [[unlikely]] {
        return false;
    }
    copyMatch(to, offset, length);
    return true;
}

// Produces `run` bytes of a verbatim or aligned block; the caller has made
// room for them.
//
// A literal whose code fits the primary table is told by its entry alone: a
// link's subtable starts past the primary table, so a link's entry is never
// below kLiteralCount << 16, and neither is a match's.
template <bool Aligned>
[[gnu::always_inline]] inline bool decodeCodedRun(LzxState &s, WordBitReader &reader, std::uint32_t run)
{
    static_assert((1u << kMainTableBits) >= kLiteralCount && kLinkFlag > kMaxCodeLength);
    // A local copy: stores into the window could alias the caller's reader,
    // which would keep it in memory.
    WordBitReader in = reader;
    const std::uint32_t *const mainTable = s.mainTable;
    std::uint8_t *out = s.window + s.position;
    std::uint8_t *const end = out + run;
    const std::uint8_t *const reach = out - s.history;
    Repeats r{s.r0, s.r1, s.r2};
    bool ok = true;

    // The fast loop runs while the run has room for the most one pass writes
    // (three literals, or two and a longest match), and the input for the
    // most it reads (two refills of 6 bytes, each loading 8), so nothing in it
    // tests either end. Each pass starts with a refill, which leaves at least
    // 48 bits: up to three literals of primary-table codes (10 bits at most)
    // follow, each next entry looked up as soon as its bits are known, and
    // whatever follows them still has 16 bits for its main code. A match
    // refills again after its main code if it has fewer than the 37 bits it
    // may still take (refilling every time costs more than the branch).
    constexpr std::uint32_t kFastRoom = 2 + kMaxMatch;
    constexpr std::ptrdiff_t kFastInput = 6 + 8;
    std::uint8_t *const fastEnd = run > kFastRoom ? end - kFastRoom : out;
    const std::uint8_t *const fastInputEnd = in.end - in.next >= kFastInput ? in.end - kFastInput : in.next;
    while (out < fastEnd && in.next <= fastInputEnd) {
        in.refillUnchecked();
        std::uint32_t entry = mainTable[in.peek(kMainTableBits)];
        if (entry < kLiteralCount << 16) {
            in.drop(entry & kBitsMask);
            std::uint8_t literal = static_cast<std::uint8_t>(entry >> 16);
            entry = mainTable[in.peek(kMainTableBits)];
            *out++ = literal;
            if (entry < kLiteralCount << 16) {
                in.drop(entry & kBitsMask);
                literal = static_cast<std::uint8_t>(entry >> 16);
                entry = mainTable[in.peek(kMainTableBits)];
                *out++ = literal;
                if (entry < kLiteralCount << 16) {
                    in.drop(entry & kBitsMask);
                    *out++ = static_cast<std::uint8_t>(entry >> 16);
                    continue;
                }
            }
        }
        const std::uint32_t symbol = resolveSymbol<kMainTableBits>(in, mainTable, entry);
        if (symbol < kLiteralCount) {
            *out++ = static_cast<std::uint8_t>(symbol);
            continue;
        }
        if (in.count < kMatchBits) {
            in.refillUnchecked();
        }
        std::uint32_t length = 0;
        if (!readMatch<Aligned>(in, s, r, symbol, out, reach, kMaxMatch, length)) {
            ok = false;
            break;
        }
        out += length;
    }

    // The rest of the run, one symbol at a time: 16 bits are held before the
    // main code, and a match may not end past the run.
    while (ok && out < end) {
        if (in.count < 16) {
            in.refill();
        }
        const std::uint32_t symbol = decodeSymbol<kMainTableBits>(in, mainTable);
        if (symbol < kLiteralCount) {
            *out++ = static_cast<std::uint8_t>(symbol);
            continue;
        }
        if (in.count < kMatchBits) {
            in.refill();
        }
        std::uint32_t length = 0;
        ok = readMatch<Aligned>(in, s, r, symbol, out, reach, static_cast<std::uint32_t>(end - out), length);
        out += length;
    }

    s.position = static_cast<std::uint32_t>(out - s.window);
    s.r0 = r.r0;
    s.r1 = r.r1;
    s.r2 = r.r2;
    reader = in;
    return ok && !in.overrun();
}

// ---- Frames -------------------------------------------------------------------------

template <bool Aligned>
bool decodeCodedRunPlain(LzxState &s, WordBitReader &reader, std::uint32_t run)
{
    return decodeCodedRun<Aligned>(s, reader, run);
}
#ifdef LZX_BMI2_RUNS
template <bool Aligned>
[[gnu::target("bmi2")]] bool decodeCodedRunBmi2(LzxState &s, WordBitReader &reader, std::uint32_t run)
{
    return decodeCodedRun<Aligned>(s, reader, run);
}
#endif

// decodeCodedRun through the build this processor runs fastest.
template <bool Aligned>
bool decodeRun(LzxState &s, WordBitReader &reader, std::uint32_t run)
{
#ifdef LZX_BMI2_RUNS
    if (s.useBmi2) {
        return decodeCodedRunBmi2<Aligned>(s, reader, run);
    }
#endif
    return decodeCodedRunPlain<Aligned>(s, reader, run);
}

// Where the frame's input is read from: bits, or bytes for uncompressed blocks.
struct FrameInput {
    const std::uint8_t *bytes;  // next byte, while reading bytes
    const std::uint8_t *end;
    bool readingBits;
    WordBitReader bits;
};

std::uint32_t readLittle32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// A repeated offset as an uncompressed block's header gives it: one further
// back than the window becomes 0, which a match refuses just the same.
std::uint32_t repeatFromHeader(const LzxState &s, std::uint32_t offset)
{
    return offset > s.windowSize ? 0 : offset;
}

bool readBlockHeader(LzxState &s, FrameInput &input)
{
    if (!input.readingBits) {
        // After an uncompressed block the bits start again at a byte.
        if (s.fillerDue) {
            if (input.bytes == input.end) {
                return false;
            }
            ++input.bytes;
            s.fillerDue = false;
        }
        input.bits.begin(input.bytes, static_cast<std::size_t>(input.end - input.bytes));
        input.readingBits = true;
    }
    WordBitReader &in = input.bits;
    // Every header must start on real input, so no input loops without end.
    if (in.overrun()) {
        return false;
    }
    if (s.firstHeader) {
        s.firstHeader = false;
        if (in.takeChecked(1) != 0) {
            const std::uint32_t high = in.takeChecked(16);
            s.translationSize = high << 16 | in.takeChecked(16);
        } else {
            s.translationSize = 0;
        }
    }
    const std::int32_t type = static_cast<std::int32_t>(in.takeChecked(3));
    std::uint32_t length = in.takeChecked(8) << 16;
    length |= in.takeChecked(8) << 8;
    length |= in.takeChecked(8);

    switch (type) {
    case kAligned:
        for (std::uint8_t &entry : s.alignedLengths) {
            entry = static_cast<std::uint8_t>(in.takeChecked(3));
        }
        if (!buildAlignedTree(s)) {
            return false;
        }
        [[fallthrough]];
    case kVerbatim:
        if (!readLengths(s, in, s.mainLengths, 0, kLiteralCount) ||
            !readLengths(s, in, s.mainLengths, kLiteralCount, s.mainSymbols) ||
            !readLengths(s, in, s.lengthLengths, 0, kLengthSymbols)) {
            return false;
        }
        if (!buildTree(s.mainLengths, s.mainSymbols, kMainTableBits, s.mainTable, kMainTableArea) ||
            !buildTree(s.lengthLengths, kLengthSymbols, kLengthTableBits, s.lengthTable, kLengthTableArea)) {
            return false;
        }
        break;
    case kUncompressed: {
        if (in.overrun()) {
            return false;
        }
        // The rest of the current word is dropped, a whole word when the
        // header ended on a word boundary.
        const std::size_t skipTo = (in.consumedBits() / 16 + 1) * 2;
        if (skipTo + 12 > static_cast<std::size_t>(input.end - in.start)) {
            return false;
        }
        const std::uint8_t *at = in.start + skipTo;
        s.r0 = repeatFromHeader(s, readLittle32(at));
        s.r1 = repeatFromHeader(s, readLittle32(at + 4));
        s.r2 = repeatFromHeader(s, readLittle32(at + 8));
        input.bytes = at + 12;
        input.readingBits = false;
        break;
    }
    default:
        return false;
    }
    s.blockType = type;
    s.blockLength = length;
    s.blockRemaining = length;
    s.headerDue = false;
    return true;
}

bool decodeFrame(LzxState &s, const std::uint8_t *in, std::uint32_t inSize, std::uint32_t size)
{
    FrameInput input{in, in + inSize, false, {}};
    // An uncompressed block in progress, or just ended, goes on reading bytes.
    if (s.blockType != kUncompressed) {
        input.bits.begin(in, inSize);
        input.readingBits = true;
    }

    std::uint32_t produced = 0;
    while (produced < size) {
        if (s.headerDue && !readBlockHeader(s, input)) {
            return false;
        }
        const std::uint32_t wanted = size - produced;
        const std::uint32_t run = s.blockRemaining < wanted ? s.blockRemaining : wanted;
        bool ok;
        switch (s.blockType) {
        case kVerbatim:
            ok = decodeRun<false>(s, input.bits, run);
            break;
        case kAligned:
            ok = decodeRun<true>(s, input.bits, run);
            break;
        default:
            ok = static_cast<std::uint32_t>(input.end - input.bytes) >= run;
            if (ok) {
                std::memcpy(s.window + s.position, input.bytes, run);
                s.position += run;
                input.bytes += run;
            }
            break;
        }
        if (!ok) {
            return false;
        }
        produced += run;
        s.history = s.windowSize - s.history > run ? s.history + run : s.windowSize;
        s.blockRemaining -= run;
        if (s.blockRemaining == 0) {
            s.headerDue = true;
            s.fillerDue = s.blockType == kUncompressed && (s.blockLength & 1) != 0;
        }
    }

    // An odd uncompressed block that ends with the frame may carry its filler
    // byte at the end of this data block rather than at the start of the next.
    if (!input.readingBits && s.fillerDue && input.end - input.bytes == 1) {
        s.fillerDue = false;
    }
    return !input.readingBits || !input.bits.overrun();
}

// ---- BlockDecoder operations --------------------------------------------------------

DecoderResult lzxQueryBufferSizes(std::uint32_t *maxBlockSize, const DecoderParams &params,
                                  std::uint32_t *compressedBufferSize)
{
    if (params.windowBits < kMinWindowBits || params.windowBits > kMaxWindowBits) {
        return DecoderResult::BadWindow;
    }
    *maxBlockSize = kLzxFrameSize;
    // The decoder reads nothing past a block's bytes, so the buffer needs no
    // slack beyond the largest block it accepts.
    *compressedBufferSize = kLzxCompressedBufferSize;
    return DecoderResult::Ok;
}

DecoderResult lzxDestroyDecoder(void *decoder);

DecoderResult lzxCreateDecoder(std::uint32_t *maxBlockSize, const DecoderParams &params,
                               const DecoderCallbacks &callbacks, void **decoder)
{
    std::uint32_t bufferSize = 0;
    if (lzxQueryBufferSizes(maxBlockSize, params, &bufferSize) != DecoderResult::Ok) {
        return DecoderResult::BadWindow;
    }
    auto *object = static_cast<LzxDecoderObject *>(callbacks.alloc(sizeof(LzxDecoderObject)));
    if (object == nullptr) {
        return DecoderResult::NoMemory;
    }
    object->tag = kLzxTag;
    object->alloc = callbacks.alloc;
    object->free = callbacks.free;
    object->maxFrameSize = kLzxFrameSize;
    object->state = static_cast<LzxState *>(callbacks.alloc(sizeof(LzxState)));
    if (object->state == nullptr) {
        lzxDestroyDecoder(object);
        return DecoderResult::NoMemory;
    }
    LzxState &s = *object->state;
    s.windowSize = std::uint32_t{1} << params.windowBits;
    s.capacity = 2 * s.windowSize;
    s.slotCount = positionSlotCount(params.windowBits);
    s.mainSymbols = kLiteralCount + 8 * s.slotCount;
    s.window = static_cast<std::uint8_t *>(callbacks.alloc(s.capacity + kCopySlack));
    if (s.window == nullptr) {
        lzxDestroyDecoder(object);
        return DecoderResult::NoMemory;
    }
    // Copies read a little past what has been written; let that be zeros.
    std::memset(s.window, 0, s.capacity + kCopySlack);
    resetState(s);
    s.useBmi2 = false;
#ifdef LZX_BMI2_RUNS
    __builtin_cpu_init();
    s.useBmi2 = __builtin_cpu_supports("bmi2") != 0;
#endif
    *decoder = object;
    return DecoderResult::Ok;
}

DecoderResult lzxDecodeBlock(void *decoder, const std::uint8_t *in, std::uint32_t inSize, std::uint8_t *out,
                             std::uint32_t *outSize)
{
    LzxDecoderObject *object = checkedObject(decoder);
    if (object == nullptr) {
        return DecoderResult::BadHandle;
    }
    const std::uint32_t size = *outSize;
    *outSize = 0;
    if (size > object->maxFrameSize) {
        return DecoderResult::BadSize;
    }
    LzxState &s = *object->state;
    if (s.failed) {
        return DecoderResult::BadData;
    }
    if (size == 0) {
        return DecoderResult::Ok;
    }
    makeRoom(s, size);
    const std::uint32_t frameStart = s.position;
    if (!decodeFrame(s, in, inSize, size)) {
        s.failed = true;
        return DecoderResult::BadData;
    }
    std::memcpy(out, s.window + frameStart, size);
    if (s.translationSize != 0 && s.frameCount < kLzxTranslatedFrames) {
        lzxUntranslateCalls(out, size, s.translationSize, s.translationPosition);
    }
    if (s.frameCount < kLzxTranslatedFrames) {
        ++s.frameCount;
    }
    *outSize = size;
    return DecoderResult::Ok;
}

DecoderResult lzxResetDecoder(void *decoder)
{
    LzxDecoderObject *object = checkedObject(decoder);
    if (object == nullptr) {
        return DecoderResult::BadHandle;
    }
    resetState(*object->state);
    return DecoderResult::Ok;
}

DecoderResult lzxDestroyDecoder(void *decoder)
{
    LzxDecoderObject *object = checkedObject(decoder);
    if (object == nullptr) {
        return DecoderResult::BadHandle;
    }
    object->tag = 0;
    if (object->state != nullptr) {
        if (object->state->window != nullptr) {
            object->free(object->state->window);
        }
        object->free(object->state);
    }
    object->free(object);
    return DecoderResult::Ok;
}

}  // namespace

namespace {

void untranslateAt(std::uint8_t *at, std::uint32_t current, std::uint32_t translationSize)
{
    const std::uint32_t value = readLittle32(at);
    std::uint32_t changed = value;
    if (value < translationSize) {
        changed = value - current;
    } else if (static_cast<std::int32_t>(value) < 0 && 0u - value <= current) {
        changed = value + translationSize;
    }
    at[0] = static_cast<std::uint8_t>(changed);
    at[1] = static_cast<std::uint8_t>(changed >> 8);
    at[2] = static_cast<std::uint8_t>(changed >> 16);
    at[3] = static_cast<std::uint8_t>(changed >> 24);
}

}  // namespace

void lzxUntranslateCalls(std::uint8_t *data, std::uint32_t size, std::uint32_t translationSize,
                         std::uint32_t &position)
{
    if (size >= 6) {
        // No 0xE8 among the last 6 bytes starts a translation; with sentinels
        // there every search finds one, and needs no bounds test of its own.
        std::uint8_t saved[6];
        std::uint8_t *const tail = data + size - 6;
        std::memcpy(saved, tail, 6);
        std::memset(tail, 0xE8, 6);
        const std::uint8_t *const end = data + size;
        std::uint8_t *at = data;
        for (;;) {
            at = static_cast<std::uint8_t *>(std::memchr(at, 0xE8, static_cast<std::size_t>(end - at)));
            if (at >= tail) {
                break;
            }
            const std::uint32_t current = position + static_cast<std::uint32_t>(at - data);
            if (at + 5 > tail) {
                // Its value reaches into the sentinels, and no later byte can
                // start a translation.
                std::memcpy(tail, saved, 6);
                untranslateAt(at + 1, current, translationSize);
                position += size;
                return;
            }
            untranslateAt(at + 1, current, translationSize);
            at += 5;
        }
        std::memcpy(tail, saved, 6);
    }
    position += size;
}

const BlockDecoder kLzxDecoder = {lzxQueryBufferSizes, lzxCreateDecoder, lzxDecodeBlock, lzxResetDecoder,
                                  lzxDestroyDecoder};
