// The Quantum decoder's history window: a ring of 2^w bytes held in memory, or,
// when that much memory cannot be had in one piece, in a scratch file that the
// engine's open callback makes, paged through 4096-byte buffers kept in
// most-recently-used order.
//
// The decoder produces each frame straight into the engine's output buffer and
// hands the frame to the window once it is done, so the window is only read for
// matches that reach back before the current frame. Pages are therefore never
// held across a call: each read or write takes the page it needs, copies, and
// lets go.
#pragma once

#include "decoder.h"

#include <cstdint>

constexpr std::uint32_t kQuantumPageSize = 4096;
// Fewer buffers than this and paging is not attempted.
constexpr std::uint32_t kQuantumMinPageBuffers = 3;
// The scratch file's open request: the path "*" followed by the window size.
constexpr std::int32_t kQuantumScratchFlags = 0x8102;  // untranslated, create, read and write
constexpr std::int32_t kQuantumScratchPermission = 0x180;

struct QuantumPageBuffer {
    QuantumPageBuffer *newer;
    QuantumPageBuffer *older;
    std::int32_t page;  // -1 when empty
    bool dirty;
    std::uint8_t bytes[kQuantumPageSize];
};

struct QuantumPageSlot {
    QuantumPageBuffer *buffer;  // the buffer holding the page, if any
    bool onFile;
};

struct QuantumWindow {
    std::uint32_t size;
    std::uint32_t mask;
    DecoderCallbacks io;
    std::uint8_t *memory;  // the whole ring, or null in scratch-file mode
    // Scratch-file mode only.
    std::int32_t file;
    std::uint32_t pageCount;
    QuantumPageSlot *pages;
    QuantumPageBuffer *newest;
    QuantumPageBuffer *oldest;
};

// Allocates the ring in memory, or else opens the scratch file and its page
// buffers. False when neither works; nothing is then left allocated or open.
// Windows smaller than kQuantumMinPageBuffers pages are never paged: their
// page buffers would take more memory than the window they replace.
bool openQuantumWindow(QuantumWindow &window, const DecoderCallbacks &io, unsigned windowBits);
void closeQuantumWindow(QuantumWindow &window);
// Forgets what the scratch file holds (the ring in memory keeps its bytes; the
// decoder never reads what was not written since the reset).
void resetQuantumWindow(QuantumWindow &window);

// Copy out of and into the ring at a position (masked here), wrapping at its
// end; count is at most the window size. False when paging fails.
bool readQuantumWindow(QuantumWindow &window, std::uint32_t position, std::uint8_t *to, std::uint32_t count);
bool writeQuantumWindow(QuantumWindow &window, std::uint32_t position, const std::uint8_t *from, std::uint32_t count);
