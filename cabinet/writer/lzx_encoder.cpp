// LZX: the folder's stream is coded as one LZX bit stream cut into frames, one
// frame per data block. The encoder holds up to framesPerRun data blocks,
// parses them with the match finder (matches never cross a frame end or an
// LZX block end), decides its own blocks, and emits them:
// - an incompressible frame becomes an uncompressed block, and neighbouring
//   frames of one kind share a block, so blocks span several frames;
// - a compressed block is aligned-offset when coding the low three footer
//   bits with the aligned tree is cheaper than sending them plainly;
// - trees are sent with the pretree, as differences from the previous block's
//   lengths, with the run codes for zeros and for repeated lengths.
// Every frame's bits are padded to a 16-bit boundary, since a reader starts
// each data block afresh; an uncompressed block runs on from frame to frame
// as plain bytes.
#include "encoder.h"

#include "huffman.h"
#include "lzx_format.h"
#include "lzx_matcher.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace cabwriter {

namespace {

using namespace lzx;

// The largest data block a reader accepts: one frame plus 6144.
constexpr std::uint32_t kMaxLzxBlock = kBlockSize + 6144;
constexpr std::uint32_t kTranslationSize = 12000000;
// Readers translate only the first 32768 frames of a folder.
constexpr std::uint32_t kTranslatedFrames = 32768;
constexpr std::uint32_t kMaxBlockLength = (1u << 24) - 1;

// Bits are packed into 16-bit little-endian words, most significant bit first.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t> &out) : out_(out) {}

    void put(std::uint32_t value, unsigned bits)
    {
        if (bits > 16) {
            put(value >> 16, bits - 16);
            bits = 16;
            value &= 0xFFFF;
        }
        acc_ = (acc_ << bits) | value;
        count_ += bits;
        if (count_ >= 16) {
            count_ -= 16;
            const std::uint32_t word = acc_ >> count_;
            out_.push_back(static_cast<std::uint8_t>(word & 0xFF));
            out_.push_back(static_cast<std::uint8_t>((word >> 8) & 0xFF));
            acc_ &= (1u << count_) - 1;
        }
    }

    void alignToWord()
    {
        if (count_ != 0) {
            put(0, 16 - count_);
        }
    }

    // Before the bytes of an uncompressed block the reader drops the rest of
    // the current word, or a whole word when the header ended on a boundary.
    void padBeforeBytes() { put(0, 16 - count_); }

private:
    std::vector<std::uint8_t> &out_;
    std::uint32_t acc_ = 0;
    unsigned count_ = 0;
};

struct Code {
    std::vector<std::uint8_t> lengths;
    std::vector<std::uint16_t> codes;

    void build(const std::uint32_t *frequencies, std::size_t count, unsigned maxLength)
    {
        lengths.assign(count, 0);
        codes.assign(count, 0);
        buildCodeLengths(frequencies, count, maxLength, lengths.data());
        canonicalCodes(lengths.data(), count, codes.data());
    }

    void write(BitWriter &bits, std::size_t symbol) const { bits.put(codes[symbol], lengths[symbol]); }
};

// The x86 CALL rewrite, undone by the reader after decoding: a 32-bit
// relative target behind 0xE8 becomes absolute, counted from the start of the
// folder, in the form that the reader maps back.
void translateCalls(std::uint8_t *frame, std::uint32_t size, std::uint32_t position)
{
    if (size <= 6) {
        return;
    }
    for (std::uint32_t i = 0; i < size - 6;) {
        if (frame[i] != 0xE8) {
            ++i;
            continue;
        }
        std::uint8_t *p = frame + i + 1;
        const auto relative = static_cast<std::int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24));
        const std::int64_t at = std::int64_t{position} + i;
        const std::int64_t r = relative;
        std::int64_t value = r;
        if (r >= -at && r < std::int64_t{kTranslationSize} - at) {
            value = r + at;
        } else if (r >= std::int64_t{kTranslationSize} - at && r < std::int64_t{kTranslationSize}) {
            value = r - kTranslationSize;
        }
        const auto stored = static_cast<std::uint32_t>(value);
        p[0] = static_cast<std::uint8_t>(stored & 0xFF);
        p[1] = static_cast<std::uint8_t>((stored >> 8) & 0xFF);
        p[2] = static_cast<std::uint8_t>((stored >> 16) & 0xFF);
        p[3] = static_cast<std::uint8_t>(stored >> 24);
        i += 5;
    }
}

