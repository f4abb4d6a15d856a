#include "huffman.h"

#include <algorithm>
#include <queue>
#include <vector>

namespace cabwriter {

namespace {

constexpr unsigned kMaxBits = 16;

// Depth of every leaf of a plain Huffman tree over the used symbols, which
// are given in order of falling frequency.
std::vector<unsigned> leafDepths(const std::uint32_t *frequencies, const std::vector<std::size_t> &used)
{
    struct Node {
        std::uint64_t weight;
        int parent;
    };
    std::vector<Node> nodes;
    nodes.reserve(used.size() * 2);
    using Entry = std::pair<std::uint64_t, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
    for (std::size_t symbol : used) {
        nodes.push_back(Node{frequencies[symbol], -1});
        queue.emplace(frequencies[symbol], static_cast<int>(nodes.size() - 1));
    }
    while (queue.size() > 1) {
        const Entry a = queue.top();
        queue.pop();
        const Entry b = queue.top();
        queue.pop();
        nodes.push_back(Node{a.first + b.first, -1});
        const int parent = static_cast<int>(nodes.size() - 1);
        nodes[static_cast<std::size_t>(a.second)].parent = parent;
        nodes[static_cast<std::size_t>(b.second)].parent = parent;
        queue.emplace(a.first + b.first, parent);
    }
    std::vector<unsigned> depth(nodes.size(), 0);
    for (std::size_t i = nodes.size() - 1; i-- > 0;) {
        depth[i] = depth[static_cast<std::size_t>(nodes[i].parent)] + 1;
    }
    depth.resize(used.size());
    return depth;
}

}  // namespace

void buildCodeLengths(const std::uint32_t *frequencies, std::size_t count, unsigned maxLength,
                      std::uint8_t *lengths)
{
    std::fill(lengths, lengths + count, std::uint8_t{0});
    std::vector<std::size_t> used;
    for (std::size_t s = 0; s < count; ++s) {
        if (frequencies[s] != 0) {
            used.push_back(s);
        }
    }
    if (used.empty()) {
        return;
    }
    if (used.size() == 1) {
        lengths[used[0]] = 1;
        lengths[used[0] == 0 ? 1 : 0] = 1;
        return;
    }
    std::stable_sort(used.begin(), used.end(),
                     [frequencies](std::size_t a, std::size_t b) { return frequencies[a] > frequencies[b]; });

    // Clamp the tree to maxLength, then give the excess code space back by
    // moving leaves down from shorter lengths until the code is exactly full.
    unsigned perLength[kMaxBits + 1] = {};
    for (unsigned d : leafDepths(frequencies, used)) {
        ++perLength[std::min(d, maxLength)];
    }
    std::uint32_t total = 0;
    for (unsigned len = 1; len <= maxLength; ++len) {
        total += perLength[len] << (maxLength - len);
    }
    while (total > (1u << maxLength)) {
        --perLength[maxLength];
        for (unsigned len = maxLength - 1; len > 0; --len) {
            if (perLength[len] != 0) {
                --perLength[len];
                perLength[len + 1] += 2;
                break;
            }
        }
        --total;
    }
    std::size_t next = 0;
    for (unsigned len = 1; len <= maxLength; ++len) {
        for (unsigned n = 0; n < perLength[len]; ++n) {
            lengths[used[next++]] = static_cast<std::uint8_t>(len);
        }
    }
}

void canonicalCodes(const std::uint8_t *lengths, std::size_t count, std::uint16_t *codes)
{
    unsigned perLength[kMaxBits + 1] = {};
    for (std::size_t s = 0; s < count; ++s) {
        ++perLength[lengths[s]];
    }
    perLength[0] = 0;
    std::uint32_t nextCode[kMaxBits + 2] = {};
    std::uint32_t code = 0;
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        code = (code + perLength[len - 1]) << 1;
        nextCode[len] = code;
    }
    for (std::size_t s = 0; s < count; ++s) {
        codes[s] = lengths[s] == 0 ? 0 : static_cast<std::uint16_t>(nextCode[lengths[s]]++);
    }
}

}  // namespace cabwriter
