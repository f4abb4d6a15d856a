// Arbitrary bytes as one cabinet, or a set of up to three, driven through the
// whole engine: probe, one or two extract calls, destroy.
//
// Input layout:
//   - anything that does not start with "FZ" is one cabinet file, extracted
//     with a caller that takes every file;
//   - "FZ", a byte whose value mod 3 plus 1 is the number of cabinets, 14
//     bytes of caller behaviour (see Behaviour), then every cabinet but the
//     last as a 32-bit little-endian length and its bytes (cut to what is
//     left); the last cabinet takes the rest.
//
// The callbacks act as a strict caller: they keep their own table of handles
// and allocations and abort the process on anything the engine's contract
// rules out (a handle used after its close, a handle left open, more bytes
// written than FileStart announced, a text without its terminator, an error
// record left unset, a block freed twice or never).
#include "engine_fuzz.h"

#include <cabinet/engine.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// Caller behaviour taken from the input. Every field at 0 is the plain caller:
// no hook, every file taken, no failure injected.
struct Behaviour {
    std::uint8_t skipMask = 0;       // FileStart number k (from 0) answered 0 when bit k%8 is set
    std::uint8_t abortAt = 0;        // notification number n (from 1) answered -1
    std::uint8_t doneZeroAt = 0;     // FileDone number n (from 1) answered 0
    std::uint8_t allocFailAt = 0;    // allocation number n (from 1) answers null
    std::uint8_t ioFailAt = 0;       // call number n (from 1) of the kind below fails
    std::uint8_t ioFailKind = 0;     // 0 read -1, 1 read short, 2 seek -1, 3 close nonzero, 4 open -1, 5 write short
    std::uint8_t hookMode = 0;       // bit 0 hook given, bit 1 hook flips a data byte, bits 4-7 hook call that aborts
    std::uint8_t boundaryMode = 0;   // bit 0 count, bit 1 position at the first boundary; bit 2 one more pass at the last
    std::uint8_t boundaryCount = 0;
    std::int8_t boundaryShift = 0;
    std::uint8_t needMode = 0;       // bit 0 rewrites the path, bit 1 fills the path buffer without a terminator
    std::uint8_t pathLength = 0;
    std::uint8_t callMode = 0;       // bit 0 second extract on the last cabinet, bit 1 probe first, bit 2 empty folder
                                     // part, bit 3 a folder part of 244 to 257 characters, bit 4 (instead of bit 0)
                                     // walk the set: again on the cabinet a call switched into, else on the next
    std::uint8_t fillByte = 0;       // what fresh allocations hold
};

constexpr std::size_t kBehaviourBytes = 14;
constexpr std::size_t kMaxCabinets = 3;
constexpr int kMaxNeedCabinet = 6;
constexpr std::size_t kNameLimit = 256;   // 255 characters and the terminator
constexpr std::size_t kPathLimit = 257;   // 256 characters and the terminator
constexpr std::size_t kFullLimit = 258;

struct Handle {
    bool open = false;
    bool output = false;
    std::size_t cabinet = 0;
    std::size_t position = 0;
    std::uint32_t announced = 0;
    std::uint32_t written = 0;
    std::uint64_t hash = 14695981039346656037ull;
};

// What FileStart said about the file being written, for FileDone to match.
struct Started {
    std::string name;
    std::uint16_t date = 0, time = 0, attributes = 0, folderIndex = 0;
};

// A file that came out whole, for comparing two runs over the same input.
struct Output {
    int call = 0;
    std::size_t firstCabinet = 0;
    int ordinal = 0;
    std::string name;
    std::uint32_t size = 0;
    std::uint64_t hash = 0;
};