// A stretch of held input that becomes one block or joins its neighbours.
struct Unit {
    std::uint64_t begin = 0, end = 0;
    std::size_t firstToken = 0, endToken = 0;
    Repeats repeatsAfter;
    bool incompressible = false;
};

struct PlannedBlock {
    BlockType type = Verbatim;
    std::size_t firstUnit = 0, endUnit = 0;
};

// Per-block symbol statistics.
struct Statistics {
    std::vector<std::uint32_t> main;
    std::uint32_t length[kLengthSymbols] = {};
    std::uint32_t aligned[kAlignedSymbols] = {};
    std::uint64_t footerBits = 0;
    std::uint64_t alignedFooters = 0;
};

// What the reader carries from block to block, snapshotted so that a run can
// be emitted again differently.
struct StreamState {
    std::vector<std::uint8_t> mainLengths;
    std::uint8_t lengthLengths[kLengthSymbols] = {};
    bool firstHeader = true;
    bool padPending = false;
};

class LzxEncoder final : public BlockEncoder {
public:
    explicit LzxEncoder(const LzxSettings &settings)
        : settings_(settings), mainCount_(mainSymbols(settings.windowBits)),
          matcher_(settings.windowBits, settings.framesPerRun * kBlockSize, settings.chainDepth)
    {
        state_.mainLengths.assign(mainCount_, 0);
    }

    // Codes one data block at once, so that no LZX block runs past it; for
    // callers that need each data block's bytes before giving the next.
    bool encodeBlock(const std::uint8_t *data, std::uint32_t size, std::vector<std::uint8_t> &out,
                     std::string &error) override
    {
        std::vector<EncodedBlock> ready;
        if (!held_.empty() || !hold(data, size, error) || !encodeHeld(ready, error)) {
            if (error.empty()) {
                error = "LZX: blocks already held back";
            }
            return false;
        }
        out = std::move(ready.front().data);
        return true;
    }

    bool queueBlock(const std::uint8_t *data, std::uint32_t size, std::vector<EncodedBlock> &ready,
                    std::string &error) override
    {
        if (!hold(data, size, error)) {
            return false;
        }
        return held_.size() < settings_.framesPerRun || encodeHeld(ready, error);
    }

    bool flush(std::vector<EncodedBlock> &ready, std::string &error) override
    {
        return held_.empty() || encodeHeld(ready, error);
    }

    std::uint32_t heldBlocks() const override { return static_cast<std::uint32_t>(held_.size()); }

private:
    bool hold(const std::uint8_t *data, std::uint32_t size, std::string &error)
    {
        if (size == 0 || size > kBlockSize || ended_) {
            error = "LZX: data blocks must hold 32768 bytes, only the last fewer";
            return false;
        }
        ended_ = size < kBlockSize;
        std::uint8_t *room = matcher_.append(size);
        std::memcpy(room, data, size);
        if (settings_.callTranslation && frames_ < kTranslatedFrames) {
            translateCalls(room, size, static_cast<std::uint32_t>(streamEnd_));
        }
        ++frames_;
        streamEnd_ += size;
        held_.push_back(size);
        return true;
    }

    std::uint32_t index(std::uint64_t position) const { return static_cast<std::uint32_t>(position - matcher_.base()); }

    bool encodeHeld(std::vector<EncodedBlock> &ready, std::string &error)
    {
        std::uint64_t start = streamEnd_;
        for (std::uint32_t size : held_) {
            start -= size;
        }
        const std::vector<Unit> units = parseUnits(start);
        std::vector<PlannedBlock> blocks = planBlocks(units);

        const StreamState saved = state_;
        std::vector<EncodedBlock> frames;
        bool fits = emit(units, blocks, start, frames);
        if (!fits && settings_.blocks == LzxBlocks::Chosen) {
            // Coded blocks with borrowed statistics can outgrow a data block;
            // plain bytes always fit.
            state_ = saved;
            frames.clear();
            for (PlannedBlock &block : blocks) {
                block.type = Uncompressed;
            }
            fits = emit(units, blocks, start, frames);
        }
        if (!fits) {
            error = "LZX: a data block came out larger than a reader accepts";
            return false;
        }
        for (EncodedBlock &frame : frames) {
            ready.push_back(std::move(frame));
        }
        held_.clear();
        return true;
    }

