#include "memory_engine.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

namespace bench {

namespace {

constexpr std::int32_t kCabinetHandleBase = 10;
constexpr std::int32_t kCabinetHandles = 8;
constexpr std::int32_t kOutputHandle = 99;

struct OpenCabinet {
    const Bytes *bytes = nullptr;
    std::size_t position = 0;
};

std::map<std::string, const Bytes *> g_cabinets;
OpenCabinet g_handles[kCabinetHandles];
std::size_t g_written = 0;
Bytes *g_check = nullptr;
std::size_t g_allocated = 0;
std::size_t g_peak = 0;

OpenCabinet *openCabinet(std::int32_t handle)
{
    const std::int32_t i = handle - kCabinetHandleBase;
    if (i < 0 || i >= kCabinetHandles || g_handles[i].bytes == nullptr) {
        return nullptr;
    }
    return &g_handles[i];
}

std::int32_t memOpen(const char *path, std::int32_t, std::int32_t)
{
    const auto found = g_cabinets.find(path);
    if (found == g_cabinets.end()) {
        return -1;
    }
    for (std::int32_t i = 0; i < kCabinetHandles; ++i) {
        if (g_handles[i].bytes == nullptr) {
            g_handles[i] = OpenCabinet{found->second, 0};
            return kCabinetHandleBase + i;
        }
    }
    return -1;
}

std::int32_t memRead(std::int32_t handle, void *buffer, std::uint32_t count)
{
    OpenCabinet *c = openCabinet(handle);
    if (c == nullptr) {
        return -1;
    }
    const std::size_t size = c->bytes->size();
    const std::size_t n = std::min<std::size_t>(count, size - std::min(c->position, size));
    std::memcpy(buffer, c->bytes->data() + c->position, n);
    c->position += n;
    return static_cast<std::int32_t>(n);
}

std::int32_t memWrite(std::int32_t handle, const void *buffer, std::uint32_t count)
{
    if (handle != kOutputHandle) {
        return -1;
    }
    g_written += count;
    if (g_check != nullptr) {
        const auto *bytes = static_cast<const std::uint8_t *>(buffer);
        g_check->insert(g_check->end(), bytes, bytes + count);
    }
    return static_cast<std::int32_t>(count);
}

std::int32_t memClose(std::int32_t handle)
{
    if (OpenCabinet *c = openCabinet(handle)) {
        *c = OpenCabinet{};
    }
    return 0;
}

std::int32_t memSeek(std::int32_t handle, std::int32_t offset, std::int32_t origin)
{
    OpenCabinet *c = openCabinet(handle);
    if (c == nullptr) {
        return -1;
    }
    const std::int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<std::int64_t>(c->position)
                                                            : static_cast<std::int64_t>(c->bytes->size());
    if (base + offset < 0) {
        return -1;
    }
    c->position = static_cast<std::size_t>(base + offset);
    return static_cast<std::int32_t>(c->position);
}

std::int32_t notify(CabNotifyKind kind, CabNotifyRecord *)
{
    switch (kind) {
    case CabNotifyKind::FileStart:
        return kOutputHandle;
    case CabNotifyKind::FileDone:
        return 1;
    case CabNotifyKind::NeedCabinet:
        return -1;
    default:
        return 0;
    }
}

}  // namespace

void addMemoryCabinet(const std::string &name, const Bytes &bytes) { g_cabinets[name] = &bytes; }

void *countingAlloc(std::uint32_t size)
{
    auto *block = static_cast<std::size_t *>(std::malloc(size + sizeof(std::max_align_t)));
    if (block == nullptr) {
        return nullptr;
    }
    *block = size;
    g_allocated += size;
    g_peak = std::max(g_peak, g_allocated);
    return reinterpret_cast<std::uint8_t *>(block) + sizeof(std::max_align_t);
}

void countingFree(void *p)
{
    if (p != nullptr) {
        auto *block = reinterpret_cast<std::size_t *>(static_cast<std::uint8_t *>(p) - sizeof(std::max_align_t));
        g_allocated -= *block;
        std::free(block);
    }
}

std::size_t allocatedBytes() { return g_allocated; }
std::size_t peakBytes() { return g_peak; }
void resetPeak() { g_peak = g_allocated; }

CabinetEngine *createMemoryEngine(std::int32_t cpuType)
{
    CabError error{};
    return CabinetEngine::create(countingAlloc, countingFree, memOpen, memRead, memWrite, memClose, memSeek, cpuType,
                                 &error);
}

std::size_t extractFromMemory(CabinetEngine *engine, const char *name, const char *path, Bytes *check)
{
    g_written = 0;
    g_check = check;
    const bool ok = CabinetEngine::extract(engine, name, path, 0, notify, nullptr, nullptr) == 1;
    g_check = nullptr;
    return ok ? g_written : 0;
}

std::size_t extractInMemory(const char *name, Bytes *check)
{
    CabinetEngine *engine = createMemoryEngine(1);
    if (engine == nullptr) {
        return 0;
    }
    const std::size_t written = extractFromMemory(engine, name, "", check);
    CabinetEngine::destroy(engine);
    return written;
}

}  // namespace bench
