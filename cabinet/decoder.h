// The interface between the structure reader and the block decoders.
//
// Each compression method other than stored is a BlockDecoder: a table of five
// operations. A decoder object carries a 32-bit tag naming its method; every
// operation checks it first and answers BadHandle when it does not match.
#pragma once

#include <cabinet/engine.h>

#include <cstdint>

enum class DecoderResult : std::int32_t {
    Ok = 0,
    NoMemory = 1,
    BadHandle = 2,
    BadSize = 3,
    BadData = 4,
    BadWindow = 5,
};

// The engine's callbacks, handed to a decoder at creation. Decoders allocate
// only through alloc/free; Quantum may use the file callbacks for a scratch file.
struct DecoderCallbacks {
    CabAllocFn alloc;
    CabFreeFn free;
    CabOpenFn open;
    CabReadFn read;
    CabWriteFn write;
    CabCloseFn close;
    CabSeekFn seek;
};

// What a folder's compression type tells its decoder.
struct DecoderParams {
    std::uint32_t windowBits;     // bits 8 to 12 of the type (Quantum, LZX); 0 for MSZIP
    std::int32_t processorType;   // passed through from CabinetEngine::create
};

struct BlockDecoder {
    // maxBlockSize in and out (the engine passes 32768); reports the size the
    // compressed-block buffer must have. Makes nothing.
    DecoderResult (*queryBufferSizes)(std::uint32_t *maxBlockSize, const DecoderParams &params,
                                      std::uint32_t *compressedBufferSize);
    // Makes the decoder object (and its window) through callbacks.alloc.
    DecoderResult (*createDecoder)(std::uint32_t *maxBlockSize, const DecoderParams &params,
                                   const DecoderCallbacks &callbacks, void **decoder);
    // Decodes one data block of inSize bytes into out (always 32768 bytes of
    // room). *outSize goes in as the size the method expects and comes out as
    // the number of bytes produced.
    DecoderResult (*decodeBlock)(void *decoder, const std::uint8_t *in, std::uint32_t inSize,
                                 std::uint8_t *out, std::uint32_t *outSize);
    // Forgets all history, as at the start of a folder (where the method does so).
    DecoderResult (*resetDecoder)(void *decoder);
    // Releases the object; the pointer is dead afterwards.
    DecoderResult (*destroyDecoder)(void *decoder);
};

extern const BlockDecoder kMszipDecoder;
extern const BlockDecoder kQuantumDecoder;
extern const BlockDecoder kLzxDecoder;
