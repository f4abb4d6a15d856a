#include "quantum_window.h"

#include <cstring>

namespace {

void unlink(QuantumWindow &w, QuantumPageBuffer *b)
{
    (b->newer != nullptr ? b->newer->older : w.newest) = b->older;
    (b->older != nullptr ? b->older->newer : w.oldest) = b->newer;
}

void pushNewest(QuantumWindow &w, QuantumPageBuffer *b)
{
    b->newer = nullptr;
    b->older = w.newest;
    (w.newest != nullptr ? w.newest->newer : w.oldest) = b;
    w.newest = b;
}

void freeScratch(QuantumWindow &w)
{
    for (QuantumPageBuffer *b = w.newest; b != nullptr;) {
        QuantumPageBuffer *const older = b->older;
        w.io.free(b);
        b = older;
    }
    w.newest = w.oldest = nullptr;
    if (w.pages != nullptr) {
        w.io.free(w.pages);
        w.pages = nullptr;
    }
    if (w.file != -1) {
        w.io.close(w.file);
        w.file = -1;
    }
}

bool transfer(QuantumWindow &w, std::uint32_t page, QuantumPageBuffer *b, bool toFile)
{
    const std::int32_t offset = static_cast<std::int32_t>(page * kQuantumPageSize);
    if (w.io.seek(w.file, offset, 0) != offset) {
        return false;
    }
    const std::int32_t moved = toFile ? w.io.write(w.file, b->bytes, kQuantumPageSize)
                                      : w.io.read(w.file, b->bytes, kQuantumPageSize);
    return moved == static_cast<std::int32_t>(kQuantumPageSize);
}

// The buffer holding `page`, brought in from the file when it was paged out;
// null when the page was never written (for reading) or the file fails.
QuantumPageBuffer *fetchPage(QuantumWindow &w, std::uint32_t page, bool forWrite)
{
    QuantumPageSlot &slot = w.pages[page];
    QuantumPageBuffer *b = slot.buffer;
    if (b == nullptr) {
        if (!forWrite && !slot.onFile) {
            return nullptr;
        }
        b = w.oldest;
        if (b->page >= 0) {
            QuantumPageSlot &evicted = w.pages[b->page];
            if (b->dirty) {
                if (!transfer(w, static_cast<std::uint32_t>(b->page), b, true)) {
                    return nullptr;
                }
                evicted.onFile = true;
            }
            evicted.buffer = nullptr;
            b->page = -1;
        }
        b->dirty = false;
        if (slot.onFile && !transfer(w, page, b, false)) {
            return nullptr;
        }
        b->page = static_cast<std::int32_t>(page);
        slot.buffer = b;
    }
    unlink(w, b);
    pushNewest(w, b);
    b->dirty = b->dirty || forWrite;
    return b;
}

bool openScratch(QuantumWindow &w)
{
    if (w.io.open == nullptr || w.size < kQuantumMinPageBuffers * kQuantumPageSize) {
        return false;
    }
    char request[6] = {'*', '\0'};
    for (unsigned i = 0; i < 4; ++i) {
        request[2 + i] = static_cast<char>(w.size >> (8 * i));
    }
    w.file = w.io.open(request, kQuantumScratchFlags, kQuantumScratchPermission);
    if (w.file == -1) {
        return false;
    }
    w.pageCount = w.size / kQuantumPageSize;
    w.pages = static_cast<QuantumPageSlot *>(w.io.alloc(w.pageCount * sizeof(QuantumPageSlot)));
    std::uint32_t buffers = 0;
    if (w.pages != nullptr) {
        for (; buffers < w.pageCount; ++buffers) {
            auto *b = static_cast<QuantumPageBuffer *>(w.io.alloc(sizeof(QuantumPageBuffer)));
            if (b == nullptr) {
                break;
            }
            pushNewest(w, b);
        }
    }
    if (buffers < kQuantumMinPageBuffers) {
        freeScratch(w);
        return false;
    }
    resetQuantumWindow(w);
    return true;
}

}  // namespace

bool openQuantumWindow(QuantumWindow &window, const DecoderCallbacks &io, unsigned windowBits)
{
    window = QuantumWindow{};
    window.io = io;
    window.size = std::uint32_t{1} << windowBits;
    window.mask = window.size - 1;
    window.file = -1;
    window.memory = static_cast<std::uint8_t *>(io.alloc(window.size));
    return window.memory != nullptr || openScratch(window);
}

void closeQuantumWindow(QuantumWindow &window)
{
    if (window.memory != nullptr) {
        window.io.free(window.memory);
        window.memory = nullptr;
    }
    freeScratch(window);
}

void resetQuantumWindow(QuantumWindow &window)
{
    if (window.memory != nullptr) {
        return;
    }
    for (std::uint32_t p = 0; p < window.pageCount; ++p) {
        window.pages[p] = QuantumPageSlot{nullptr, false};
    }
    for (QuantumPageBuffer *b = window.newest; b != nullptr; b = b->older) {
        b->page = -1;
        b->dirty = false;
    }
}

bool readQuantumWindow(QuantumWindow &window, std::uint32_t position, std::uint8_t *to, std::uint32_t count)
{
    position &= window.mask;
    if (window.memory != nullptr) {
        const std::uint32_t first = count < window.size - position ? count : window.size - position;
        std::memcpy(to, window.memory + position, first);
        std::memcpy(to + first, window.memory, count - first);
        return true;
    }
    while (count != 0) {
        const std::uint32_t within = position % kQuantumPageSize;
        const std::uint32_t piece = count < kQuantumPageSize - within ? count : kQuantumPageSize - within;
        const QuantumPageBuffer *b = fetchPage(window, position / kQuantumPageSize, false);
        if (b == nullptr) {
            return false;
        }
        std::memcpy(to, b->bytes + within, piece);
        to += piece;
        count -= piece;
        position = (position + piece) & window.mask;
    }
    return true;
}

bool writeQuantumWindow(QuantumWindow &window, std::uint32_t position, const std::uint8_t *from, std::uint32_t count)
{
    position &= window.mask;
    if (window.memory != nullptr) {
        const std::uint32_t first = count < window.size - position ? count : window.size - position;
        std::memcpy(window.memory + position, from, first);
        std::memcpy(window.memory, from + first, count - first);
        return true;
    }
    while (count != 0) {
        const std::uint32_t within = position % kQuantumPageSize;
        const std::uint32_t piece = count < kQuantumPageSize - within ? count : kQuantumPageSize - within;
        QuantumPageBuffer *b = fetchPage(window, position / kQuantumPageSize, true);
        if (b == nullptr) {
            return false;
        }
        std::memcpy(b->bytes + within, from, piece);
        from += piece;
        count -= piece;
        position = (position + piece) & window.mask;
    }
    return true;
}
