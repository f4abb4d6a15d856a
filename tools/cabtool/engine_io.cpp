#include "engine_io.h"

#include <cstdlib>
#include <cstring>

namespace cabtool {

namespace {

// Two handles per cabinet, one output file and a scratch file at most are open
// at once; the rest is headroom.
constexpr int kMaxHandles = 32;
constexpr std::int32_t kFirstHandle = 3;
std::FILE *g_streams[kMaxHandles];
std::uint64_t g_bytesRead = 0;

// Flag bits as the C runtime's _open numbers them.
constexpr std::int32_t kAccessMask = 0x3;
constexpr std::int32_t kCreate = 0x100;

std::FILE *streamOf(std::int32_t handle)
{
    const std::int32_t slot = handle - kFirstHandle;
    if (slot < 0 || slot >= kMaxHandles) {
        return nullptr;
    }
    return g_streams[slot];
}

void *allocBlock(std::uint32_t size)
{
    return std::malloc(size == 0 ? 1 : size);
}

void freeBlock(void *block)
{
    std::free(block);
}

std::int32_t openFile(const char *path, std::int32_t flags, std::int32_t)
{
    std::FILE *stream = nullptr;
    if (std::strcmp(path, "*") == 0) {
        stream = std::tmpfile();  // a decoder's scratch file
    } else if ((flags & kAccessMask) != 0 || (flags & kCreate) != 0) {
        stream = std::fopen(path, "w+b");
    } else {
        stream = std::fopen(path, "rb");
    }
    if (stream == nullptr) {
        return -1;
    }
    const std::int32_t handle = adoptStream(stream);
    if (handle == -1) {
        std::fclose(stream);
    }
    return handle;
}

std::int32_t readFile(std::int32_t handle, void *buffer, std::uint32_t count)
{
    std::FILE *stream = streamOf(handle);
    if (stream == nullptr) {
        return -1;
    }
    const std::size_t got = std::fread(buffer, 1, count, stream);
    if (got < count && std::ferror(stream)) {
        return -1;
    }
    g_bytesRead += got;
    return static_cast<std::int32_t>(got);
}

std::int32_t writeFile(std::int32_t handle, const void *buffer, std::uint32_t count)
{
    if (handle == kDiscardHandle) {
        return static_cast<std::int32_t>(count);
    }
    std::FILE *stream = streamOf(handle);
    if (stream == nullptr) {
        return -1;
    }
    return static_cast<std::int32_t>(std::fwrite(buffer, 1, count, stream));
}

std::int32_t seekFile(std::int32_t handle, std::int32_t offset, std::int32_t origin)
{
    std::FILE *stream = streamOf(handle);
    if (stream == nullptr || std::fseek(stream, offset, origin == 1 ? SEEK_CUR : SEEK_SET) != 0) {
        return -1;
    }
    const long position = std::ftell(stream);
    return position < 0 || position > 0x7FFFFFFF ? -1 : static_cast<std::int32_t>(position);
}

}  // namespace

std::int32_t adoptStream(std::FILE *stream)
{
    for (int slot = 0; slot < kMaxHandles; ++slot) {
        if (g_streams[slot] == nullptr) {
            g_streams[slot] = stream;
            return kFirstHandle + slot;
        }
    }
    return -1;
}

std::int32_t closeHandle(std::int32_t handle)
{
    if (handle == kDiscardHandle) {
        return 0;
    }
    std::FILE *stream = streamOf(handle);
    if (stream == nullptr) {
        return -1;
    }
    g_streams[handle - kFirstHandle] = nullptr;
    return std::fclose(stream) == 0 ? 0 : -1;
}

int openHandleCount()
{
    int count = 0;
    for (std::FILE *stream : g_streams) {
        count += stream != nullptr ? 1 : 0;
    }
    return count;
}

std::uint64_t bytesReadByEngine()
{
    return g_bytesRead;
}

CabinetEngine *createEngine(CabError *error)
{
    return CabinetEngine::create(allocBlock, freeBlock, openFile, readFile, writeFile, closeHandle, seekFile, 1,
                                 error);
}

}  // namespace cabtool
