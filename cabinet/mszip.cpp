// MSZIP decoding: each data block is "CK" followed by a complete deflate stream
// whose back-references may reach into the previous data block of the folder.
//
// Each block is decoded in one call into the decoder's own buffer, right after
// the deflate window in memory: the window holds what the engine's 32768-byte
// block buffer held after the previous block (that block, then the rest of
// earlier, larger ones), so a distance reaching before the current block
// continues backwards from the window's end. Since history and output are one
// run of memory, a back-reference is a plain copy, and copies may run a few
// bytes past their end. The block is then handed to the engine's buffer, and
// its slot, completed from the old window when the block is shorter, is the
// next window. The buffer has room for several slots in a row, so the window
// is moved back to the start only once every kOutputSlots blocks.
//
// Decoding runs as a loop over deflate blocks (stored, fixed codes, dynamic
// codes). Within a coded block a fast path handles symbols while the input
// holds three words and the output room for the most one pass writes, so that
// it proves its bounds once per pass instead of per byte; the slow path handles
// the ends of input and output one symbol at a time. Bits taken from past the
// end of a block's bytes make the block BadData: it was cut short.
#include "mszip.h"

#include "bitreader.h"
#include "inflate_tables.h"
#include "word_copy.h"

#include <cstdint>
#include <cstring>

// On x86-64 the decoding loop is built a second time for processors with BMI2,
// whose shifts take their count from any register and leave the flags alone:
// the loop is mostly variable shifts of the bit buffer, which otherwise each
// go through CL. Which one runs is settled when the decoder is created.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define MSZIP_BMI2_LOOP 1
#endif

