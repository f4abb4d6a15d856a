#include "reading/engine_io.h"

#include "decoder.h"
#include "output/file_meta.h"
#include "output/progress.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <sys/types.h>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace cabtool {

namespace {

// Two handles per cabinet, one output file and a scratch file at most are open
// at once; the rest is headroom.
constexpr int kMaxHandles = 32;
constexpr std::int32_t kFirstHandle = 3;
std::FILE *g_streams[kMaxHandles];
int g_lastOpenFailure = 0;
std::uint64_t g_bytesRead = 0;
ByteSink *g_discardSink = nullptr;

// The cabinet window (setCabinetWindow), and each handle's view through it.
struct Window {
    std::string path;
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
};
Window g_window;
struct View {
    bool windowed = false;
    std::uint64_t base = 0;
    std::uint32_t size = 0;
    std::uint64_t position = 0;  // from base
};
View g_views[kMaxHandles];

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

// ---- Memory, with the optional cap on window memory ----------------------------
//
// The callbacks cannot tell a window from any other request, so requests are
// told apart by size: the engine's block buffers have sizes of their own (one
// compressed and one 32768-byte uncompressed buffer at a time) and are never
// counted; smaller requests are the engine's and the decoders' own state.

constexpr std::uint32_t kCountedFrom = 4096;
constexpr std::uint32_t kUncompressedBuffer = 32768;
constexpr std::uint32_t kCompressedBuffers[] = {32768, 32780, 38912, 43008};

enum class Kind : std::uint32_t { Counted, CompressedBuffer, UncompressedBuffer, Small };

// Put in front of every block while a cap is set.
struct alignas(std::max_align_t) BlockHeader {
    std::uint32_t size;
    Kind kind;
};

bool g_capped = false;
std::uint32_t g_cap = 0;
std::uint32_t g_counted = 0;
bool g_compressedHeld = false;
bool g_uncompressedHeld = false;

Kind kindOf(std::uint32_t size)
{
    if (size < kCountedFrom) {
        return Kind::Small;
    }
    if (!g_compressedHeld) {
        for (std::uint32_t buffer : kCompressedBuffers) {
            if (size == buffer) {
                return Kind::CompressedBuffer;
            }
        }
    }
    if (!g_uncompressedHeld && size == kUncompressedBuffer) {
        return Kind::UncompressedBuffer;
    }
    return Kind::Counted;
}

void hold(Kind kind, bool held, std::uint32_t size)
{
    switch (kind) {
    case Kind::CompressedBuffer:
        g_compressedHeld = held;
        break;
    case Kind::UncompressedBuffer:
        g_uncompressedHeld = held;
        break;
    case Kind::Counted:
        g_counted = held ? g_counted + size : g_counted - size;
        break;
    case Kind::Small:
        break;
    }
}

void *allocBlock(std::uint32_t size)
{
    if (!g_capped) {
        return std::malloc(size == 0 ? 1 : size);
    }
    const Kind kind = kindOf(size);
    if (kind == Kind::Counted && size > g_cap - g_counted) {
        return nullptr;
    }
    auto *header = static_cast<BlockHeader *>(std::malloc(sizeof(BlockHeader) + size));
    if (header == nullptr) {
        return nullptr;
    }
    *header = BlockHeader{size, kind};
    hold(kind, true, size);
    return header + 1;
}

void freeBlock(void *block)
{
    if (!g_capped || block == nullptr) {
        std::free(block);
        return;
    }
    BlockHeader *header = static_cast<BlockHeader *>(block) - 1;
    hold(header->kind, false, header->size);
    std::free(header);
}

// A decoder's scratch file: gone once it is closed, or when the program ends.
std::FILE *openScratchFile()
{
#ifdef _WIN32
    std::error_code ec;
    const std::string folder = std::filesystem::temp_directory_path(ec).string();
    char *name = _tempnam(ec ? "." : folder.c_str(), "cab");
    if (name == nullptr) {
        return nullptr;
    }
    std::FILE *stream = std::fopen(name, "w+bD");  // D: deleted when closed
    std::free(name);
    return stream;
#else
    return std::tmpfile();  // unlinked already
#endif
}

std::int32_t openFile(const char *path, std::int32_t flags, std::int32_t)
{
    std::FILE *stream = nullptr;
    if (std::strcmp(path, "*") == 0) {
        stream = openScratchFile();
    } else if ((flags & kAccessMask) != 0 || (flags & kCreate) != 0) {
        stream = std::fopen(path, "w+b");
    } else {
        stream = openCabinetFile(path);
    }
    if (stream == nullptr) {
        g_lastOpenFailure = errno;
        return -1;
    }
    const std::int32_t handle = adoptStream(stream);
    if (handle == -1) {
        std::fclose(stream);
        g_lastOpenFailure = EMFILE;
        return -1;
    }
    if ((flags & kAccessMask) == 0 && (flags & kCreate) == 0 && !g_window.path.empty() && g_window.path == path) {
        if (!seekStream(stream, g_window.offset)) {
            g_lastOpenFailure = errno;
            closeHandle(handle);
            return -1;
        }
        g_views[handle - kFirstHandle] = View{true, g_window.offset, g_window.size, 0};
    }
    return handle;
}

std::int32_t readFile(std::int32_t handle, void *buffer, std::uint32_t count)
{
    std::FILE *stream = streamOf(handle);
    if (stream == nullptr) {
        return -1;
    }
    View &view = g_views[handle - kFirstHandle];
    if (view.windowed) {
        const std::uint64_t left = view.position >= view.size ? 0 : view.size - view.position;
        count = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, left));
    }
    const std::size_t got = std::fread(buffer, 1, count, stream);
    if (got < count && std::ferror(stream)) {
        return -1;
    }
    view.position += got;
    g_bytesRead += got;
    return static_cast<std::int32_t>(got);
}

