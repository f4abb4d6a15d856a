// Arbitrary bytes as a run of Quantum data blocks through one decoder, with the
// window in memory or in a scratch file.
//
// Input layout:
//   1 byte   setup: window exponent 10 + (bits 0-3 mod 12); bit 4 refuses the
//            window in memory so that it is paged; bits 5-7 add page buffers to
//            the three paging needs (buffers beyond those are refused)
//   then, repeated while bytes remain:
//   1 byte   control: bit 0 resets the decoder first, bits 1-7 pick the size
//            owed (0 = 32768, else that many times 257)
//   2 bytes  block length, little-endian (cut to what is left)
//   n bytes  the block
// Every block and every output buffer lives in a heap buffer of exactly its
// size, so any read or write outside them is caught.
#include "decoder.h"
#include "decoder_fuzz.h"
#include "quantum.h"
#include "quantum_window.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Scratch {
    std::uint32_t windowSize = 0;
    bool refuseWindow = false;
    int pageBuffersLeft = 0;
    bool open = false;
    std::vector<std::uint8_t> file;
    std::size_t position = 0;
};
Scratch g;

void *refusingAlloc(std::uint32_t size)
{
    if (g.refuseWindow && size == g.windowSize) {
        return nullptr;
    }
    if (size == sizeof(QuantumPageBuffer) && g.pageBuffersLeft-- <= 0) {
        return nullptr;
    }
    return std::malloc(size);
}

std::int32_t fuzzOpen(const char *path, std::int32_t flags, std::int32_t)
{
    if (path[0] != '*' || path[1] != '\0' || flags != kQuantumScratchFlags || g.open) {
        std::abort();
    }
    g.open = true;
    return 5;
}
std::int32_t fuzzRead(std::int32_t handle, void *buffer, std::uint32_t count)
{
    if (handle != 5 || g.position + count > g.file.size()) {
        std::abort();  // the decoder reads back only pages it wrote
    }
    std::memcpy(buffer, g.file.data() + g.position, count);
    g.position += count;
    return static_cast<std::int32_t>(count);
}
std::int32_t fuzzWrite(std::int32_t handle, const void *buffer, std::uint32_t count)
{
    if (handle != 5 || g.position + count > g.windowSize) {
        std::abort();  // nothing lies beyond the window
    }
    if (g.file.size() < g.position + count) {
        g.file.resize(g.position + count);
    }
    std::memcpy(g.file.data() + g.position, buffer, count);
    g.position += count;
    return static_cast<std::int32_t>(count);
}
std::int32_t fuzzClose(std::int32_t handle)
{
    if (handle != 5 || !g.open) {
        std::abort();
    }
    g.open = false;
    return 0;
}
std::int32_t fuzzSeek(std::int32_t handle, std::int32_t offset, std::int32_t origin)
{
    if (handle != 5 || origin != 0 || offset < 0) {
        std::abort();
    }
    g.position = static_cast<std::size_t>(offset);
    return offset;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1) {
        return 0;
    }
    const unsigned windowBits = 10 + (data[0] & 0x0F) % 12;
    g = Scratch{};
    g.windowSize = 1u << windowBits;
    g.refuseWindow = (data[0] & 0x10) != 0;
    g.pageBuffersLeft = 3 + (data[0] >> 5);

    const DecoderCallbacks callbacks{refusingAlloc, fuzzFree, fuzzOpen, fuzzRead, fuzzWrite, fuzzClose, fuzzSeek};
    std::uint32_t maxBlock = kQuantumFrameSize;
    void *decoder = nullptr;
    if (kQuantumDecoder.createDecoder(&maxBlock, DecoderParams{windowBits, 1}, callbacks, &decoder) !=
        DecoderResult::Ok) {
        if (g.open) {
            std::abort();
        }
        return 0;
    }

    std::size_t at = 1;
    while (size - at >= 3) {
        const std::uint8_t control = data[at];
        std::size_t length = data[at + 1] | static_cast<std::size_t>(data[at + 2]) << 8;
        at += 3;
        std::uint8_t *block = takeFuzzBlock(data, size, at, length);

        if ((control & 1) != 0) {
            kQuantumDecoder.resetDecoder(decoder);
        }
        const std::uint32_t owed = (control >> 1) == 0 ? kQuantumFrameSize : (control >> 1) * 257u;
        auto *out = static_cast<std::uint8_t *>(std::malloc(owed));
        std::uint32_t produced = owed;
        const DecoderResult result =
            kQuantumDecoder.decodeBlock(decoder, block, static_cast<std::uint32_t>(length), out, &produced);
        std::free(out);
        std::free(block);
        if (produced > owed || (result == DecoderResult::Ok && produced != owed) ||
            (result != DecoderResult::Ok && result != DecoderResult::BadData)) {
            std::abort();
        }
    }
    kQuantumDecoder.destroyDecoder(decoder);
    if (g.open) {
        std::abort();  // the scratch file outlived its decoder
    }
    return 0;
}