struct State {
    Behaviour b;
    std::vector<std::vector<std::uint8_t>> cabinets;
    std::vector<Handle> handles;
    std::map<void *, std::uint32_t> blocks;
    std::size_t serving = 0;        // the cabinet the next open gets
    int allocs = 0;
    int ioCalls[6] = {};
    int notifications = 0;
    int fileStarts = 0;
    int fileDones = 0;
    int hookCalls = 0;
    int needCabinet = 0;
    int boundaries = 0;
    bool extraPassDone = false;
    bool aborted = false;           // some answer was -1
    bool doneZero = false;
    bool shortWrite = false;
    bool allocFailed = false;
    bool retried = false;           // NeedCabinet came back with an error
    std::int32_t writing = -1;      // output handle of the file being written
    Started started;
    bool opened = false;            // a CabinetOpened came in this call
    std::uint16_t openedSetId = 0, openedIndex = 0;
    std::uint16_t wantedSetId = 0, wantedIndex = 0;  // of the NeedCabinet being retried
    int call = 0;                   // extract calls so far on this input
    std::size_t callCabinet = 0;    // the cabinet the running call began with
    int writingOrdinal = 0;
    bool writingBeforeSwitch = false;
    std::vector<Output> outputs;    // whole files begun before any cabinet switch
    std::uint32_t sink = 0;         // keeps the written bytes observed
    void *user = nullptr;
};

State *st = nullptr;
int userTag = 0;

[[noreturn]] void violation(const char *format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::fputs("engine contract violated: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    std::abort();
}

bool injected(int kind)
{
    return st->b.ioFailAt != 0 && ++st->ioCalls[kind] == st->b.ioFailAt && st->b.ioFailKind % 6 == kind;
}

Handle *cabinetHandle(std::int32_t h, const char *what)
{
    if (h < 0 || static_cast<std::size_t>(h) >= st->handles.size() || !st->handles[h].open) {
        violation("%s on handle %d, which is not open", what, h);
    }
    if (st->handles[h].output) {
        violation("%s on output handle %d", what, h);
    }
    return &st->handles[h];
}

std::size_t boundedLength(const char *text, std::size_t limit, const char *what)
{
    if (text == nullptr) {
        violation("%s is null", what);
    }
    std::size_t n = strnlen(text, limit);
    if (n == limit) {
        violation("%s has no terminator within %zu bytes", what, limit);
    }
    return n;
}

std::int32_t newHandle(Handle h)
{
    h.open = true;
    st->handles.push_back(h);
    return static_cast<std::int32_t>(st->handles.size() - 1);
}

// ---- Callbacks ------------------------------------------------------------------

void *fuzzAlloc(std::uint32_t size)
{
    if (++st->allocs == st->b.allocFailAt) {
        st->allocFailed = true;
        return nullptr;
    }
    void *p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        violation("host out of memory for %u bytes", size);
    }
    std::memset(p, st->b.fillByte, size);
    st->blocks[p] = size;
    return p;
}

void fuzzFree(void *p)
{
    auto it = st->blocks.find(p);
    if (it == st->blocks.end()) {
        violation("free of %p, which is not a live block", p);
    }
    st->blocks.erase(it);
    std::free(p);
}

std::int32_t fuzzOpen(const char *path, std::int32_t flags, std::int32_t permission)
{
    std::size_t length = boundedLength(path, kFullLimit, "open path");
    if (length == 1 && path[0] == '*') {
        return -1;  // no scratch files here
    }
    if (flags != 0x8000 || permission != 0x180) {
        violation("cabinet opened with flags %#x, permission %#x", flags, permission);
    }
    if (injected(4) || st->serving >= st->cabinets.size()) {
        return -1;
    }
    Handle h;
    h.cabinet = st->serving;
    return newHandle(h);
}

std::int32_t fuzzRead(std::int32_t h, void *buffer, std::uint32_t count)
{
    Handle *handle = cabinetHandle(h, "read");
    if (injected(0)) {
        return -1;
    }
    const std::vector<std::uint8_t> &file = st->cabinets[handle->cabinet];
    std::size_t available = handle->position < file.size() ? file.size() - handle->position : 0;
    std::size_t n = count < available ? count : available;
    if (n != 0 && injected(1)) {
        --n;
    }
    if (n != 0) {
        std::memcpy(buffer, file.data() + handle->position, n);
    }
    // Touch the whole buffer the engine claims to have, so that a count larger
    // than its buffer shows up under the sanitizer even at the end of the file.
    if (count > n) {
        std::memset(static_cast<std::uint8_t *>(buffer) + n, 0xEE, count - n);
    }
    handle->position += n;
    return static_cast<std::int32_t>(n);
}