    std::vector<Unit> parseUnits(std::uint64_t start)
    {
        std::vector<std::uint64_t> frameEnds;
        std::uint64_t at = start;
        for (std::uint32_t size : held_) {
            at += size;
            frameEnds.push_back(at);
        }
        const std::uint64_t end = at;
        const std::uint64_t step =
            settings_.blockLength != 0 ? std::min(settings_.blockLength, kMaxBlockLength) : kBlockSize;

        tokens_.clear();
        std::vector<Unit> units;
        std::size_t nextFrame = 0;
        for (std::uint64_t begin = start; begin < end;) {
            while (frameEnds[nextFrame] <= begin) {
                ++nextFrame;
            }
            Unit unit;
            unit.begin = begin;
            unit.end = settings_.blockLength != 0 ? std::min(end, begin + step) : frameEnds[nextFrame];
            unit.firstToken = tokens_.size();
            for (std::uint64_t from = begin; from < unit.end;) {
                while (frameEnds[nextFrame] <= from) {
                    ++nextFrame;
                }
                const std::uint64_t to = std::min(unit.end, frameEnds[nextFrame]);
                matcher_.parse(index(from), index(to), repeats_, tokens_);
                from = to;
            }
            unit.endToken = tokens_.size();
            unit.repeatsAfter = repeats_;
            unit.incompressible = estimateBits(unit) >= 8 * (unit.end - unit.begin) + 128;
            units.push_back(unit);
            begin = unit.end;
        }
        return units;
    }

    // Order-0 entropy of the unit's symbols, plus footers and a rough price
    // for sending the trees.
    std::uint64_t estimateBits(const Unit &unit) const
    {
        Statistics stats = count(unit.firstToken, unit.endToken);
        double bits = static_cast<double>(stats.footerBits);
        std::uint32_t used = 0;
        auto entropy = [&bits, &used](const std::uint32_t *f, std::size_t n) {
            std::uint64_t total = 0;
            for (std::size_t s = 0; s < n; ++s) {
                total += f[s];
            }
            for (std::size_t s = 0; s < n; ++s) {
                if (f[s] != 0) {
                    bits += f[s] * std::log2(static_cast<double>(total) / f[s]);
                    ++used;
                }
            }
        };
        entropy(stats.main.data(), stats.main.size());
        entropy(stats.length, kLengthSymbols);
        return static_cast<std::uint64_t>(bits) + 240 + 6u * used;
    }

    Statistics count(std::size_t first, std::size_t end) const
    {
        Statistics stats;
        stats.main.assign(mainCount_, 0);
        for (std::size_t t = first; t < end; ++t) {
            const Token &token = tokens_[t];
            if (token.length == 0) {
                ++stats.main[token.literal];
                continue;
            }
            const unsigned header = std::min<unsigned>(token.length - kMinMatch, 7);
            ++stats.main[kLiterals + token.slot * kLengthHeaders + header];
            if (header == 7) {
                ++stats.length[token.length - kMinMatch - 7];
            }
            const unsigned extra = extraBits(token.slot);
            stats.footerBits += extra;
            if (extra >= 3) {
                ++stats.aligned[token.footer & 7];
                ++stats.alignedFooters;
            }
        }
        return stats;
    }

    std::vector<PlannedBlock> planBlocks(const std::vector<Unit> &units) const
    {
        std::vector<PlannedBlock> blocks;
        for (std::size_t u = 0; u < units.size(); ++u) {
            const bool joins = settings_.blockLength == 0 && !blocks.empty() &&
                               units[blocks.back().firstUnit].incompressible == units[u].incompressible;
            if (joins) {
                blocks.back().endUnit = u + 1;
                continue;
            }
            blocks.push_back(PlannedBlock{Verbatim, u, u + 1});
        }
        for (PlannedBlock &block : blocks) {
            switch (settings_.blocks) {
            case LzxBlocks::Verbatim:
                block.type = Verbatim;
                break;
            case LzxBlocks::Aligned:
                block.type = Aligned;
                break;
            case LzxBlocks::Uncompressed:
                block.type = Uncompressed;
                break;
            case LzxBlocks::Chosen:
                block.type = units[block.firstUnit].incompressible ? Uncompressed : Verbatim;
                break;
            }
        }
        return blocks;
    }

