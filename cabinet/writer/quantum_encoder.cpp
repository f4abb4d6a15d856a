// Quantum: LZ77 whose literals, match lengths and match positions are coded
// with an adaptive arithmetic coder over seven models.
//
// What a reader keeps and what it restarts decides the shape of this encoder:
// - The window and the seven models carry over from block to block within a
//   folder, so this object lives for the whole folder.
// - The arithmetic coder starts afresh in every block: every block begins at a
//   byte boundary and is flushed at its end, and no match crosses a block end.
// - Extra bits are read from the same bit stream as the coder's input, at the
//   moment the reader needs them. The reader's code value runs 16 bits ahead
//   of the coder, so the extra bits of a symbol lie in the stream after the 16
//   look-ahead bits and every code bit the reader has shifted in so far, which
//   is ahead of the bits this encoder can already settle. BitPlacer keeps the
//   stream in the reader's order: it reserves a place for every code bit the
//   reader will take and writes the extra bits where the reader will find
//   them; the coder fills its reserved places as its bits become known.
#include "encoder.h"

#include <algorithm>
#include <array>
#include <bit>

namespace cabwriter {

namespace {

// ---------------------------------------------------------------------------
// Slots

constexpr unsigned kPositionSlots = 42;
constexpr unsigned kLengthSlots = 27;
constexpr unsigned kMinMatch = 3;
constexpr unsigned kMaxMatch = 259;  // length slot 26: base 254, plus 5

struct SlotTables {
    std::array<std::uint32_t, kPositionSlots> positionBase{};
    std::array<std::uint8_t, kPositionSlots> positionExtra{};
    std::array<std::uint16_t, kLengthSlots> lengthBase{};
    std::array<std::uint8_t, kLengthSlots> lengthExtra{};
    // Slot of each longer-match length minus 5 (0 to 254).
    std::array<std::uint8_t, kMaxMatch - 4> lengthSlot{};

    SlotTables()
    {
        // Two position slots per extra-bit count: 0, 0, 0, 0, 1, 1, 2, 2, ... 19, 19.
        std::uint32_t base = 0;
        for (unsigned i = 0; i < kPositionSlots; ++i) {
            positionExtra[i] = static_cast<std::uint8_t>(i < 4 ? 0 : i / 2 - 1);
            positionBase[i] = base;
            base += 1u << positionExtra[i];
        }
        // Six slots without extra bits, then 1 to 5 extra bits four slots each, then one without.
        base = 0;
        for (unsigned i = 0; i < kLengthSlots; ++i) {
            lengthExtra[i] = static_cast<std::uint8_t>(i < 6 || i == 26 ? 0 : (i - 6) / 4 + 1);
            lengthBase[i] = static_cast<std::uint16_t>(base);
            for (std::uint32_t v = base; v < base + (1u << lengthExtra[i]); ++v) {
                lengthSlot[v] = static_cast<std::uint8_t>(i);
            }
            base += 1u << lengthExtra[i];
        }
    }

    // Slot of a distance minus 1; bases double every second slot from slot 4.
    static unsigned positionSlot(std::uint32_t value)
    {
        if (value < 4) {
            return value;
        }
        const unsigned top = static_cast<unsigned>(std::bit_width(value)) - 1;
        return 2 * top + ((value >> (top - 1)) & 1u);
    }
};

const SlotTables &slots()
{
    static const SlotTables tables;
    return tables;
}

// ---------------------------------------------------------------------------
// Adaptive models, kept exactly as the reader keeps them

constexpr unsigned kMaxSymbols = 64;
constexpr std::uint32_t kRescaleTotal = 3801;
constexpr std::uint32_t kIncrement = 8;

// Entries in order of decreasing cumulative frequency; entry 0 holds the total
// and entry n holds 0, so entry i codes the interval [cum[i + 1], cum[i]).
class Model {
public:
    void reset(unsigned symbols)
    {
        count_ = symbols;
        halvingsLeft_ = 4;
        for (unsigned j = 0; j <= count_; ++j) {
            cum_[j] = count_ - j;
            symbol_[j] = static_cast<std::uint8_t>(j);
        }
        indexEntries();
    }