std::int32_t fuzzWrite(std::int32_t h, const void *buffer, std::uint32_t count)
{
    if (h < 0 || static_cast<std::size_t>(h) >= st->handles.size() || !st->handles[h].open ||
        !st->handles[h].output) {
        violation("write to handle %d, which is no open output", h);
    }
    Handle &handle = st->handles[h];
    if (h != st->writing) {
        violation("write to output %d while %d is the file being written", h, st->writing);
    }
    if (static_cast<std::uint64_t>(handle.written) + count > handle.announced) {
        violation("write of %u bytes after %u of a file announced with %u", count, handle.written, handle.announced);
    }
    const auto *bytes = static_cast<const std::uint8_t *>(buffer);
    for (std::uint32_t i = 0; i < count; ++i) {
        handle.hash = (handle.hash ^ bytes[i]) * 1099511628211ull;
    }
    if (count != 0 && injected(5)) {
        st->shortWrite = true;
        handle.written += count - 1;
        return static_cast<std::int32_t>(count - 1);
    }
    handle.written += count;
    return static_cast<std::int32_t>(count);
}

std::int32_t fuzzClose(std::int32_t h)
{
    if (h < 0 || static_cast<std::size_t>(h) >= st->handles.size() || !st->handles[h].open) {
        violation("close of handle %d, which is not open", h);
    }
    st->handles[h].open = false;
    if (h == st->writing) {
        st->writing = -1;
    }
    return injected(3) ? 1 : 0;
}

std::int32_t fuzzSeek(std::int32_t h, std::int32_t offset, std::int32_t origin)
{
    Handle *handle = cabinetHandle(h, "seek");
    if (origin == 1 && offset != 0) {
        violation("seek by %d from the current position", offset);
    }
    if (origin != 0 && origin != 1) {
        violation("seek with origin %d", origin);
    }
    if (injected(2)) {
        return -1;
    }
    if (origin == 1) {
        return static_cast<std::int32_t>(handle->position);
    }
    if (offset < 0) {
        return -1;
    }
    handle->position = static_cast<std::size_t>(offset);
    return offset;
}

// ---- Notifications and the hook ---------------------------------------------------

bool abortNow()
{
    if (st->b.abortAt != 0 && st->notifications == st->b.abortAt) {
        st->aborted = true;
        return true;
    }
    return false;
}