std::int32_t writeFile(std::int32_t handle, const void *buffer, std::uint32_t count)
{
    if (handle == kDiscardHandle) {
        if (g_discardSink != nullptr && !g_discardSink->take(buffer, count)) {
            return -1;
        }
        advanceProgress(count);
        return static_cast<std::int32_t>(count);
    }
    if (handle == kPassOverHandle) {
        return static_cast<std::int32_t>(count);
    }
    std::FILE *stream = streamOf(handle);
    if (stream == nullptr) {
        return -1;
    }
    const std::size_t written = std::fwrite(buffer, 1, count, stream);
    advanceProgress(written);
    return static_cast<std::int32_t>(written);
}

std::int32_t seekFile(std::int32_t handle, std::int32_t offset, std::int32_t origin)
{
    std::FILE *stream = streamOf(handle);
    if (stream == nullptr) {
        return -1;
    }
    View &view = g_views[handle - kFirstHandle];
    if (view.windowed) {
        const std::int64_t from = origin == 1 ? static_cast<std::int64_t>(view.position) : origin == 2 ? view.size : 0;
        const std::int64_t target = from + offset;
        if (target < 0 || target > 0x7FFFFFFF || !seekStream(stream, view.base + static_cast<std::uint64_t>(target))) {
            return -1;
        }
        view.position = static_cast<std::uint64_t>(target);
        return static_cast<std::int32_t>(target);
    }
    if (std::fseek(stream, offset, origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET) != 0) {
        return -1;
    }
    const long position = std::ftell(stream);
    return position < 0 || position > 0x7FFFFFFF ? -1 : static_cast<std::int32_t>(position);
}

}  // namespace

std::FILE *openCabinetFile(const char *path)
{
    struct stat info{};
#ifdef _WIN32
    // Device names open without any file behind them; look before opening.
    if (stat(path, &info) == 0 && !S_ISREG(info.st_mode)) {
        errno = kNotRegularFile;
        return nullptr;
    }
    std::FILE *stream = std::fopen(path, "rb");
    if (stream != nullptr && (fstat(_fileno(stream), &info) != 0 || !S_ISREG(info.st_mode))) {
        std::fclose(stream);
        errno = kNotRegularFile;
        return nullptr;
    }
    return stream;
#else
    // Without O_NONBLOCK, opening a pipe would wait for a writer.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        errno = kNotRegularFile;
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return streamOver(fd, "rb");
#endif
}

std::int32_t adoptStream(std::FILE *stream)
{
    for (int slot = 0; slot < kMaxHandles; ++slot) {
        if (g_streams[slot] == nullptr) {
            g_streams[slot] = stream;
            g_views[slot] = View{};
            return kFirstHandle + slot;
        }
    }
    return -1;
}

std::int32_t closeHandle(std::int32_t handle)
{
    if (handle == kDiscardHandle || handle == kPassOverHandle) {
        return 0;
    }
    std::FILE *stream = streamOf(handle);
    if (stream == nullptr) {
        return -1;
    }
    g_streams[handle - kFirstHandle] = nullptr;
    return std::fclose(stream) == 0 ? 0 : -1;
}

int lastOpenFailure()
{
    return g_lastOpenFailure;
}

int openHandleCount()
{
    int count = 0;
    for (std::FILE *stream : g_streams) {
        count += stream != nullptr ? 1 : 0;
    }
    return count;
}

void setWindowMemoryCap(std::uint32_t bytes)
{
    g_capped = true;
    g_cap = bytes;
}

void setDiscardSink(ByteSink *sink)
{
    g_discardSink = sink;
}

std::FILE *scratchFile()
{
    return openScratchFile();
}

void setCabinetWindow(const std::string &path, std::uint64_t offset, std::uint32_t size)
{
    g_window = Window{path, offset, size};
}

void clearCabinetWindow()
{
    g_window = Window{};
}

std::uint64_t cabinetWindowOffset(const std::string &path)
{
    return !g_window.path.empty() && g_window.path == path ? g_window.offset : 0;
}

bool seekStream(std::FILE *stream, std::uint64_t position)
{
#ifdef _WIN32
    return _fseeki64(stream, static_cast<long long>(position), SEEK_SET) == 0;
#else
    return fseeko(stream, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

std::uint64_t bytesReadByEngine()
{
    return g_bytesRead;
}

DecoderCallbacks decoderCallbacks()
{
    return DecoderCallbacks{allocBlock, freeBlock, openFile, readFile, writeFile, closeHandle, seekFile};
}

CabinetEngine *createEngine(CabError *error)
{
    return CabinetEngine::create(allocBlock, freeBlock, openFile, readFile, writeFile, closeHandle, seekFile, 1,
                                 error);
}

}  // namespace cabtool