    unsigned entryOf(unsigned symbol) const { return entry_[symbol]; }
    std::uint32_t cumulative(unsigned entry) const { return cum_[entry]; }

    void update(unsigned entry)
    {
        for (unsigned j = 0; j <= entry; ++j) {
            cum_[j] += kIncrement;
        }
        if (cum_[0] >= kRescaleTotal) {
            rescale();
        }
    }

private:
    void rescale()
    {
        if (halvingsLeft_-- != 1) {
            for (unsigned j = count_; j-- > 0;) {
                cum_[j] >>= 1;
                if (cum_[j] <= cum_[j + 1]) {
                    cum_[j] = cum_[j + 1] + 1;
                }
            }
            return;
        }
        halvingsLeft_ = 50;
        for (unsigned j = 0; j < count_; ++j) {
            cum_[j] = (cum_[j] - cum_[j + 1] + 1) >> 1;
        }
        // Exchange sort, largest first, exactly as the reader sorts: the order in
        // which equal frequencies end up depends on it.
        for (unsigned i = 0; i + 1 < count_; ++i) {
            for (unsigned j = i + 1; j < count_; ++j) {
                if (cum_[i] < cum_[j]) {
                    std::swap(cum_[i], cum_[j]);
                    std::swap(symbol_[i], symbol_[j]);
                }
            }
        }
        for (unsigned j = count_; j-- > 0;) {
            cum_[j] += cum_[j + 1];
        }
        indexEntries();
    }

    void indexEntries()
    {
        for (unsigned j = 0; j < count_; ++j) {
            entry_[symbol_[j]] = static_cast<std::uint8_t>(j);
        }
    }

    unsigned count_ = 0;
    unsigned halvingsLeft_ = 4;
    std::array<std::uint32_t, kMaxSymbols + 1> cum_{};
    std::array<std::uint8_t, kMaxSymbols + 1> symbol_{};
    std::array<std::uint8_t, kMaxSymbols> entry_{};
};

// ---------------------------------------------------------------------------
// The block's bit stream in the reader's order

class BitPlacer {
public:
    void start(std::vector<std::uint8_t> &out)
    {
        out_ = &out;
        out.clear();
        next_ = 0;
        codePlaces_.clear();
        filled_ = 0;
    }

    // The reader takes its next bit into the code value.
    void reserveCodeBit()
    {
        grow();
        codePlaces_.push_back(next_++);
    }

    // The coder's next settled bit goes to the oldest place reserved for it.
    void putCodeBit(unsigned bit)
    {
        const std::uint32_t at = codePlaces_[filled_++];
        if (bit != 0) {
            (*out_)[at >> 3] |= static_cast<std::uint8_t>(0x80u >> (at & 7));
        }
    }

    // The reader takes count bits of value, most significant first.
    void putRaw(std::uint32_t value, unsigned count)
    {
        while (count-- > 0) {
            grow();
            if (((value >> count) & 1u) != 0) {
                (*out_)[next_ >> 3] |= static_cast<std::uint8_t>(0x80u >> (next_ & 7));
            }
            ++next_;
        }
    }

private:
    void grow()
    {
        if ((next_ >> 3) >= out_->size()) {
            out_->push_back(0);
        }
    }

    std::vector<std::uint8_t> *out_ = nullptr;
    std::uint32_t next_ = 0;
    std::vector<std::uint32_t> codePlaces_;
    std::size_t filled_ = 0;
};

// ---------------------------------------------------------------------------
// Arithmetic encoder: the reader's 16-bit low and high, narrowed the same way,
// with the bits of an underflow held back until the next settled bit.

class ArithmeticEncoder {
public:
    explicit ArithmeticEncoder(BitPlacer &bits) : bits_(bits) {}

