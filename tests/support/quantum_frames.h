// Quantum frames made by hand: a small arithmetic encoder that turns literals
// and matches into the blocks of one folder, for tests.
#pragma once

#include "quantum_model.h"

#include <cstdint>
#include <vector>

namespace testsupport {

// Writes one frame at a time with the decoder's own models (their rules are
// tested apart). The decoder reads the first 16 code bits, then one code bit per
// renormalising shift and the raw extra bits in between, in the order it meets
// them; the encoder records that order and lays the bits out when the frame ends,
// once the code is known.
class TestEncoder {
public:
    explicit TestEncoder(unsigned windowBits) { resetQuantumModels(models_, windowBits); }

    void literal(std::uint8_t byte)
    {
        encode(models_.selector, byte >> 6);
        encode(models_.literals[byte >> 6], byte & 63);
    }

    void match(std::uint32_t length, std::uint32_t distance)
    {
        if (length < 5) {
            encode(models_.selector, length + 1);
            slot(models_.shortPositions[length - 3], kQuantumPositionSlot, distance - 1);
            return;
        }
        encode(models_.selector, 6);
        slot(models_.lengths, kQuantumLengthSlot, length - 5);
        slot(models_.longPositions, kQuantumPositionSlot, distance - 1);
    }

    // The frame's bytes; the arithmetic coder starts afresh after it. `bits`
    // receives how many of the bits the decoder will read.
    std::vector<std::uint8_t> finish(std::size_t *bits = nullptr)
    {
        // Any value in the final interval ends the code: take its low end.
        emit(low_ >> 15 & 1);
        for (int i = 14; i >= 0; --i) {
            code_.push_back((low_ >> i & 1) != 0);
        }
        std::vector<bool> stream(code_.begin(), code_.begin() + 16);
        std::size_t next = 16;
        for (const Step &s : steps_) {
            if (s.rawBits == 0) {
                stream.push_back(code_[next++]);
            }
            for (unsigned i = s.rawBits; i-- > 0;) {
                stream.push_back((s.raw >> i & 1) != 0);
            }
        }
        if (bits != nullptr) {
            *bits = stream.size();
        }
        std::vector<std::uint8_t> out((stream.size() + 7) / 8, 0);
        for (std::size_t i = 0; i < stream.size(); ++i) {
            out[i / 8] = static_cast<std::uint8_t>(out[i / 8] | stream[i] << (7 - i % 8));
        }
        low_ = 0;
        high_ = 0xFFFF;
        pending_ = 0;
        code_.clear();
        steps_.clear();
        return out;
    }

private:
    struct Step {
        unsigned rawBits;  // 0: the decoder shifts in one code bit
        std::uint32_t raw;
    };

    void slot(QuantumModel &model, const QuantumSlot *slots, std::uint32_t value)
    {
        unsigned s = 0;
        while (s + 1 < model.symbolCount && slots[s + 1].base <= value) {
            ++s;
        }
        encode(model, s);
        if (slots[s].extraBits != 0) {
            steps_.push_back(Step{slots[s].extraBits, value - slots[s].base});
        }
    }

    void emit(bool bit)
    {
        code_.push_back(bit);
        for (; pending_ > 0; --pending_) {
            code_.push_back(!bit);
        }
    }

    void encode(QuantumModel &model, unsigned symbol)
    {
        unsigned i = 0;
        while (model.entries[i].symbol != symbol) {
            ++i;
        }
        const std::uint32_t total = model.entries[0].cumulative;
        const std::uint32_t range = high_ - low_ + 1;
        high_ = low_ + model.entries[i].cumulative * range / total - 1;
        low_ = low_ + model.entries[i + 1].cumulative * range / total;
        for (;;) {
            if (((low_ ^ high_) & 0x8000) == 0) {
                emit(high_ >> 15 & 1);
            } else if ((low_ & 0x4000) != 0 && (high_ & 0x4000) == 0) {
                ++pending_;
                low_ &= 0x3FFF;
                high_ |= 0x4000;
            } else {
                break;
            }
            low_ = (low_ << 1) & 0xFFFF;
            high_ = ((high_ << 1) | 1) & 0xFFFF;
            steps_.push_back(Step{0, 0});
        }
        updateQuantumModel(model, i);
    }

    QuantumModels models_;
    std::uint32_t low_ = 0;
    std::uint32_t high_ = 0xFFFF;
    unsigned pending_ = 0;
    std::vector<bool> code_;
    std::vector<Step> steps_;
};

}  // namespace testsupport