namespace {

using namespace inflate;

constexpr std::uint32_t kLongestMatch = 258;
// What one pass of the fast decoding loop may read (at most three refills of a
// word, counting the one before the first pass, each advancing at most seven
// bytes) and write at most.
constexpr std::ptrdiff_t kFastInput = 24;
constexpr std::uint32_t kFastOutput = 2 + kLongestMatch;
// How far past its end a copy may write.
constexpr std::uint32_t kCopySlack = 40;
// Blocks produced one after another before the window is moved back.
constexpr std::uint32_t kOutputSlots = 3;
constexpr std::uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct InflateState {
    // How much of the start of the window holds data of the current folder: the
    // largest block produced since the folder began. A back-reference that
    // reaches the window's end beyond this would read another folder's bytes or
    // memory never written.
    std::uint32_t filled;
    // Whether the BMI2 build of the decoding loop runs.
    bool useBmi2;
    // Where the window starts in `area`: a multiple of the window size, at
    // most kOutputSlots of them.
    std::uint32_t windowStart;
    // The window (the previous block, then what is left of earlier larger
    // ones, as in the engine's block buffer) at windowStart, followed by the
    // block being produced, by room for the blocks after it, and by room for
    // copies to run over.
    std::uint8_t area[(kOutputSlots + 1) * kMszipWindowSize + kCopySlack];
    // The code-length table while a dynamic header is read, then the
    // literal/length table that replaces it.
    std::uint32_t litLen[kLitLenTableArea];
    std::uint32_t dist[kDistTableArea];
};

struct MszipDecoderObject {
    std::uint32_t tag;
    CabFreeFn free;
    std::uint32_t maxBlockSize;
    InflateState *state;
};

std::uint32_t normalisedBlockSize(std::uint32_t requested)
{
    return requested == 0 || requested > kMszipWindowSize ? kMszipWindowSize : requested;
}

MszipDecoderObject *checkedObject(void *decoder)
{
    auto *object = static_cast<MszipDecoderObject *>(decoder);
    return object != nullptr && object->tag == kMszipTag ? object : nullptr;
}

// ---- Copies inside the window ------------------------------------------------------
//
// Copies move whole words and may write up to kCopySlack bytes past their
// end: those bytes lie beyond everything produced so far and are written over
// by what follows.

// Writes at least three bytes, also for the shorter copies the output
// allowance can cut a match to. With distance >= 8 every word read lies wholly
// before the word being written, or in what this copy has already written.
[[gnu::always_inline]] inline void copyMatch(std::uint8_t *dst, std::uint32_t distance, std::uint32_t length)
{
    const std::uint8_t *src = dst - distance;
    std::uint8_t *const stop = dst + length;
    if (distance >= 8) {
        copy8(dst, src);
        copy8(dst + 8, src + 8);
        copy8(dst + 16, src + 16);
        if (length > 24) {
            dst += 24;
            src += 24;
            if (distance >= 16) {
                // Long matches further back, as long runs of binary data
                // make, in 16-byte pieces, each wholly before its target.
                do {
                    copy16(dst, src);
                    copy16(dst + 16, src + 16);
                    dst += 32;
                    src += 32;
                } while (dst < stop);
                return;
            }
            do {
                copy8(dst, src);
                copy8(dst + 8, src + 8);
                dst += 16;
                src += 16;
            } while (dst < stop);
        }
        return;
    }
    if (distance == 1) {
        const std::uint64_t word = 0x0101010101010101ull * *src;
        do {
            store8(dst, word);
            store8(dst + 8, word);
            dst += 16;
        } while (dst < stop);
        return;
    }
    // A short period: byte by byte, each byte read after it is written.
    dst[0] = src[0];
    dst[1] = src[1];
    dst += 2;
    src += 2;
    do {
        *dst++ = *src++;
    } while (dst < stop);
}

// Resolves the next code through its primary table and, for a long code, the
// linked sub-table; drops the code's bits and answers its entry.
inline std::uint32_t nextEntry(LsbBitReader &r, const std::uint32_t *table, std::uint32_t mask)
{
    std::uint32_t entry = table[r.bits & mask];
    if (entryIsLink(entry)) {
        r.drop(entryBits(entry));
        entry = table[entryValue(entry) + r.peek(entryOp(entry) - kOpLinkBase)];
    }
    r.drop(entryBits(entry));
    return entry;
}

// Takes a length or distance code and its `extra` bits with one shift of the
// bit buffer, and answers the extra bits' value.
[[gnu::always_inline]] inline std::uint32_t codeExtra(LsbBitReader &r, std::uint32_t entry, unsigned extra)
{
    const unsigned codeBits = entryBits(entry);
    const auto value = static_cast<std::uint32_t>(r.bits >> codeBits) & ((1u << extra) - 1);
    r.drop(codeBits + extra);
    return value;
}

class Inflater {
public:
    Inflater(const std::uint8_t *in, std::uint32_t inSize, std::uint8_t *out, std::uint32_t allowance,
             InflateState &state)
        : out_(out), limit_(allowance), state_(state)
    {
        reader_.start(in, inSize);
    }

    DecoderResult run()
    {
        bool finalBlock = false;
        while (!finalBlock && pos_ < limit_) {
            finalBlock = reader_.takeChecked(1) != 0;
            Outcome outcome;
            switch (reader_.takeChecked(2)) {
            case 0:
                outcome = storedBlock();
                break;
            case 1: {
                const FixedTables &fixed = fixedTables();
                outcome = codes(fixed.litLen, fixed.dist);
                break;
            }
            case 2:
                outcome = dynamicBlock();
                break;
            default:
                return DecoderResult::BadData;
            }
            // Zero bits taken from past the block's end mean the data was cut
            // short, even where they happened to decode.
            if (outcome == Outcome::Bad || reader_.overran()) {
                return DecoderResult::BadData;
            }
        }
        return DecoderResult::Ok;
    }

    std::uint32_t produced() const { return pos_; }

private:
    enum class Outcome { EndOfBlock, OutputFull, Bad };