    void start()
    {
        low_ = 0;
        high_ = 0xFFFF;
        held_ = 0;
        for (int i = 0; i < 16; ++i) {
            bits_.reserveCodeBit();
        }
    }

    void encode(Model &model, unsigned symbol)
    {
        const unsigned entry = model.entryOf(symbol);
        const std::uint32_t total = model.cumulative(0);
        const std::uint32_t range = high_ - low_ + 1;
        high_ = low_ + model.cumulative(entry) * range / total - 1;
        low_ = low_ + model.cumulative(entry + 1) * range / total;
        for (;;) {
            if ((low_ ^ high_) & 0x8000u) {
                if ((low_ & 0x4000u) == 0 || (high_ & 0x4000u) != 0) {
                    break;
                }
                ++held_;
                low_ &= 0x3FFFu;
                high_ |= 0x4000u;
            } else {
                settle(low_ >> 15);
            }
            low_ = (low_ << 1) & 0xFFFFu;
            high_ = ((high_ << 1) & 0xFFFFu) | 1u;
            bits_.reserveCodeBit();
        }
        model.update(entry);
    }

    // Settles a value inside the final interval whatever the reader finds in
    // the places after it (they hold 0). Low and high straddle the middle
    // without an underflow, so low < 0x4000 or high >= 0xC000, and the two
    // bits 01 or 10 (with the held bits) name a quarter inside the interval.
    void finish()
    {
        ++held_;
        settle(low_ < 0x4000u ? 0u : 1u);
    }

private:
    void settle(unsigned bit)
    {
        bits_.putCodeBit(bit);
        for (; held_ > 0; --held_) {
            bits_.putCodeBit(bit ^ 1u);
        }
    }

    BitPlacer &bits_;
    std::uint32_t low_ = 0;
    std::uint32_t high_ = 0xFFFF;
    std::uint32_t held_ = 0;
};

// ---------------------------------------------------------------------------
// Match finder. Hash chains over four-byte strings find the long matches; in a
// window of megabytes, chains over three-byte strings would fill up with short
// common strings and hide them. Three-byte matches, which only pay near by,
// come from a table of the latest position of each three-byte string.

constexpr unsigned kShortHashBits = 16;
// Up to two heads per window position keep chains short on incompressible
// data; beyond 2^18 heads a larger table only costs more to clear per folder.
constexpr unsigned kMaxHashBits = 18;
constexpr unsigned kChainDepth = 128;
constexpr unsigned kGoodEnough = 128;  // stop searching at a match this long
constexpr unsigned kLazyBelow = 32;    // look one byte ahead for matches shorter than this
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

struct Match {
    unsigned length = 0;
    std::uint32_t distance = 0;

    // Rough bits saved against literals: about 5 bits a literal, about 8 for
    // a match's symbols, plus the extra bits of its distance.
    int gain() const
    {
        if (length == 0) {
            return 0;
        }
        const std::uint32_t value = distance - 1;
        const int extra = value < 4 ? 0 : static_cast<int>(std::bit_width(value)) - 2;
        return 5 * static_cast<int>(length) - 8 - extra;
    }
};

class MatchFinder {
public:
    MatchFinder(unsigned windowBits, std::uint32_t maxDistance3, std::uint32_t maxDistance4)
        : windowSize_(1u << windowBits),
          hashBits_(std::min(windowBits + 1, kMaxHashBits)),
          maxDistance3_(maxDistance3),
          maxDistance4_(maxDistance4),
          latest3_(std::size_t{1} << kShortHashBits, kNone),
          head_(std::size_t{1} << hashBits_, kNone),
          prev_(windowSize_, kNone)
    {
    }

    // Appends the next block of the stream, dropping history beyond the window.
    void append(const std::uint8_t *data, std::uint32_t size)
    {
        const std::size_t keepAbove = std::max<std::size_t>(2 * std::size_t{windowSize_}, 1u << 18);
        if (history_.size() > keepAbove) {
            const std::size_t drop = history_.size() - windowSize_;
            history_.erase(history_.begin(), history_.begin() + static_cast<std::ptrdiff_t>(drop));
            historyStart_ += static_cast<std::uint32_t>(drop);
        }
        history_.insert(history_.end(), data, data + size);
    }

