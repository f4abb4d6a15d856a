// One LZX decoder driven the way the engine drives it: one data block per
// call, each block in a heap buffer of exactly its size so that sanitizers
// catch any read past it.
#pragma once

#include "decoder.h"
#include "lzx_stream_builder.h"

#include <cstdlib>

namespace lzxtest {

class LzxDecoder {
public:
    explicit LzxDecoder(unsigned windowBits)
    {
        std::uint32_t maxBlock = 32768;
        DecoderCallbacks callbacks{};
        callbacks.alloc = [](std::uint32_t size) { return std::malloc(size); };
        callbacks.free = [](void *block) { std::free(block); };
        created = kLzxDecoder.createDecoder(&maxBlock, DecoderParams{windowBits, 0}, callbacks, &handle_);
    }
    ~LzxDecoder()
    {
        if (handle_ != nullptr) {
            kLzxDecoder.destroyDecoder(handle_);
        }
    }
    LzxDecoder(const LzxDecoder &) = delete;
    LzxDecoder &operator=(const LzxDecoder &) = delete;

    // Decodes one frame of `size` bytes; `out` gets what was produced.
    DecoderResult frame(const Bytes &block, std::uint32_t size, Bytes &out)
    {
        Bytes exact(block);
        Bytes room(32768);
        std::uint32_t produced = size;
        const DecoderResult result = kLzxDecoder.decodeBlock(
            handle_, exact.empty() ? nullptr : exact.data(), static_cast<std::uint32_t>(exact.size()), room.data(),
            &produced);
        room.resize(produced);
        out = room;
        return result;
    }
    // Decodes and expects success.
    Bytes frame(const Bytes &block, std::uint32_t size)
    {
        Bytes out;
        lastResult = frame(block, size, out);
        return out;
    }
    DecoderResult reset() { return kLzxDecoder.resetDecoder(handle_); }
    void *handle() const { return handle_; }

    DecoderResult created;
    DecoderResult lastResult = DecoderResult::Ok;

private:
    void *handle_ = nullptr;
};

}  // namespace lzxtest
