#include "lzx_matcher.h"

#include "lzx_format.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace cabwriter::lzx {

namespace {

// Chains are walked to a fixed depth, so their heads scale with the window:
// a large window with few heads fills every chain with positions that share
// only a hash, and incompressible input then costs the whole depth per byte.
unsigned hashBitsFor(unsigned windowBits)
{
    return std::clamp(windowBits - 1, 16u, 20u);
}
constexpr std::uint32_t kSlack = 8;
// A match this long is taken at once, without looking one byte further.
constexpr std::uint32_t kNiceLength = 48;

// Bytes that key the chains: five beat four and three on text, where a short
// common word would otherwise fill a whole chain.
constexpr unsigned kChainBytes = 5;
// Hash bits of the tables of latest positions for 3 and 4 bytes: small enough
// for both to stay in the cache.
constexpr unsigned kRecentBits = 16;

// Eight bytes at p in native order (p needs 8 readable bytes).
std::uint64_t load64(const std::uint8_t *p)
{
    std::uint64_t v = 0;
    std::memcpy(&v, p, 8);
    return v;
}

// Four bytes at p in native order, for comparing.
std::uint32_t load32(const std::uint8_t *p)
{
    std::uint32_t v = 0;
    std::memcpy(&v, p, 4);
    return v;
}

// A bits-wide hash of the first `bytes` bytes at p (1 to 8 bytes).
template <unsigned bytes>
std::uint32_t hashOf(const std::uint8_t *p, unsigned bits)
{
    const std::uint64_t all = load64(p);
    const std::uint64_t v =
        std::endian::native == std::endian::little ? all << (64 - 8 * bytes) : all >> (64 - 8 * bytes);
    return static_cast<std::uint32_t>((v * 0x9E3779B97F4A7C15ull) >> (64 - bits));
}

// A hint that p will be read soon; no effect on the result.
void prefetch(const void *p)
{
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p);
#else
    static_cast<void>(p);
#endif
}

// Rough bits saved by coding a match instead of its bytes as literals, used
// only to compare candidates: repeats need no footer, long matches pay for a
// length-tree symbol.
int gainOf(std::uint32_t length, unsigned slot)
{
    const int cost = (slot < kRepeatSlots ? 7 : 10 + static_cast<int>(extraBits(slot))) + (length > 8 ? 5 : 0);
    return static_cast<int>(length) * 6 - cost;
}

}  // namespace

Matcher::Matcher(unsigned windowBits, std::uint32_t maxPending, unsigned chainDepth)
    : window_(1u << windowBits), maxOffset_((1u << windowBits) - 3), chainDepth_(chainDepth),
      hashBits_(hashBitsFor(windowBits)), head_(std::size_t{1} << hashBitsFor(windowBits), -1),
      recent3_(std::size_t{1} << kRecentBits, -1), recent4_(std::size_t{1} << kRecentBits, -1)
{
    // Twice the window, so that the buffer slides once per window of input.
    const std::uint32_t capacity = 2 * window_ + maxPending;
    buffer_.resize(capacity + kSlack);
    previous_.resize(capacity);
}

std::uint8_t *Matcher::append(std::uint32_t n)
{
    if (size_ + n > buffer_.size() - kSlack) {
        // Keep one window of history before the first unparsed byte.
        const std::uint32_t drop = parsed_ > window_ ? parsed_ - window_ : 0;
        const auto shift = static_cast<std::int32_t>(drop);
        std::memmove(buffer_.data(), buffer_.data() + drop, size_ - drop);
        for (std::vector<std::int32_t> *table : {&head_, &recent3_, &recent4_}) {
            for (std::int32_t &h : *table) {
                h = h >= shift ? h - shift : -1;
            }
        }
        for (std::uint32_t i = drop; i < size_; ++i) {
            const std::int32_t p = previous_[i];
            previous_[i - drop] = p >= shift ? p - shift : -1;
        }
        size_ -= drop;
        parsed_ -= drop;
        inserted_ -= drop;
        base_ += drop;
    }
    std::uint8_t *room = buffer_.data() + size_;
    size_ += n;
    return room;
}

// Positions whose first kChainBytes bytes are not all there yet wait for the
// next append; at the end of the stream they are never entered, which costs
// at most a match of a few bytes.
void Matcher::insertUpTo(std::uint32_t at)
{
    while (inserted_ < at && inserted_ + kChainBytes <= size_) {
        const std::uint8_t *p = buffer_.data() + inserted_;
        const auto position = static_cast<std::int32_t>(inserted_);
        const std::uint32_t h = hashOf<kChainBytes>(p, hashBits_);
        previous_[inserted_] = head_[h];
        head_[h] = position;
        recent3_[hashOf<3>(p, kRecentBits)] = position;
        recent4_[hashOf<4>(p, kRecentBits)] = position;
        ++inserted_;
    }
}