std::int32_t fuzzNotify(CabNotifyKind kind, CabNotifyRecord *r)
{
    ++st->notifications;
    if (r == nullptr || r->user != st->user) {
        violation("notification %d without the caller's user value", static_cast<int>(kind));
    }
    switch (kind) {
    case CabNotifyKind::CabinetOpened:
        boundedLength(r->text1, kNameLimit, "next cabinet name");
        boundedLength(r->text2, kNameLimit, "next disk name");
        boundedLength(r->text3, kPathLimit, "cabinet path");
        st->opened = true;
        st->openedSetId = r->setId;
        st->openedIndex = r->cabinetIndex;
        return abortNow() ? -1 : 0;

    case CabNotifyKind::ContinuedFile:
    case CabNotifyKind::FileStart: {
        boundedLength(r->text1, kNameLimit, "file name");
        boundedLength(r->text2, kNameLimit, "previous cabinet name");
        boundedLength(r->text3, kNameLimit, "previous disk name");
        if (st->writing != -1) {
            violation("a file entry is announced while output %d is still being written", st->writing);
        }
        if (abortNow()) {
            return -1;
        }
        if (kind == CabNotifyKind::ContinuedFile) {
            return 0;
        }
        int number = st->fileStarts++;
        if ((st->b.skipMask >> (number % 8) & 1) != 0) {
            return 0;
        }
        Handle h;
        h.output = true;
        h.announced = r->value;
        st->writing = newHandle(h);
        st->started = Started{r->text1, r->date, r->time, r->attributes, r->folderIndex};
        st->writingOrdinal = number;
        st->writingBeforeSwitch = st->needCabinet == 0;
        return st->writing;
    }

    case CabNotifyKind::FileDone: {
        boundedLength(r->text1, kNameLimit, "file name");
        if (st->writing == -1 || r->handle != st->writing) {
            violation("FileDone for handle %d while %d is being written", r->handle, st->writing);
        }
        const Handle &h = st->handles[r->handle];
        if (h.written != h.announced) {
            violation("FileDone after %u bytes of a file announced with %u", h.written, h.announced);
        }
        const Started &s = st->started;
        if (r->attributes != (s.attributes & ~0x40) || r->value != ((s.attributes & 0x40) != 0 ? 1u : 0u)) {
            violation("FileDone with attributes %#x and value %u for a file started with %#x", r->attributes,
                      r->value, s.attributes);
        }
        if (s.name != r->text1 || r->date != s.date || r->time != s.time || r->folderIndex != s.folderIndex) {
            violation("FileDone describes \"%s\" (folder %#x), not the file started, \"%s\" (folder %#x)", r->text1,
                      r->folderIndex, s.name.c_str(), s.folderIndex);
        }
        if (st->writingBeforeSwitch) {
            st->outputs.push_back(Output{st->call, st->callCabinet, st->writingOrdinal, s.name, h.announced, h.hash});
        }
        ++st->fileDones;
        if (abortNow()) {
            return -1;  // the engine closes the handle
        }
        // Any other answer hands the handle to the caller, who closes it.
        st->handles[r->handle].open = false;
        st->writing = -1;
        if (st->fileDones == st->b.doneZeroAt) {
            st->doneZero = true;
            return 0;
        }
        return 1;
    }

    case CabNotifyKind::NeedCabinet: {
        boundedLength(r->text1, kNameLimit, "next cabinet name");
        boundedLength(r->text2, kNameLimit, "next disk name");
        boundedLength(r->text3, kPathLimit, "cabinet path");
        if (static_cast<std::int32_t>(r->error) < 0 || static_cast<std::int32_t>(r->error) > 11) {
            violation("NeedCabinet with error %d", static_cast<int>(r->error));
        }
        // Only the folder of the file being written can run on into the next
        // cabinet, and every try asks for the successor of the cabinet in use.
        if (st->writing == -1) {
            violation("NeedCabinet while no file is being written");
        }
        if (r->error == CabErrorCode::None) {
            if (!st->opened || r->setId != st->openedSetId ||
                r->cabinetIndex != static_cast<std::uint16_t>(st->openedIndex + 1)) {
                violation("NeedCabinet for set %#x index %u after cabinet %#x/%u", r->setId, r->cabinetIndex,
                          st->openedSetId, st->openedIndex);
            }
            st->wantedSetId = r->setId;
            st->wantedIndex = r->cabinetIndex;
        } else {
            st->retried = true;
            if (r->setId != st->wantedSetId || r->cabinetIndex != st->wantedIndex) {
                violation("NeedCabinet tried again for set %#x index %u instead of %#x/%u", r->setId,
                          r->cabinetIndex, st->wantedSetId, st->wantedIndex);
            }
        }
        if (abortNow() || ++st->needCabinet > kMaxNeedCabinet) {
            st->aborted = true;
            return -1;
        }
        ++st->serving;
        if ((st->b.needMode & 2) != 0) {
            std::memset(r->text3, 'q', kPathLimit);
        } else if ((st->b.needMode & 1) != 0) {
            std::memset(r->text3, 'p', st->b.pathLength);
            r->text3[st->b.pathLength] = '\0';
        }
        return 1;
    }

    case CabNotifyKind::FileListBoundary: {
        if (abortNow()) {
            return -1;
        }
        bool first = st->boundaries++ == 0;
        if (first && (st->b.boundaryMode & 1) != 0) {
            r->folderIndex = st->b.boundaryCount;
        }
        if (first && (st->b.boundaryMode & 2) != 0) {
            r->value = static_cast<std::uint32_t>(static_cast<std::int64_t>(r->value) + st->b.boundaryShift);
        }
        if (!first && r->folderIndex == 0 && (st->b.boundaryMode & 4) != 0 && !st->extraPassDone) {
            st->extraPassDone = true;
            r->folderIndex = st->b.boundaryCount;
        }
        return 0;
    }
    }
    violation("notification of unknown kind %d", static_cast<int>(kind));
}