    // Writes the run's blocks into one output per held frame. Answers false
    // when a frame's bytes exceed what a reader accepts.
    bool emit(const std::vector<Unit> &units, const std::vector<PlannedBlock> &blocks, std::uint64_t start,
              std::vector<EncodedBlock> &frames)
    {
        std::vector<std::uint8_t> bytes;
        BitWriter bits(bytes);
        std::size_t frame = 0;
        std::uint64_t frameEnd = start + held_[0];
        std::uint64_t position = start;
        bool fits = true;
        auto advance = [&](std::uint64_t n, bool inBits) {
            position += n;
            if (position != frameEnd) {
                return;
            }
            if (inBits) {
                bits.alignToWord();
            }
            fits = fits && bytes.size() <= kMaxLzxBlock;
            frames.push_back(EncodedBlock{std::move(bytes), held_[frame]});
            bytes.clear();
            if (++frame < held_.size()) {
                frameEnd += held_[frame];
            }
        };

        for (const PlannedBlock &block : blocks) {
            const Unit &first = units[block.firstUnit];
            const Unit &last = units[block.endUnit - 1];
            const auto length = static_cast<std::uint32_t>(last.end - first.begin);
            if (state_.padPending) {
                bytes.push_back(0);
                state_.padPending = false;
            }
            if (state_.firstHeader) {
                state_.firstHeader = false;
                bits.put(settings_.callTranslation ? 1 : 0, 1);
                if (settings_.callTranslation) {
                    bits.put(kTranslationSize, 32);
                }
            }
            if (block.type == Uncompressed) {
                bits.put(Uncompressed, 3);
                bits.put(length, 24);
                bits.padBeforeBytes();
                for (std::uint32_t r : last.repeatsAfter.r) {
                    for (unsigned shift = 0; shift < 32; shift += 8) {
                        bytes.push_back(static_cast<std::uint8_t>((r >> shift) & 0xFF));
                    }
                }
                while (position < last.end) {
                    const std::uint64_t take = std::min(last.end, frameEnd) - position;
                    const std::uint8_t *from = matcher_.data() + index(position);
                    bytes.insert(bytes.end(), from, from + take);
                    advance(take, false);
                }
                state_.padPending = (length & 1) != 0;
                continue;
            }
            const Statistics stats = count(first.firstToken, last.endToken);
            Code aligned;
            aligned.build(stats.aligned, kAlignedSymbols, kMaxAlignedLength);
            BlockType type = block.type;
            if (settings_.blocks == LzxBlocks::Chosen) {
                std::uint64_t alignedBits = 3 * kAlignedSymbols;
                for (unsigned s = 0; s < kAlignedSymbols; ++s) {
                    alignedBits += std::uint64_t{stats.aligned[s]} * aligned.lengths[s];
                }
                type = alignedBits < 3 * stats.alignedFooters ? Aligned : Verbatim;
            }
            if (type == Aligned && stats.alignedFooters == 0) {
                // Nothing to code with it, but the tree must still be complete.
                std::fill(aligned.lengths.begin(), aligned.lengths.end(), std::uint8_t{3});
                canonicalCodes(aligned.lengths.data(), kAlignedSymbols, aligned.codes.data());
            }
            Code main;
            main.build(stats.main.data(), mainCount_, kMaxCodeLength);
            Code lengths;
            lengths.build(stats.length, kLengthSymbols, kMaxCodeLength);

            bits.put(type, 3);
            bits.put(length, 24);
            if (type == Aligned) {
                for (unsigned s = 0; s < kAlignedSymbols; ++s) {
                    bits.put(aligned.lengths[s], 3);
                }
            }
            writeTree(bits, main.lengths.data(), state_.mainLengths.data(), kLiterals);
            writeTree(bits, main.lengths.data() + kLiterals, state_.mainLengths.data() + kLiterals,
                      mainCount_ - kLiterals);
            writeTree(bits, lengths.lengths.data(), state_.lengthLengths, kLengthSymbols);
            state_.mainLengths = main.lengths;
            std::copy(lengths.lengths.begin(), lengths.lengths.end(), state_.lengthLengths);

            for (std::size_t t = first.firstToken; t < last.endToken; ++t) {
                const Token &token = tokens_[t];
                if (token.length == 0) {
                    main.write(bits, token.literal);
                    advance(1, true);
                    continue;
                }
                const unsigned header = std::min<unsigned>(token.length - kMinMatch, 7);
                main.write(bits, kLiterals + token.slot * kLengthHeaders + header);
                if (header == 7) {
                    lengths.write(bits, token.length - kMinMatch - 7);
                }
                const unsigned extra = extraBits(token.slot);
                if (type == Aligned && extra >= 3) {
                    bits.put(token.footer >> 3, extra - 3);
                    aligned.write(bits, token.footer & 7);
                } else {
                    bits.put(token.footer, extra);
                }
                advance(token.length, true);
            }
        }
        return fits;
    }