std::uint32_t Matcher::matchLength(std::uint32_t at, std::uint32_t from, std::uint32_t limit) const
{
    // Eight bytes at a time; the buffer's slack makes reading past the data safe.
    const std::uint8_t *a = buffer_.data() + at;
    const std::uint8_t *b = buffer_.data() + from;
    std::uint32_t n = 0;
    while (n < limit) {
        std::uint64_t x = 0;
        std::uint64_t y = 0;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y) {
            // The first differing byte is the lowest in memory.
            const std::uint64_t differ = x ^ y;
            const int bit = std::endian::native == std::endian::little ? std::countr_zero(differ)
                                                                       : std::countl_zero(differ);
            return std::min(limit, n + static_cast<std::uint32_t>(bit) / 8);
        }
        n += 8;
    }
    return limit;
}

// Takes the candidate at from (a match of length bytes, 3 or more) as best
// when it saves more; an offset equal to a repeated one is coded as the repeat.
void Matcher::consider(std::uint32_t at, std::uint32_t from, std::uint32_t length, const Repeats &repeats,
                       Match &best) const
{
    const std::uint32_t offset = at - from;
    unsigned slot = slotOf(offset + 2);
    for (unsigned k = 0; k < kRepeatSlots; ++k) {
        if (repeats.r[k] == offset) {
            slot = k;
        }
    }
    const int gain = gainOf(length, slot);
    if (gain > best.gain) {
        best = Match{length, offset, slot, gain};
    }
}

Matcher::Match Matcher::find(std::uint32_t at, std::uint32_t end, const Repeats &repeats)
{
    Match best;
    const std::uint32_t limit = std::min<std::uint32_t>(kMaxMatch, end - at);
    if (limit < kMinMatch) {
        return best;
    }
    for (unsigned k = 0; k < kRepeatSlots; ++k) {
        const std::uint32_t offset = repeats.r[k];
        if (offset > at) {
            continue;
        }
        const std::uint32_t length = matchLength(at, at - offset, limit);
        if (length >= kMinMatch && gainOf(length, k) > best.gain) {
            best = Match{length, offset, k, gainOf(length, k)};
        }
    }
    insertUpTo(at);
    if (limit < 3 || at + kChainBytes > size_) {
        return best;
    }
    const std::uint8_t *data = buffer_.data();
    if (at + 1 + kChainBytes <= size_) {
        // The lazy parse looks one byte on next: fetch that chain's head while
        // this walk waits on memory.
        prefetch(&head_[hashOf<kChainBytes>(data + at + 1, hashBits_)]);
    }
    for (const std::int32_t recent : {recent3_[hashOf<3>(data + at, kRecentBits)],
                                      recent4_[hashOf<4>(data + at, kRecentBits)]}) {
        if (recent < 0 || at - static_cast<std::uint32_t>(recent) > maxOffset_) {
            continue;
        }
        const auto from = static_cast<std::uint32_t>(recent);
        const std::uint32_t length = matchLength(at, from, limit);
        if (length >= 3) {
            consider(at, from, length, repeats, best);
        }
    }

    // Chain positions come in rising offset, and the latest 3- and 4-byte
    // positions are as a rule no further back, so one no longer than the
    // longest so far codes no cheaper: only a candidate that matches the byte
    // at that length (checked with the three before it, at once) is measured.
    std::uint32_t longest = best.length;
    std::int32_t candidate = head_[hashOf<kChainBytes>(data + at, hashBits_)];
    for (unsigned depth = chainDepth_; candidate >= 0 && depth != 0 && longest < limit; --depth) {
        const auto from = static_cast<std::uint32_t>(candidate);
        if (at - from > maxOffset_) {
            break;
        }
        candidate = previous_[from];
        const std::uint32_t tail = longest >= 3 ? longest - 3 : 0;
        if (load32(data + from + tail) != load32(data + at + tail)) {
            continue;
        }
        const std::uint32_t length = matchLength(at, from, limit);
        if (length < 3) {
            continue;
        }
        consider(at, from, length, repeats, best);
        longest = std::max(longest, length);
    }
    return best;
}

void Matcher::parse(std::uint32_t begin, std::uint32_t end, Repeats &repeats, std::vector<Token> &out)
{
    std::uint32_t at = begin;
    Match current;
    bool haveCurrent = false;
    while (at < end) {
        if (!haveCurrent) {
            current = find(at, end, repeats);
        }
        haveCurrent = false;
        if (current.gain > 0 && current.length < kNiceLength && at + 1 < end) {
            // Lazy evaluation: a better match one byte on wins over this one.
            const Match next = find(at + 1, end, repeats);
            if (next.gain > current.gain) {
                out.push_back(Token{0, buffer_[at], 0, 0});
                ++at;
                current = next;
                haveCurrent = true;
                continue;
            }
        }
        if (current.gain <= 0) {
            out.push_back(Token{0, buffer_[at], 0, 0});
            ++at;
            continue;
        }
        Token token{static_cast<std::uint16_t>(current.length), 0, static_cast<std::uint8_t>(current.slot), 0};
        std::uint32_t *r = repeats.r;
        if (current.slot == 1) {
            std::swap(r[0], r[1]);
        } else if (current.slot == 2) {
            std::swap(r[0], r[2]);
        } else if (current.slot >= kRepeatSlots) {
            token.footer = current.offset + 2 - slotBase(current.slot);
            r[2] = r[1];
            r[1] = r[0];
            r[0] = current.offset;
        }
        out.push_back(token);
        at += current.length;
    }
    parsed_ = end;
}

}  // namespace cabwriter::lzx