std::int32_t fuzzHook(CabHookRecord *r)
{
    if (r == nullptr || r->user != st->user) {
        violation("hook call without the caller's user value");
    }
    ++st->hookCalls;
    if ((r->reserve == nullptr) != (r->reserveSize == 0)) {
        violation("reserve pointer and size %u disagree", r->reserveSize);
    }
    std::uint32_t seen = 0;
    for (std::uint16_t i = 0; i < r->reserveSize; ++i) {
        seen += r->reserve[i];
    }
    switch (r->kind) {
    case CabHookKind::CabinetReserve:
    case CabHookKind::FolderReserve:
        break;
    case CabHookKind::DataBlock: {
        if (r->data == nullptr || r->partialSize > r->dataSize || r->isSplit > 1 || r->isSplit < 0) {
            violation("data block hook with size %u, partial %u, split %d", r->dataSize, r->partialSize, r->isSplit);
        }
        std::uint32_t piece = static_cast<std::uint32_t>(r->dataSize - r->partialSize);
        for (std::uint32_t i = 0; i < piece; ++i) {
            seen += r->data[i];
        }
        if (piece != 0 && (st->b.hookMode & 2) != 0) {
            r->data[seen % piece] ^= 0x10;
        }
        break;
    }
    default:
        violation("hook call of unknown kind %u", static_cast<unsigned>(r->kind));
    }
    st->sink += seen;
    if ((st->b.hookMode >> 4) != 0 && st->hookCalls == (st->b.hookMode >> 4)) {
        st->aborted = true;
        return -1;
    }
    return 0;
}

// ---- Driving the engine -------------------------------------------------------------

bool validCode(CabErrorCode code)
{
    return static_cast<std::int32_t>(code) >= 1 && static_cast<std::int32_t>(code) <= 12;
}

void probeAll(CabinetEngine *engine, CabError *error)
{
    for (std::size_t i = 0; i < st->cabinets.size(); ++i) {
        Handle h;
        h.cabinet = i;
        std::int32_t handle = newHandle(h);
        const CabError before = *error;
        CabinetSummary summary{};
        std::int32_t result = CabinetEngine::probe(engine, handle, &summary);
        const std::vector<std::uint8_t> &file = st->cabinets[i];
        if (result == 1) {
            if (file.size() < 36 || std::memcmp(file.data(), "MSCF", 4) != 0 ||
                summary.fileCount != static_cast<std::int16_t>(file[28] | file[29] << 8) ||
                (summary.hasNext != 0 && summary.hasNext != 2)) {
                violation("probe accepted a header it should not, or misread it");
            }
        } else if (result != 0) {
            violation("probe answered %d", result);
        } else if (std::memcmp(&before, error, sizeof before) != 0 &&
                   (error->code != CabErrorCode::UnsupportedVersion || error->isSet != 1)) {
            violation("probe refused with code %d", static_cast<int>(error->code));
        }
        st->handles[handle].open = false;
    }
}

void resetCall()
{
    st->notifications = st->fileStarts = st->fileDones = st->hookCalls = st->needCabinet = st->boundaries = 0;
    st->extraPassDone = st->aborted = st->doneZero = st->shortWrite = st->allocFailed = st->retried = false;
    st->opened = false;
    st->writing = -1;
}

void checkAfterExtract(std::int32_t result, const CabError &before, const CabError &error)
{
    for (std::size_t h = 0; h < st->handles.size(); ++h) {
        if (st->handles[h].open) {
            violation("handle %zu (%s) still open after extract", h, st->handles[h].output ? "output" : "cabinet");
        }
    }
    if (result == 1) {
        if (st->aborted || st->doneZero || st->shortWrite) {
            violation("extract succeeded after a refusal by its caller");
        }
        // A failed try at the next cabinet records its code before the caller
        // supplies a better one; nothing else may touch the record.
        if (st->retried) {
            return;
        }
        if (st->allocFailed) {
            violation("extract succeeded although an allocation failed");
        }
        if (std::memcmp(&before, &error, sizeof before) != 0) {
            violation("a successful extract changed the error record");
        }
        return;
    }
    if (result != 0) {
        violation("extract answered %d", result);
    }
    if (error.isSet != 1 || !validCode(error.code)) {
        violation("extract failed with error record {%d, %d, %d}", static_cast<int>(error.code), error.detail,
                  error.isSet);
    }
    // A refusal by the caller is the last thing that happens in a call, so its
    // code is the one left in the record.
    if (st->aborted && error.code != CabErrorCode::Aborted) {
        violation("an answer of -1 ended in code %d", static_cast<int>(error.code));
    }
    if ((st->doneZero || st->shortWrite) && error.code != CabErrorCode::OutputFailed) {
        violation("a refused output ended in code %d", static_cast<int>(error.code));
    }
    if (st->allocFailed && !st->retried && !st->aborted && error.code != CabErrorCode::OutOfMemory) {
        violation("a failed allocation ended in code %d", static_cast<int>(error.code));
    }
}