    std::uint32_t end() const { return historyStart_ + static_cast<std::uint32_t>(history_.size()); }
    std::uint8_t at(std::uint32_t position) const { return history_[position - historyStart_]; }

    // Enters every position before limit whose four bytes are known.
    void insertUpTo(std::uint32_t limit)
    {
        const std::uint32_t hashable = end() >= 3 ? end() - 3 : 0;
        const std::uint32_t stop = std::min(limit, hashable);
        for (; inserted_ < stop; ++inserted_) {
            const std::uint8_t *p = &history_[inserted_ - historyStart_];
            latest3_[hash3(p)] = inserted_;
            const std::uint32_t h = hash4(p);
            prev_[inserted_ & (windowSize_ - 1)] = head_[h];
            head_[h] = inserted_;
        }
    }

    // The best match at position that the reader can take, no longer than
    // maxLength; every position before it must have been entered.
    Match find(std::uint32_t position, unsigned maxLength) const
    {
        Match best;
        if (maxLength < kMinMatch) {
            return best;
        }
        const std::uint8_t *here = &history_[position - historyStart_];
        consider(position, latest3_[hash3(here)], here, maxLength, best);
        if (maxLength < 4) {
            return best;
        }
        unsigned depth = kChainDepth;
        for (std::uint32_t candidate = head_[hash4(here)]; candidate != kNone && depth-- > 0;
             candidate = prev_[candidate & (windowSize_ - 1)]) {
            if (!consider(position, candidate, here, maxLength, best) || best.length >= kGoodEnough) {
                break;
            }
        }
        return best;
    }

private:
    // Measures the match at candidate and keeps it if it saves more; false
    // once no later candidate of a chain can do better: this one lies beyond
    // the window (so do all after it), or the best is as long as allowed.
    bool consider(std::uint32_t position, std::uint32_t candidate, const std::uint8_t *here, unsigned maxLength,
                  Match &best) const
    {
        const std::uint32_t distance = position - candidate;
        if (best.length >= maxLength || candidate == kNone || candidate >= position || distance > windowSize_) {
            return false;
        }
        const std::uint8_t *there = &history_[candidate - historyStart_];
        if (there[best.length] != here[best.length] || there[0] != here[0]) {
            return true;
        }
        unsigned length = 0;
        while (length < maxLength && there[length] == here[length]) {
            ++length;
        }
        const Match match{length, distance};
        if (length >= kMinMatch && usable(match) && match.gain() > best.gain()) {
            best = match;
        }
        return true;
    }

    // Matches of length 3 and 4 have position models with fewer slots.
    bool usable(const Match &m) const
    {
        return m.length >= 5 || (m.length == 4 ? m.distance <= maxDistance4_ : m.distance <= maxDistance3_);
    }

    static std::uint32_t hash3(const std::uint8_t *p)
    {
        const std::uint32_t v = std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
        return (v * 2654435761u) >> (32 - kShortHashBits);
    }

    std::uint32_t hash4(const std::uint8_t *p) const
    {
        const std::uint32_t v =
            std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
        return (v * 2654435761u) >> (32 - hashBits_);
    }

    std::uint32_t windowSize_;
    unsigned hashBits_;
    std::uint32_t maxDistance3_;
    std::uint32_t maxDistance4_;
    std::vector<std::uint32_t> latest3_;
    std::vector<std::uint32_t> head_;
    std::vector<std::uint32_t> prev_;  // by position within the window
    std::vector<std::uint8_t> history_;
    std::uint32_t historyStart_ = 0;  // stream position of history_[0]
    std::uint32_t inserted_ = 0;      // next position to enter
};

// ---------------------------------------------------------------------------
// The encoder

// A reader's compressed-block buffer holds the block size plus 10240.
constexpr std::size_t kMaxQuantumBlock = kBlockSize + 10240;

class QuantumEncoder final : public BlockEncoder {
public:
    explicit QuantumEncoder(unsigned windowBits)
        : coder_(bits_),
          finder_(windowBits, maxDistance(std::min(24u, 2 * windowBits)), maxDistance(std::min(36u, 2 * windowBits)))
    {
        const unsigned windowSlots = 2 * windowBits;
        selector_.reset(7);
        for (Model &m : literals_) {
            m.reset(64);
        }
        position3_.reset(std::min(24u, windowSlots));
        position4_.reset(std::min(36u, windowSlots));
        positionLong_.reset(windowSlots);
        length_.reset(kLengthSlots);
    }

