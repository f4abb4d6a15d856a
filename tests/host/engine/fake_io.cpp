#include "fake_io.h"

#include "support/zlib_blocks.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace enginetest {

FakeIo *io = nullptr;

namespace {

void put16(Bytes &b, std::uint16_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(Bytes &b, std::uint32_t v)
{
    put16(b, static_cast<std::uint16_t>(v));
    put16(b, static_cast<std::uint16_t>(v >> 16));
}
void set32(Bytes &b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}
void putName(Bytes &b, const std::string &s)
{
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
}

// Independent of the engine's own routine, so that a fault there shows.
std::uint32_t referenceChecksum(const Bytes &bytes, std::uint32_t seed)
{
    std::uint32_t sum = seed;
    std::size_t i = 0;
    for (; i + 4 <= bytes.size(); i += 4) {
        std::uint32_t word = 0;
        std::memcpy(&word, bytes.data() + i, 4);  // the test hosts are little-endian
        sum ^= word;
    }
    std::uint32_t tail = 0;
    for (; i < bytes.size(); ++i) {
        tail = (tail << 8) | bytes[i];
    }
    return sum ^ tail;
}

void *fakeAlloc(std::uint32_t size)
{
    if (++io->allocs == io->failAllocAt || size > io->failAllocAbove) {
        return nullptr;
    }
    void *p = std::malloc(size == 0 ? 1 : size);
    io->liveBlocks.insert(p);
    return p;
}
void fakeFree(void *p)
{
    io->liveBlocks.erase(p);
    std::free(p);
}
std::int32_t fakeOpen(const char *path, std::int32_t, std::int32_t)
{
    ++io->opens;
    return io->openInput(path);
}
FakeIo::Handle *lookup(std::int32_t h)
{
    if (h < 0 || static_cast<std::size_t>(h) >= io->handles.size() || !io->handles[h].open) {
        return nullptr;
    }
    return &io->handles[h];
}
std::int32_t fakeRead(std::int32_t h, void *buffer, std::uint32_t count)
{
    ++io->reads;
    FakeIo::Handle *handle = lookup(h);
    if (handle == nullptr || handle->output) {
        return -1;
    }
    const Bytes &file = io->files[handle->path];
    std::size_t n = std::min<std::size_t>(count, file.size() - std::min(file.size(), handle->position));
    std::memcpy(buffer, file.data() + handle->position, n);
    handle->position += n;
    return static_cast<std::int32_t>(n);
}
std::int32_t fakeWrite(std::int32_t h, const void *buffer, std::uint32_t count)
{
    ++io->writes;
    FakeIo::Handle *handle = lookup(h);
    if (handle == nullptr || !handle->output) {
        return -1;
    }
    std::size_t n = count - std::min<std::size_t>(count, io->shortWriteBy);
    const auto *bytes = static_cast<const std::uint8_t *>(buffer);
    io->outputs[handle->path].insert(io->outputs[handle->path].end(), bytes, bytes + n);
    return static_cast<std::int32_t>(n);
}
std::int32_t fakeClose(std::int32_t h)
{
    ++io->closes;
    FakeIo::Handle *handle = lookup(h);
    if (handle == nullptr) {
        return -1;
    }
    handle->open = false;
    return io->closes == io->failCloseAt ? -1 : 0;
}
std::int32_t fakeSeek(std::int32_t h, std::int32_t offset, std::int32_t origin)
{
    ++io->seeks;
    FakeIo::Handle *handle = lookup(h);
    if (handle == nullptr) {
        return -1;
    }
    std::int64_t target = origin == 0 ? offset : static_cast<std::int64_t>(handle->position) + offset;
    if (target < 0) {
        return -1;
    }
    handle->position = static_cast<std::size_t>(target);
    return static_cast<std::int32_t>(target);
}

}  // namespace

std::int32_t FakeIo::openOutput(const std::string &name)
{
    handles.push_back({name, 0, true, true});
    outputs[name];
    return static_cast<std::int32_t>(handles.size() - 1);
}

std::int32_t FakeIo::openInput(const std::string &path)
{
    if (files.find(path) == files.end()) {
        return -1;
    }
    handles.push_back({path, 0, true, false});
    return static_cast<std::int32_t>(handles.size() - 1);
}

int FakeIo::openHandleCount() const
{
    return static_cast<int>(std::count_if(handles.begin(), handles.end(), [](const Handle &h) { return h.open; }));
}

CabinetEngine *makeEngine(CabError *error)
{
    return CabinetEngine::create(fakeAlloc, fakeFree, fakeOpen, fakeRead, fakeWrite, fakeClose, fakeSeek, 1, error);
}

std::int32_t notify(CabNotifyKind kind, CabNotifyRecord *r)
{
    auto text = [](const char *t) { return t != nullptr ? std::string(t) : std::string(); };
    io->events.push_back({kind, r->value, text(r->text1), text(r->text2), text(r->text3), r->folderIndex, r->setId,
                          r->cabinetIndex, r->attributes, r->error, r->handle});
    if (io->notifyOverride) {
        std::int32_t answer = io->notifyOverride(kind, r);
        if (answer != -2) {
            return answer;
        }
    }
    if (kind == CabNotifyKind::FileDone && lookup(r->handle) != nullptr) {
        io->handles[r->handle].open = false;  // the caller owns and closes it now
    }
    return kind == CabNotifyKind::FileStart ? io->openOutput(r->text1) : 1;
}

std::int32_t hook(CabHookRecord *record)
{
    return io->hookOverride ? io->hookOverride(record) : 0;
}

std::vector<CabNotifyKind> kindsOf(const std::vector<Event> &events)
{
    std::vector<CabNotifyKind> kinds;
    for (const Event &e : events) {
        kinds.push_back(e.kind);
    }
    return kinds;
}

Bytes buildCabinet(const CabPlan &plan, std::vector<std::size_t> *blockAt)
{
    Bytes out{'M', 'S', 'C', 'F'};
    put32(out, 0);
    put32(out, 0);  // total size, patched below
    put32(out, 0);
    put32(out, 0);  // file-list offset, patched below
    put32(out, 0);
    put16(out, plan.version);
    put16(out, plan.folderCountOverride != 0xFFFF ? plan.folderCountOverride
                                                   : static_cast<std::uint16_t>(plan.folders.size()));
    put16(out, static_cast<std::uint16_t>(plan.files.size()));
    put16(out, static_cast<std::uint16_t>((plan.hasPrevious ? 1 : 0) | (plan.hasNext ? 2 : 0) |
                                          (plan.reserveFlag ? 4 : 0)));
    put16(out, plan.setId);
    put16(out, plan.index);
    if (plan.reserveFlag) {
        put16(out, static_cast<std::uint16_t>(plan.cabinetReserve.size()));
        out.push_back(plan.folderReserve);
        out.push_back(plan.blockReserve);
        out.insert(out.end(), plan.cabinetReserve.begin(), plan.cabinetReserve.end());
    }
    if (plan.hasPrevious) {
        putName(out, plan.previousCabinet);
        putName(out, plan.previousDisk);
    }
    if (plan.hasNext) {
        putName(out, plan.nextCabinet);
        putName(out, plan.nextDisk);
    }
    std::vector<std::size_t> folderAt;
    for (const FolderPlan &f : plan.folders) {
        folderAt.push_back(out.size());
        put32(out, 0);
        put16(out, static_cast<std::uint16_t>(f.blocks.size()));
        put16(out, f.type);
        out.insert(out.end(), f.reserve.begin(), f.reserve.end());
    }
    set32(out, 16, static_cast<std::uint32_t>(out.size()));
    for (const FilePlan &f : plan.files) {
        put32(out, f.size);
        put32(out, f.offset);
        put16(out, f.folder);
        put16(out, f.date);
        put16(out, f.time);
        put16(out, f.attributes);
        putName(out, f.name);
    }
    for (std::size_t i = 0; i < plan.folders.size(); ++i) {
        set32(out, folderAt[i], static_cast<std::uint32_t>(out.size()));
        for (const BlockPlan &b : plan.folders[i].blocks) {
            Bytes header;
            put32(header, 0);
            put16(header, static_cast<std::uint16_t>(b.data.size()));
            put16(header, b.uncompressed);
            header.insert(header.end(), b.reserve.begin(), b.reserve.end());
            if (b.checksum) {
                Bytes tail(header.begin() + 4, header.end());
                set32(header, 0, referenceChecksum(tail, referenceChecksum(b.data, 0)));
            }
            if (blockAt != nullptr) {
                blockAt->push_back(out.size());
            }
            out.insert(out.end(), header.begin(), header.end());
            out.insert(out.end(), b.data.begin(), b.data.end());
        }
    }
    set32(out, 8, static_cast<std::uint32_t>(out.size()));
    return out;
}

std::vector<BlockPlan> storedBlocks(const Bytes &stream, std::uint32_t blockSize)
{
    std::vector<BlockPlan> blocks;
    for (std::size_t at = 0; at < stream.size(); at += blockSize) {
        std::size_t n = std::min<std::size_t>(blockSize, stream.size() - at);
        blocks.push_back({Bytes(stream.begin() + at, stream.begin() + at + n), static_cast<std::uint16_t>(n), true, {}});
    }
    return blocks;
}

std::vector<BlockPlan> mszipBlocks(const Bytes &stream)
{
    std::vector<BlockPlan> blocks;
    std::size_t at = 0;
    for (Bytes &block : testsupport::zlibMszipBlocks(stream, 9, Z_DEFAULT_STRATEGY)) {
        const std::size_t n = std::min<std::size_t>(32768, stream.size() - at);
        blocks.push_back({std::move(block), static_cast<std::uint16_t>(n), true, {}});
        at += n;
    }
    return blocks;
}

Bytes patternBytes(std::size_t size, std::uint32_t seed)
{
    Bytes out(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        if (i >= 300 && (i / 97) % 3 == 0) {
            out[i] = out[i - 300];  // repeats reach back across block ends
        } else {
            x = x * 1103515245u + 12345u;
            out[i] = static_cast<std::uint8_t>(x >> 16);
        }
    }
    return out;
}

}  // namespace enginetest