void runExtract(CabinetEngine *engine, CabError *error, std::size_t cabinet, const char *name)
{
    resetCall();
    ++st->call;
    st->serving = st->callCabinet = cabinet;
    std::string folder = (st->b.callMode & 4) != 0 ? "" : "C:\\cabs\\";
    if ((st->b.callMode & 8) != 0) {
        // Around the limits of the path buffers (256 characters for the folder,
        // 257 for folder and name together).
        folder.assign(244 + st->b.pathLength % 14, 'x');
        folder.back() = '\\';
    }
    const CabError before = *error;
    std::int32_t result = CabinetEngine::extract(engine, name, folder.c_str(), 0, fuzzNotify,
                                                 (st->b.hookMode & 1) != 0 ? fuzzHook : nullptr, st->user);
    checkAfterExtract(result, before, *error);
    if (std::getenv("ENGINE_FUZZ_VERBOSE") != nullptr) {
        std::fprintf(stderr, "extract from cabinet %zu: %d (code %d), %d files started, %d done, %d cabinets asked for\n",
                     cabinet, result, static_cast<int>(error->code), st->fileStarts, st->fileDones, st->needCabinet);
    }
}

Behaviour parseBehaviour(const std::uint8_t *raw)
{
    Behaviour b;
    b.skipMask = raw[0];
    b.abortAt = raw[1];
    b.doneZeroAt = raw[2];
    b.allocFailAt = raw[3];
    b.ioFailAt = raw[4];
    b.ioFailKind = raw[5];
    b.hookMode = raw[6];
    b.boundaryMode = raw[7];
    b.boundaryCount = raw[8];
    b.boundaryShift = static_cast<std::int8_t>(raw[9]);
    b.needMode = raw[10];
    b.pathLength = raw[11];
    b.callMode = raw[12];
    b.fillByte = raw[13];
    return b;
}

// One caller's whole use of an engine: create, probe, extract (twice for a set),
// destroy.
void runSession(State &state)
{
    st = &state;
    state.user = &userTag;
    CabError error{};
    CabinetEngine *engine = CabinetEngine::create(fuzzAlloc, fuzzFree, fuzzOpen, fuzzRead, fuzzWrite, fuzzClose,
                                                  fuzzSeek, 1, &error);
    if (engine == nullptr) {
        if (!state.allocFailed || error.code != CabErrorCode::OutOfMemory || error.isSet != 1) {
            violation("create failed without an allocation failure");
        }
        st = nullptr;
        return;
    }
    if ((state.b.callMode & 2) != 0) {
        probeAll(engine, &error);
    }
    runExtract(engine, &error, 0, "first.cab");
    if ((state.b.callMode & 0x10) != 0) {
        // As a caller walking a set from its first cabinet does, so that a
        // folder that runs on is decoded on from one call into the next.
        for (std::size_t at = 0, calls = 1; calls < 2 * kMaxCabinets; ++calls) {
            at = state.serving != at ? state.serving : at + 1;
            if (at >= state.cabinets.size()) {
                break;
            }
            runExtract(engine, &error, at, "later.cab");
        }
    } else if ((state.b.callMode & 1) != 0 && state.serving < state.cabinets.size()) {
        // As a caller of a set does: once more on the last cabinet opened,
        // whose continued files now come as ContinuedFile.
        runExtract(engine, &error, state.serving, "later.cab");
    }
    if (CabinetEngine::destroy(engine) != 1) {
        violation("destroy answered other than 1");
    }
    if (!state.blocks.empty()) {
        violation("%zu blocks still allocated after destroy", state.blocks.size());
    }
    st = nullptr;
}