    Outcome storedBlock()
    {
        if (!reader_.alignToByte() || reader_.bytesLeft() < 4) {
            return Outcome::Bad;
        }
        const std::uint8_t *header = reader_.next;
        const std::uint32_t length = header[0] | header[1] << 8;
        const std::uint32_t complement = header[2] | header[3] << 8;
        if ((length ^ 0xFFFF) != complement) {
            return Outcome::Bad;
        }
        reader_.next += 4;
        const std::uint32_t room = limit_ - pos_;
        const std::uint32_t count = length < room ? length : room;
        if (reader_.bytesLeft() < count) {
            return Outcome::Bad;
        }
        std::memcpy(out_ + pos_, reader_.next, count);
        reader_.next += count;
        pos_ += count;
        return count < length ? Outcome::OutputFull : Outcome::EndOfBlock;
    }

    Outcome dynamicBlock()
    {
        reader_.refillSlow();
        const unsigned litLenCount = reader_.take(5) + 257;
        const unsigned distCount = reader_.take(5) + 1;
        const unsigned codeLengthCount = reader_.take(4) + 4;
        if (litLenCount > 286 || distCount > 30) {
            return Outcome::Bad;
        }

        std::uint8_t codeLengthLengths[19] = {};
        for (unsigned i = 0; i < codeLengthCount; ++i) {
            codeLengthLengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(reader_.takeChecked(3));
        }
        const TableBuild codeLengthTable = buildDecodeTable(CodeSet::CodeLengths, codeLengthLengths, 19,
                                                            kCodeLengthRootBits, state_.litLen, kLitLenTableArea);
        if (!codeLengthTable.ok) {
            return Outcome::Bad;
        }

        std::uint8_t lengths[286 + 30];
        const unsigned total = litLenCount + distCount;
        unsigned filled = 0;
        while (filled < total) {
            if (reader_.count < kCodeLengthRootBits + 7) {
                reader_.refillSlow();
            }
            const std::uint32_t entry = state_.litLen[reader_.peek(codeLengthTable.rootBits)];
            if (entryOp(entry) != kOpLiteral) {
                return Outcome::Bad;
            }
            reader_.drop(entryBits(entry));
            const unsigned symbol = entryValue(entry);
            if (symbol < 16) {
                lengths[filled++] = static_cast<std::uint8_t>(symbol);
                continue;
            }
            std::uint8_t value = 0;
            unsigned repeat;
            if (symbol == 16) {
                value = filled != 0 ? lengths[filled - 1] : 0;
                repeat = 3 + reader_.take(2);
            } else if (symbol == 17) {
                repeat = 3 + reader_.take(3);
            } else {
                repeat = 11 + reader_.take(7);
            }
            if (repeat > total - filled) {
                return Outcome::Bad;
            }
            std::memset(lengths + filled, value, repeat);
            filled += repeat;
        }

        const TableBuild litLen = buildDecodeTable(CodeSet::LiteralLength, lengths, litLenCount, kLitLenRootBits,
                                                   state_.litLen, kLitLenTableArea);
        const TableBuild dist = buildDecodeTable(CodeSet::Distance, lengths + litLenCount, distCount,
                                                 kDistRootBits, state_.dist, kDistTableArea);
        if (!litLen.ok || !dist.ok) {
            return Outcome::Bad;
        }
        widenRoot(state_.litLen, litLen.rootBits, kLitLenRootBits);
        widenRoot(state_.dist, dist.rootBits, kDistRootBits);
        return codes(state_.litLen, state_.dist);
    }

    // A reference reaching before the current block reads the window's tail,
    // which must hold this folder's data from its start to the copy's end.
    static bool reachesHistory(std::uint32_t pos, std::uint32_t distance, std::uint32_t length,
                               std::uint32_t filled)
    {
        if (distance <= pos) {
            return true;
        }
        const std::uint32_t source = pos + kMszipWindowSize - distance;
        const std::uint32_t end = length < kMszipWindowSize - source ? source + length : kMszipWindowSize;
        return end <= filled;
    }

