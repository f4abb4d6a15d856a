#include "support/engine_run.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

namespace enginerun {

namespace {

constexpr std::int32_t kFirstOutputHandle = 1000;
const char *const kFolder = "mem/";

struct Handle {
    std::vector<std::uint8_t> *image = nullptr;  // the scratch file's bytes when scratch
    std::size_t position = 0;
    bool open = false;
    bool scratch = false;
};

// The engine's callbacks carry no context, so the images and handles live here.
std::map<std::string, std::vector<std::uint8_t>> g_images;
std::vector<Handle> g_handles;
std::vector<std::unique_ptr<std::vector<std::uint8_t>>> g_scratch;
Result *g_result = nullptr;
Options g_options;
bool g_refused = false;
int g_largeAllocs = 0;
std::uint32_t g_allocatedAfterRefusal = 0;

struct CallState {
    std::string opened;      // the cabinet whose file list the engine reads now
    std::string nextOfOpened;
    std::string switching;   // named by the last NeedCabinet
};

void *alloc(std::uint32_t n)
{
    if (g_options.refuseAllocFrom != 0 && n >= g_options.refuseAllocFrom && g_largeAllocs++ >= g_options.largeAllocsGranted) {
        g_refused = true;
        return nullptr;
    }
    if (g_refused && g_options.bytesAfterRefusal != 0) {
        if (n > g_options.bytesAfterRefusal - g_allocatedAfterRefusal) {
            return nullptr;
        }
        g_allocatedAfterRefusal += n;
    }
    return std::malloc(n == 0 ? 1 : n);
}
void release(void *p) { std::free(p); }

// "*", a NUL, then the size the scratch file will hold (32-bit little-endian).
std::int32_t openScratch(const char *path)
{
    const auto *record = reinterpret_cast<const std::uint8_t *>(path);
    const std::uint32_t size = record[2] | record[3] << 8 | record[4] << 16 | static_cast<std::uint32_t>(record[5]) << 24;
    g_result->scratchRequests.push_back(size);
    g_scratch.push_back(std::make_unique<std::vector<std::uint8_t>>());
    g_handles.push_back(Handle{g_scratch.back().get(), 0, true, true});
    return static_cast<std::int32_t>(g_handles.size() - 1);
}

std::int32_t open(const char *path, std::int32_t, std::int32_t)
{
    if (path[0] == '*' && path[1] == '\0') {
        return openScratch(path);
    }
    const auto it = g_images.find(path);
    if (it == g_images.end()) {
        return -1;
    }
    g_handles.push_back(Handle{&it->second, 0, true});
    return static_cast<std::int32_t>(g_handles.size() - 1);
}

std::int32_t read(std::int32_t h, void *buffer, std::uint32_t count)
{
    if (h < 0 || static_cast<std::size_t>(h) >= g_handles.size() || !g_handles[h].open) {
        return -1;
    }
    Handle &handle = g_handles[h];
    const std::size_t size = handle.image->size();
    const std::size_t left = handle.position < size ? size - handle.position : 0;
    const std::size_t n = count < left ? count : left;
    if (n != 0) {
        std::memcpy(buffer, handle.image->data() + handle.position, n);
    }
    handle.position += n;
    return static_cast<std::int32_t>(n);
}

std::int32_t writeScratch(Handle &handle, const void *buffer, std::uint32_t count)
{
    auto &bytes = *handle.image;
    if (bytes.size() < handle.position + count) {
        bytes.resize(handle.position + count);
    }
    std::memcpy(bytes.data() + handle.position, buffer, count);
    handle.position += count;
    g_result->scratchBytes = std::max(g_result->scratchBytes, bytes.size());
    return static_cast<std::int32_t>(count);
}

std::int32_t write(std::int32_t h, const void *buffer, std::uint32_t count)
{
    if (h >= 0 && static_cast<std::size_t>(h) < g_handles.size() && g_handles[h].open && g_handles[h].scratch) {
        return writeScratch(g_handles[h], buffer, count);
    }
    const std::int32_t index = h - kFirstOutputHandle;
    if (index < 0 || static_cast<std::size_t>(index) >= g_result->files.size()) {
        return -1;
    }
    auto &bytes = g_result->files[index].bytes;
    const auto *p = static_cast<const std::uint8_t *>(buffer);
    bytes.insert(bytes.end(), p, p + count);
    return static_cast<std::int32_t>(count);
}

std::int32_t close(std::int32_t h)
{
    if (h >= kFirstOutputHandle) {
        return 0;
    }
    if (h < 0 || static_cast<std::size_t>(h) >= g_handles.size() || !g_handles[h].open) {
        return -1;
    }
    g_handles[h].open = false;
    return 0;
}

std::int32_t seek(std::int32_t h, std::int32_t offset, std::int32_t origin)
{
    if (h < 0 || static_cast<std::size_t>(h) >= g_handles.size() || !g_handles[h].open) {
        return -1;
    }
    Handle &handle = g_handles[h];
    const std::int64_t base = origin == 0 ? 0 : static_cast<std::int64_t>(handle.position);
    const std::int64_t target = base + offset;
    // A scratch file, like a real one, may be written past its end.
    if (target < 0 || (!handle.scratch && target > static_cast<std::int64_t>(handle.image->size()))) {
        return -1;
    }
    handle.position = static_cast<std::size_t>(target);
    return static_cast<std::int32_t>(target);
}

std::int32_t notify(CabNotifyKind kind, CabNotifyRecord *r)
{
    auto *state = static_cast<CallState *>(r->user);
    switch (kind) {
    case CabNotifyKind::CabinetOpened:
        if (!state->switching.empty()) {
            state->opened = state->switching;
            state->switching.clear();
        }
        state->nextOfOpened = r->text1;
        return 0;
    case CabNotifyKind::NeedCabinet:
        if (r->error != CabErrorCode::None) {
            return -1;
        }
        state->switching = r->text1;
        return 0;
    case CabNotifyKind::FileStart: {
        Output out;
        out.name = r->text1;
        g_result->files.push_back(out);
        return kFirstOutputHandle + static_cast<std::int32_t>(g_result->files.size() - 1);
    }
    case CabNotifyKind::FileDone: {
        Output &out = g_result->files[static_cast<std::size_t>(r->handle - kFirstOutputHandle)];
        out.done = true;
        out.date = r->date;
        out.time = r->time;
        out.attributes = static_cast<std::uint16_t>(r->attributes | (r->value != 0 ? 0x40 : 0));
        return 1;
    }
    default:
        return 0;
    }
}

}  // namespace

Result extractSet(const std::vector<cabwriter::CabinetImage> &cabinets, const Options &options)
{
    Result result;
    g_options = options;
    g_refused = false;
    g_largeAllocs = 0;
    g_allocatedAfterRefusal = 0;
    g_images.clear();
    g_handles.clear();
    g_scratch.clear();
    g_result = &result;
    for (const auto &cabinet : cabinets) {
        g_images[std::string(kFolder) + cabinet.name] = cabinet.bytes;
    }
    CabinetEngine *engine = CabinetEngine::create(alloc, release, open, read, write, close, seek, 1, &result.error);
    if (engine == nullptr) {
        g_result = nullptr;
        return result;
    }
    result.ok = true;
    std::string name = cabinets.empty() ? std::string() : cabinets.front().name;
    for (std::size_t guard = 0; !name.empty() && guard <= 2 * cabinets.size(); ++guard) {
        CallState state;
        state.opened = name;
        result.extractCalls.push_back(name);
        if (CabinetEngine::extract(engine, name.c_str(), kFolder, 0, notify, nullptr, &state) != 1) {
            result.ok = false;
            break;
        }
        if (state.opened != name) {
            name = state.opened;
        } else {
            name = state.nextOfOpened;
        }
    }
    CabinetEngine::destroy(engine);
    for (const Handle &h : g_handles) {
        result.openHandlesLeft += h.open ? 1 : 0;
    }
    g_result = nullptr;
    return result;
}

}  // namespace enginerun
