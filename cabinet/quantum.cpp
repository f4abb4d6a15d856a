// Quantum decoding is not implemented yet. Until it is, every query refuses the
// window, so a Quantum folder fails cleanly with DecodeFailed when selected.
#include "decoder.h"

namespace {

DecoderResult notYetQuery(std::uint32_t *, const DecoderParams &, std::uint32_t *)
{
    return DecoderResult::BadWindow;
}
DecoderResult notYetCreate(std::uint32_t *, const DecoderParams &, const DecoderCallbacks &, void **)
{
    return DecoderResult::BadWindow;
}
DecoderResult notYetDecode(void *, const std::uint8_t *, std::uint32_t, std::uint8_t *, std::uint32_t *)
{
    return DecoderResult::BadHandle;
}
DecoderResult notYetHandle(void *)
{
    return DecoderResult::BadHandle;
}

}  // namespace

const BlockDecoder kQuantumDecoder = {notYetQuery, notYetCreate, notYetDecode, notYetHandle, notYetHandle};