    // Decodes literal/length and distance codes until the end-of-block code or
    // until the allowance is used up, through the build of the loop this
    // processor runs fastest.
    Outcome codes(const std::uint32_t *litLen, const std::uint32_t *dist)
    {
#ifdef MSZIP_BMI2_LOOP
        if (state_.useBmi2) {
            return codesBmi2(litLen, dist);
        }
#endif
        return codesPlain(litLen, dist);
    }

    Outcome codesPlain(const std::uint32_t *litLen, const std::uint32_t *dist) { return codesLoop(litLen, dist); }
#ifdef MSZIP_BMI2_LOOP
    [[gnu::target("bmi2")]] Outcome codesBmi2(const std::uint32_t *litLen, const std::uint32_t *dist)
    {
        return codesLoop(litLen, dist);
    }
#endif

    [[gnu::always_inline]] Outcome codesLoop(const std::uint32_t *litLen, const std::uint32_t *dist)
    {
        LsbBitReader r = reader_;
        std::uint8_t *const out = out_;
        // Word-sized positions, so that indexing `out` needs no widening.
        std::size_t pos = pos_;
        const std::size_t limit = limit_;
        const std::uint32_t filled = state_.filled;  // changes only between blocks
        // Once a whole block has been produced all of the window is this
        // folder's, and no distance (at most the window's size) needs a check.
        const bool checkReach = filled != kMszipWindowSize;
        // The fast path runs while pos <= fastOutputStop and r.next <=
        // fastInputStop (kept as a number: it may lie before the input).
        const auto fastOutputStop = static_cast<std::ptrdiff_t>(limit) - static_cast<std::ptrdiff_t>(kFastOutput);
        const std::uintptr_t fastInputStop =
            r.end - r.next >= kFastInput ? reinterpret_cast<std::uintptr_t>(r.end) - kFastInput : 0;
        const auto roomForFastPass = [&] {
            return reinterpret_cast<std::uintptr_t>(r.next) <= fastInputStop &&
                   static_cast<std::ptrdiff_t>(pos) <= fastOutputStop;
        };
        constexpr std::uint32_t litLenMask = (1u << kLitLenRootBits) - 1;
        constexpr std::uint32_t distMask = (1u << kDistRootBits) - 1;
        Outcome outcome = Outcome::Bad;

        for (;;) {
            // Fast path: while three refills can each load a whole word and
            // the output has room for the most one pass writes (three
            // literals, or two and a longest match), nothing inside needs a
            // bounds check. The next literal/length entry is looked up as soon
            // as its bits are known, so that the lookup overlaps the work on
            // the current symbol; a refill only adds bits above, so an entry
            // looked up before it stays right.
            //
            // Each pass starts with at least 56 bits held and `entry` looked up
            // from the lowest of them: the paths that use bits refill before
            // they go round again, and a match refills anyway to look up what
            // follows it.
            if (roomForFastPass()) {
                r.refillFast();
                std::uint32_t entry = litLen[r.bits & litLenMask];
                do {
                    if (entryIsLiteral(entry)) {
                        // A refill holds at least 56 bits and a primary-table
                        // literal takes at most 11: three fit, with the lookup
                        // of what follows them, without another.
                        r.drop(entryBits(entry));
                        std::uint8_t literal = static_cast<std::uint8_t>(entry >> 16);
                        entry = litLen[r.bits & litLenMask];
                        out[pos++] = literal;
                        if (entryIsLiteral(entry)) {
                            r.drop(entryBits(entry));
                            literal = static_cast<std::uint8_t>(entry >> 16);
                            entry = litLen[r.bits & litLenMask];
                            out[pos++] = literal;
                            if (entryIsLiteral(entry)) {
                                r.drop(entryBits(entry));
                                literal = static_cast<std::uint8_t>(entry >> 16);
                                entry = litLen[r.bits & litLenMask];
                                out[pos++] = literal;
                                r.refillFast();
                                continue;
                            }
                        }
                        r.refillFast();
                    }
                    // At least 56 bits are held: enough for a length code with
                    // its extra bits (20) and a distance code with its extra
                    // bits (28). Length codes (op below kOpEndOfBlock) are the
                    // common case and pass one test.
                    unsigned op = entryOp(entry);
                    if (op >= kOpEndOfBlock) {
                        if (op > kOpLinkBase) {
                            if (op > kOpLinkLast) {
                                goto done;
                            }
                            r.drop(entryBits(entry));
                            entry = litLen[entryValue(entry) + r.peek(op - kOpLinkBase)];
                            op = entryOp(entry);
                        }
                        if (op >= kOpEndOfBlock) {
                            r.drop(entryBits(entry));
                            if (op == kOpLiteral) {
                                out[pos++] = static_cast<std::uint8_t>(entry >> 16);
                                entry = litLen[r.bits & litLenMask];
                                r.refillFast();
                                continue;
                            }
                            outcome = op == kOpEndOfBlock ? Outcome::EndOfBlock : Outcome::Bad;
                            goto done;
                        }
                    }
                    const std::uint32_t length = entryValue(entry) + codeExtra(r, entry, op);

                    entry = dist[r.bits & distMask];
                    op = entryOp(entry);
                    if (op >= kOpEndOfBlock) {
                        if (op <= kOpLinkBase || op > kOpLinkLast) {
                            goto done;  // invalid distance code, or none in an empty set
                        }
                        r.drop(entryBits(entry));
                        entry = dist[entryValue(entry) + r.peek(op - kOpLinkBase)];
                        op = entryOp(entry);
                        if (op >= kOpEndOfBlock) {
                            goto done;
                        }
                    }
                    const std::uint32_t distance = entryValue(entry) + codeExtra(r, entry, op);
                    r.refillFast();
                    entry = litLen[r.bits & litLenMask];
                    if (distance > pos && checkReach &&
                        !reachesHistory(static_cast<std::uint32_t>(pos), distance, length, filled)) {
                        goto done;
                    }
                    copyMatch(out + pos, distance, length);
                    pos += length;
                } while (roomForFastPass());
            }

            // Slow path: one symbol, with the input padded by zeros and the
            // output cut at the allowance.
            if (pos >= limit) {
                outcome = Outcome::OutputFull;
                goto done;
            }
            if (r.canRefillFast()) {
                r.refillFast();
            } else {
                r.refillSlow();
            }
            std::uint32_t entry = nextEntry(r, litLen, litLenMask);
            unsigned op = entryOp(entry);
            if (op == kOpLiteral) {
                out[pos++] = static_cast<std::uint8_t>(entryValue(entry));
                continue;
            }
            if (op >= kOpEndOfBlock) {
                outcome = op == kOpEndOfBlock ? Outcome::EndOfBlock : Outcome::Bad;
                goto done;
            }
            std::uint32_t length = entryValue(entry) + r.take(op);
            entry = nextEntry(r, dist, distMask);
            op = entryOp(entry);
            if (op >= kOpEndOfBlock) {
                goto done;
            }
            const std::uint32_t distance = entryValue(entry) + r.take(op);
            const bool cut = length > limit - pos;
            if (cut) {
                length = static_cast<std::uint32_t>(limit - pos);
            }
            if (!reachesHistory(static_cast<std::uint32_t>(pos), distance, length, filled)) {
                goto done;
            }
            copyMatch(out + pos, distance, length);
            pos += length;
            if (cut) {
                outcome = Outcome::OutputFull;
                goto done;
            }
        }

    done:
        reader_ = r;
        pos_ = static_cast<std::uint32_t>(pos);
        return outcome;
    }