    // One section of a tree as pretree codes: each length as its difference
    // from the previous block's, runs of zeros, and runs of 4 or 5 equal
    // lengths (whose difference the reader takes from the run's first entry).
    static void writeTree(BitWriter &bits, const std::uint8_t *next, const std::uint8_t *previous, std::size_t count)
    {
        struct Op {
            std::uint8_t symbol;
            std::uint8_t extraBits;
            std::uint8_t extra;
            std::uint8_t follow;  // the difference after a run of equal lengths
        };
        auto delta = [&](std::size_t i) {
            return static_cast<std::uint8_t>((previous[i] + 17 - next[i]) % 17);
        };
        std::vector<Op> ops;
        std::uint32_t frequencies[kPretreeSymbols] = {};
        for (std::size_t i = 0; i < count;) {
            std::size_t run = 1;
            while (i + run < count && next[i + run] == next[i] && run < (next[i] == 0 ? 51u : 5u)) {
                ++run;
            }
            Op op{delta(i), 0, 0, 0};
            if (next[i] == 0 && run >= 20) {
                op = Op{18, 5, static_cast<std::uint8_t>(run - 20), 0};
            } else if (next[i] == 0 && run >= 4) {
                run = std::min<std::size_t>(run, 19);
                op = Op{17, 4, static_cast<std::uint8_t>(run - 4), 0};
            } else if (next[i] != 0 && run >= 4) {
                op = Op{19, 1, static_cast<std::uint8_t>(run - 4), delta(i)};
                ++frequencies[op.follow];
            } else {
                run = 1;
            }
            ++frequencies[op.symbol];
            ops.push_back(op);
            i += run;
        }
        Code pretree;
        pretree.build(frequencies, kPretreeSymbols, kMaxPretreeLength);
        for (unsigned s = 0; s < kPretreeSymbols; ++s) {
            bits.put(pretree.lengths[s], 4);
        }
        for (const Op &op : ops) {
            pretree.write(bits, op.symbol);
            bits.put(op.extra, op.extraBits);
            if (op.symbol == 19) {
                pretree.write(bits, op.follow);
            }
        }
    }

    LzxSettings settings_;
    unsigned mainCount_;
    Matcher matcher_;
    Repeats repeats_;
    StreamState state_;
    std::vector<Token> tokens_;
    std::vector<std::uint32_t> held_;
    std::uint64_t streamEnd_ = 0;
    std::uint32_t frames_ = 0;
    bool ended_ = false;
};

}  // namespace

std::unique_ptr<BlockEncoder> makeLzxEncoder(const LzxSettings &settings, std::string &error)
{
    if (settings.windowBits < kMinWindowBits || settings.windowBits > kMaxWindowBits) {
        error = "LZX window exponent " + std::to_string(settings.windowBits) + " is not between 15 and 21";
        return nullptr;
    }
    if (settings.framesPerRun == 0 || std::uint64_t{settings.framesPerRun} * kBlockSize > kMaxBlockLength) {
        error = "LZX: between 1 and 511 data blocks may be coded together";
        return nullptr;
    }
    return std::make_unique<LzxEncoder>(settings);
}

}  // namespace cabwriter