    bool encodeBlock(const std::uint8_t *data, std::uint32_t size, std::vector<std::uint8_t> &out,
                     std::string &error) override
    {
        const std::uint32_t begin = finder_.end();
        finder_.append(data, size);
        const std::uint32_t end = finder_.end();
        bits_.start(out);
        coder_.start();

        std::uint32_t p = begin;
        while (p < end) {
            finder_.insertUpTo(p);
            Match match = finder_.find(p, std::min<std::uint32_t>(kMaxMatch, end - p));
            while (match.length >= kMinMatch && match.length < kLazyBelow && p + 1 < end) {
                finder_.insertUpTo(p + 1);
                const Match next = finder_.find(p + 1, std::min<std::uint32_t>(kMaxMatch, end - p - 1));
                if (next.gain() <= match.gain()) {
                    break;
                }
                putLiteral(finder_.at(p));
                ++p;
                match = next;
            }
            if (match.length >= kMinMatch) {
                putMatch(match);
                p += match.length;
            } else {
                putLiteral(finder_.at(p));
                ++p;
            }
        }
        coder_.finish();

        if (out.size() > kMaxQuantumBlock) {
            error = "a Quantum block came out larger than a reader's buffer";
            return false;
        }
        return true;
    }

private:
    static std::uint32_t maxDistance(unsigned slotCount)
    {
        const SlotTables &t = slots();
        return t.positionBase[slotCount - 1] + (1u << t.positionExtra[slotCount - 1]);
    }

    void putLiteral(std::uint8_t byte)
    {
        coder_.encode(selector_, byte >> 6);
        coder_.encode(literals_[byte >> 6], byte & 63u);
    }

    void putPosition(Model &model, std::uint32_t distance)
    {
        const SlotTables &t = slots();
        const std::uint32_t value = distance - 1;
        const unsigned slot = SlotTables::positionSlot(value);
        coder_.encode(model, slot);
        bits_.putRaw(value - t.positionBase[slot], t.positionExtra[slot]);
    }

    void putMatch(const Match &match)
    {
        if (match.length == 3) {
            coder_.encode(selector_, 4);
            putPosition(position3_, match.distance);
        } else if (match.length == 4) {
            coder_.encode(selector_, 5);
            putPosition(position4_, match.distance);
        } else {
            const SlotTables &t = slots();
            const unsigned value = match.length - 5;
            const unsigned slot = t.lengthSlot[value];
            coder_.encode(selector_, 6);
            coder_.encode(length_, slot);
            bits_.putRaw(value - t.lengthBase[slot], t.lengthExtra[slot]);
            putPosition(positionLong_, match.distance);
        }
    }

    BitPlacer bits_;
    ArithmeticEncoder coder_;
    MatchFinder finder_;
    Model selector_;
    std::array<Model, 4> literals_;
    Model position3_;
    Model position4_;
    Model positionLong_;
    Model length_;
};

}  // namespace

std::unique_ptr<BlockEncoder> makeQuantumEncoder(unsigned windowBits, std::string &error)
{
    if (windowBits < kQuantumMinWindowBits || windowBits > kQuantumMaxWindowBits) {
        error = "Quantum window exponents run from 10 to 21";
        return nullptr;
    }
    return std::make_unique<QuantumEncoder>(windowBits);
}

}  // namespace cabwriter
