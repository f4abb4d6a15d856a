// Quantum decoding is not written yet. Until it is, its query refuses the
// window, so such a folder fails cleanly with DecodeFailed when it is
// selected. It gets a file of its own when it is written.
#include "decoder.h"

namespace {

DecoderResult refuseQuery(std::uint32_t *, const DecoderParams &, std::uint32_t *)
{
    return DecoderResult::BadWindow;
}
DecoderResult refuseCreate(std::uint32_t *, const DecoderParams &, const DecoderCallbacks &, void **)
{
    return DecoderResult::BadWindow;
}
DecoderResult refuseDecode(void *, const std::uint8_t *, std::uint32_t, std::uint8_t *, std::uint32_t *)
{
    return DecoderResult::BadHandle;
}
DecoderResult refuseHandle(void *)
{
    return DecoderResult::BadHandle;
}

}  // namespace

const BlockDecoder kQuantumDecoder = {refuseQuery, refuseCreate, refuseDecode, refuseHandle, refuseHandle};