    LsbBitReader reader_;
    std::uint8_t *out_;
    std::uint32_t pos_ = 0;
    std::uint32_t limit_;
    InflateState &state_;
};

// ---- The BlockDecoder operations ----------------------------------------------------

DecoderResult mszipQueryBufferSizes(std::uint32_t *maxBlockSize, const DecoderParams &,
                                    std::uint32_t *compressedBufferSize)
{
    *maxBlockSize = normalisedBlockSize(*maxBlockSize);
    *compressedBufferSize = *maxBlockSize + kMszipBlockOverhead;
    return DecoderResult::Ok;
}

DecoderResult mszipCreate(std::uint32_t *maxBlockSize, const DecoderParams &, const DecoderCallbacks &callbacks,
                          void **decoder)
{
    *decoder = nullptr;
    *maxBlockSize = normalisedBlockSize(*maxBlockSize);
    auto *object = static_cast<MszipDecoderObject *>(callbacks.alloc(sizeof(MszipDecoderObject)));
    if (object == nullptr) {
        return DecoderResult::NoMemory;
    }
    auto *state = static_cast<InflateState *>(callbacks.alloc(sizeof(InflateState)));
    if (state == nullptr) {
        callbacks.free(object);
        return DecoderResult::NoMemory;
    }
    std::memset(state, 0, sizeof *state);
#ifdef MSZIP_BMI2_LOOP
    __builtin_cpu_init();
    state->useBmi2 = __builtin_cpu_supports("bmi2") != 0;
#endif
    fixedTables();
    object->tag = kMszipTag;
    object->free = callbacks.free;
    object->maxBlockSize = *maxBlockSize;
    object->state = state;
    *decoder = object;
    return DecoderResult::Ok;
}

DecoderResult mszipDecodeBlock(void *decoder, const std::uint8_t *in, std::uint32_t inSize, std::uint8_t *out,
                               std::uint32_t *outSize)
{
    // Nothing is reported as produced unless decoding starts.
    const std::uint32_t requested = *outSize;
    *outSize = 0;
    MszipDecoderObject *object = checkedObject(decoder);
    if (object == nullptr) {
        return DecoderResult::BadHandle;
    }
    if (inSize > object->maxBlockSize + kMszipBlockOverhead) {
        return DecoderResult::BadSize;
    }
    const std::uint32_t allowance = requested < object->maxBlockSize ? requested : object->maxBlockSize;
    if (inSize < 2 || in[0] != 'C' || in[1] != 'K') {
        return DecoderResult::BadData;
    }

    InflateState &state = *object->state;
    if (state.windowStart == kOutputSlots * kMszipWindowSize) {
        std::memcpy(state.area, state.area + state.windowStart, kMszipWindowSize);
        state.windowStart = 0;
    }
    const std::uint8_t *const window = state.area + state.windowStart;
    std::uint8_t *const block = state.area + state.windowStart + kMszipWindowSize;
    Inflater inflater(in + 2, inSize - 2, block, allowance, state);
    const DecoderResult result = inflater.run();
    const std::uint32_t produced = inflater.produced();
    std::memcpy(out, block, produced);
    // The block's slot becomes the window: the block, then what the window
    // held beyond it (over what copies ran past the block's end).
    std::memcpy(block + produced, window + produced, kMszipWindowSize - produced);
    state.windowStart += kMszipWindowSize;
    *outSize = produced;
    if (produced > state.filled) {
        state.filled = produced;
    }
    return result;
}

DecoderResult mszipReset(void *decoder)
{
    MszipDecoderObject *object = checkedObject(decoder);
    if (object == nullptr) {
        return DecoderResult::BadHandle;
    }
    // The window's bytes stay; only the claim that they belong to the folder goes.
    object->state->filled = 0;
    return DecoderResult::Ok;
}

DecoderResult mszipDestroy(void *decoder)
{
    MszipDecoderObject *object = checkedObject(decoder);
    if (object == nullptr) {
        return DecoderResult::BadHandle;
    }
    object->tag = 0;
    const CabFreeFn release = object->free;
    release(object->state);
    release(object);
    return DecoderResult::Ok;
}

}  // namespace

const BlockDecoder kMszipDecoder = {
    mszipQueryBufferSizes, mszipCreate, mszipDecodeBlock, mszipReset, mszipDestroy,
};
