// Helpers for the Quantum tests: callbacks whose allocator can refuse the window
// and whose open answers "*" with a file in memory.
#pragma once

#include "decoder.h"
#include "quantum.h"
#include "quantum_model.h"
#include "quantum_window.h"
#include "support/quantum_frames.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace quantum_test {

using Bytes = std::vector<std::uint8_t>;

using testsupport::TestEncoder;

// ---- Callbacks ----------------------------------------------------------------------
//
// Plain functions, so their state is one global that each test resets.

struct FakeEnv {
    std::uint32_t refuseAllocAbove = 0xFFFFFFFF;  // larger requests fail
    int pageBuffersAllowed = 1 << 30;             // page-buffer-sized requests that succeed
    bool openScratch = true;
    int failSeekAfter = -1;  // seeks that succeed before the rest fail; -1 never
    int live = 0;            // blocks held
    int opens = 0, closes = 0, reads = 0, writes = 0;
    std::vector<char> lastOpenPath;
    std::int32_t lastOpenFlags = 0, lastOpenPermission = 0;
    Bytes file;
    std::size_t filePosition = 0;
};

inline FakeEnv env;

inline void *fakeAlloc(std::uint32_t size)
{
    if (size > env.refuseAllocAbove) {
        return nullptr;
    }
    if (size == sizeof(QuantumPageBuffer) && env.pageBuffersAllowed-- <= 0) {
        return nullptr;
    }
    ++env.live;
    return std::malloc(size);
}
inline void fakeFree(void *block)
{
    --env.live;
    std::free(block);
}
inline std::int32_t fakeOpen(const char *path, std::int32_t flags, std::int32_t permission)
{
    ++env.opens;
    env.lastOpenPath.assign(path, path + 6);
    env.lastOpenFlags = flags;
    env.lastOpenPermission = permission;
    return env.openScratch ? 7 : -1;
}
inline std::int32_t fakeRead(std::int32_t, void *buffer, std::uint32_t count)
{
    ++env.reads;
    const std::size_t n = env.filePosition >= env.file.size() ? 0 : std::min<std::size_t>(count, env.file.size() - env.filePosition);
    std::memcpy(buffer, env.file.data() + env.filePosition, n);
    env.filePosition += n;
    return static_cast<std::int32_t>(n);
}
inline std::int32_t fakeWrite(std::int32_t, const void *buffer, std::uint32_t count)
{
    ++env.writes;
    if (env.file.size() < env.filePosition + count) {
        env.file.resize(env.filePosition + count);
    }
    std::memcpy(env.file.data() + env.filePosition, buffer, count);
    env.filePosition += count;
    return static_cast<std::int32_t>(count);
}
inline std::int32_t fakeClose(std::int32_t)
{
    ++env.closes;
    return 0;
}
inline std::int32_t fakeSeek(std::int32_t, std::int32_t offset, std::int32_t origin)
{
    if (env.failSeekAfter == 0) {
        return -1;
    }
    --env.failSeekAfter;
    env.filePosition = origin == 0 ? static_cast<std::size_t>(offset) : env.filePosition + static_cast<std::size_t>(offset);
    return static_cast<std::int32_t>(env.filePosition);
}

inline DecoderCallbacks fakeCallbacks()
{
    return DecoderCallbacks{fakeAlloc, fakeFree, fakeOpen, fakeRead, fakeWrite, fakeClose, fakeSeek};
}

// One decoder driven the way the engine drives it.
class Decoder {
public:
    explicit Decoder(unsigned windowBits)
    {
        std::uint32_t maxBlock = kQuantumFrameSize;
        created = kQuantumDecoder.createDecoder(&maxBlock, DecoderParams{windowBits, 1}, fakeCallbacks(), &object);
    }
    ~Decoder()
    {
        if (object != nullptr) {
            kQuantumDecoder.destroyDecoder(object);
        }
    }
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    // Decodes one block owing `size` bytes into `out` (resized to 32768 plus a guard).
    DecoderResult decode(const Bytes &block, std::uint32_t size, Bytes &out)
    {
        out.assign(kQuantumFrameSize + 64, 0xA5);
        produced = size;
        return kQuantumDecoder.decodeBlock(object, block.data(), static_cast<std::uint32_t>(block.size()), out.data(),
                                           &produced);
    }

    DecoderResult created;
    void *object = nullptr;
    std::uint32_t produced = 0;
};

}  // namespace quantum_test