// True when every folder of every cabinet is stored, MSZIP or of a method the
// engine refuses, as far as the headers can be read the engine's way. A file's
// content is then a function of the input bytes alone: MSZIP refuses references
// that reach before its folder's start, so nothing a block leaves in the window
// shows through. (Quantum and LZX are left out until they exist.)
bool deterministicMethods(const std::vector<std::vector<std::uint8_t>> &cabinets)
{
    for (const auto &c : cabinets) {
        if (c.size() < 36 || std::memcmp(c.data(), "MSCF", 4) != 0) {
            continue;  // the engine stops at this cabinet
        }
        const std::uint16_t flags = static_cast<std::uint16_t>(c[30] | c[31] << 8);
        std::size_t at = 36;
        std::size_t folderReserve = 0;
        if ((flags & 4) != 0) {
            if (c.size() < 40) {
                continue;
            }
            folderReserve = c[38];
            at = 40 + static_cast<std::size_t>(c[36] | c[37] << 8);
        }
        const int names = ((flags & 1) != 0 ? 2 : 0) + ((flags & 2) != 0 ? 2 : 0);
        for (int n = 0; n < names; ++n) {
            std::size_t length = 0;
            while (at + length < c.size() && length < 256 && c[at + length] != 0) {
                ++length;
            }
            if (at + length >= c.size() || length > 255) {
                return false;
            }
            at += length + 1;
        }
        const std::size_t folders = static_cast<std::size_t>(c[26] | c[27] << 8);
        for (std::size_t f = 0; f < folders; ++f) {
            const std::size_t type = at + f * (8 + folderReserve) + 6;
            if (type + 1 >= c.size()) {
                break;  // unreadable: the engine fails on it
            }
            const unsigned method = c[type] & 0x0F;
            if (method == 2 || method == 3) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    State first;
    if (size >= 2 && data[0] == 'F' && data[1] == 'Z') {
        std::uint8_t raw[kBehaviourBytes] = {};
        std::size_t count = size > 2 ? data[2] % kMaxCabinets + 1 : 1;
        std::size_t at = size < 3 ? size : 3;
        std::size_t take = size - at < kBehaviourBytes ? size - at : kBehaviourBytes;
        std::memcpy(raw, data + at, take);
        at += take;
        first.b = parseBehaviour(raw);
        for (std::size_t i = 0; i < count; ++i) {
            std::size_t length = size - at;
            if (i + 1 < count && length >= 4) {
                std::size_t stated = data[at] | data[at + 1] << 8 | data[at + 2] << 16 |
                                     static_cast<std::size_t>(data[at + 3]) << 24;
                at += 4;
                length = stated < size - at ? stated : size - at;
            }
            first.cabinets.emplace_back(data + at, data + at + length);
            at += length;
        }
    } else {
        first.cabinets.emplace_back(data, data + size);
    }
    runSession(first);
    if (first.outputs.empty() || !deterministicMethods(first.cabinets)) {
        return 0;
    }

    // Again with a caller that takes everything and refuses nothing, over
    // allocations filled differently: each file that came out whole both times
    // must have come out the same, whichever way the engine got to it.
    State second;
    second.cabinets = first.cabinets;
    second.b = first.b;
    second.b.skipMask = second.b.abortAt = second.b.doneZeroAt = second.b.allocFailAt = second.b.ioFailAt = 0;
    second.b.hookMode &= 1;
    second.b.fillByte = static_cast<std::uint8_t>(~first.b.fillByte);
    runSession(second);
    bool flipped = (first.b.hookMode & 2) != 0;
    for (const Output &a : first.outputs) {
        for (const Output &b : second.outputs) {
            if (a.call == b.call && a.firstCabinet == b.firstCabinet && a.ordinal == b.ordinal && a.name == b.name &&
                a.size == b.size && a.hash != b.hash && !flipped) {
                violation("file %d \"%s\" of call %d came out differently in two runs", a.ordinal, a.name.c_str(),
                          a.call);
            }
        }
    }
    return 0;
}
