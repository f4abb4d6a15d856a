// The four engine operations and the walk over a cabinet's file list.
#include <cabinet/engine.h>

#include "reader.h"

#include <cstring>
#include <new>

using namespace cabinet;

namespace {

bool notifyAbortable(EngineInstance &e, CabNotifyKind kind, std::int32_t *answer)
{
    e.record.user = e.user;
    *answer = e.notify(kind, &e.record);
    return *answer != -1 || fail(e, CabErrorCode::Aborted);
}

bool copyPath(EngineInstance &e, const char *cabinetPath)
{
    std::size_t length = 0;
    while (length < kPathBufferSize && cabinetPath[length] != '\0') {
        ++length;
    }
    if (length >= kPathBufferSize) {
        return fail(e, CabErrorCode::CabinetOpenFailed);
    }
    std::memcpy(e.cabinetPath, cabinetPath, length + 1);
    return true;
}

// Sends FileListBoundary and takes back the count of entries to read and the
// position to read them from.
bool fileListBoundary(EngineInstance &e, std::uint16_t count)
{
    std::int32_t position = 0;
    if (!currentListPosition(e, &position)) {
        return false;
    }
    e.record.value = static_cast<std::uint32_t>(position);
    e.record.folderIndex = count;
    e.record.setId = headerSetId(e);
    std::int32_t answer = 0;
    if (!notifyAbortable(e, CabNotifyKind::FileListBoundary, &answer)) {
        return false;
    }
    e.entriesLeft = e.record.folderIndex;
    if (e.entriesLeft != 0 && e.record.value != static_cast<std::uint32_t>(position)) {
        std::int32_t target = static_cast<std::int32_t>(e.record.value);
        if (target < 0 || e.io.seek(e.listHandle, target, 0) != target) {
            return fail(e, CabErrorCode::Aborted);
        }
    }
    return true;
}

bool processEntry(EngineInstance &e)
{
    --e.entriesLeft;
    if (!readFileEntry(e)) {
        return false;
    }
    const std::uint16_t folder = entryFolder(e.fileEntry);
    e.record.value = entrySize(e.fileEntry);
    e.record.text1 = e.fileName;
    e.record.text2 = e.previousCabinet;
    e.record.text3 = e.previousDisk;
    e.record.date = entryDate(e.fileEntry);
    e.record.time = entryTime(e.fileEntry);
    e.record.attributes = entryAttributes(e.fileEntry);
    e.record.folderIndex = folder;

    std::int32_t answer = 0;
    const bool beganEarlier = folder == kContinuedFromPrevious || folder == kContinuedBothWays;
    if (beganEarlier && !e.continuationPass) {
        return notifyAbortable(e, CabNotifyKind::ContinuedFile, &answer);
    }
    if (!beganEarlier && e.continuationPass) {
        // The first file that begins in this cabinet: the caller extracts the
        // rest of this cabinet with a call of its own.
        e.entriesLeft = 0;
        return true;
    }
    if (!notifyAbortable(e, CabNotifyKind::FileStart, &answer)) {
        return false;
    }
    if (answer == 0) {
        if (folder == kContinuedToNext || folder == kContinuedBothWays) {
            ++e.skippedContinuing;
        }
        return true;
    }
    e.outputHandle = answer;
    return produceFile(e);
}

bool runExtract(EngineInstance &e, const char *cabinetName, const char *cabinetPath)
{
    if (!copyPath(e, cabinetPath) || !openCabinet(e, cabinetName, false, 0, 0)) {
        return false;
    }
    e.continuationPass = false;
    takeUpFolder(e);
    if (!copyPath(e, cabinetPath) || !fileListBoundary(e, headerFileCount(e))) {
        return false;
    }
    while (e.entriesLeft != 0) {
        if (!processEntry(e)) {
            return false;
        }
        if (e.entriesLeft == 0 && !fileListBoundary(e, 0)) {
            return false;
        }
    }
    leaveFolder(e);
    return true;
}

}  // namespace

CabinetEngine *CabinetEngine::create(CabAllocFn alloc, CabFreeFn free, CabOpenFn open, CabReadFn read,
                                     CabWriteFn write, CabCloseFn close, CabSeekFn seek,
                                     std::int32_t processorType, CabError *error)
{
    void *memory = alloc != nullptr ? alloc(sizeof(EngineInstance)) : nullptr;
    if (memory == nullptr) {
        if (error != nullptr) {
            error->code = CabErrorCode::OutOfMemory;
            error->detail = 0;
            error->isSet = 1;
        }
        return nullptr;
    }
    EngineInstance *e = new (memory) EngineInstance();
    e->io = DecoderCallbacks{alloc, free, open, read, write, close, seek};
    e->processorType = processorType;
    e->error = error != nullptr ? error : &e->fallbackError;
    e->record.text1 = e->record.text2 = e->record.text3 = e->fileName;
    return e;
}

std::int32_t CabinetEngine::probe(CabinetEngine *engine, std::int32_t handle, CabinetSummary *summary)
{
    if (engine == nullptr || summary == nullptr) {
        return 0;
    }
    EngineInstance &e = *instanceOf(engine);
    std::uint8_t header[kHeaderSize];
    std::int32_t got = e.io.read(handle, header, kHeaderSize);
    if (got != static_cast<std::int32_t>(kHeaderSize) || std::memcmp(header, "MSCF", 4) != 0) {
        return 0;
    }
    if (headerVersion(header) != 0x0103) {
        fail(e, CabErrorCode::UnsupportedVersion, headerVersion(header));
        return 0;
    }
    const std::uint16_t flags = readU16(header + 30);
    summary->totalSize = readU32(header + 8);
    summary->folderCount = static_cast<std::int16_t>(readU16(header + 26));
    summary->fileCount = static_cast<std::int16_t>(readU16(header + 28));
    summary->setId = static_cast<std::int16_t>(readU16(header + 32));
    summary->cabinetIndex = static_cast<std::int16_t>(readU16(header + 34));
    summary->hasReserve = (flags & kFlagHasReserve) != 0 ? 1 : 0;
    summary->hasPrevious = flags & kFlagHasPrevious;
    summary->hasNext = flags & kFlagHasNext;
    return 1;
}

std::int32_t CabinetEngine::extract(CabinetEngine *engine, const char *cabinetName, const char *cabinetPath,
                                    std::int32_t /*flags: none are defined*/, CabNotifyFn notify, CabHookFn hook,
                                    void *user)
{
    if (engine == nullptr) {
        return 0;
    }
    EngineInstance &e = *instanceOf(engine);
    if (notify == nullptr || cabinetName == nullptr || cabinetPath == nullptr) {
        fail(e, CabErrorCode::CabinetOpenFailed);
        return 0;
    }
    e.notify = notify;
    e.hook = hook;
    e.user = user;
    e.skippedContinuing = 0;
    e.outputHandle = -1;
    // Cabinets of one set must agree on their reserve sizes; cabinets handled by
    // separate calls need not.
    forgetReserveSizes(e);

    const bool ok = runExtract(e, cabinetName, cabinetPath);
    if (!ok) {
        // Only a call that ends well leaves a folder for the next one to go on with.
        e.resume.kind = FolderResume::Kind::None;
    }
    if (e.outputHandle != -1) {
        e.io.close(e.outputHandle);
        e.outputHandle = -1;
    }
    closeCabinet(e);
    return ok ? 1 : 0;
}

std::int32_t CabinetEngine::destroy(CabinetEngine *engine)
{
    if (engine == nullptr) {
        return 0;
    }
    EngineInstance &e = *instanceOf(engine);
    tearDownDecoder(e);
    forgetReserveSizes(e);
    closeCabinet(e);
    CabFreeFn release = e.io.free;
    e.~EngineInstance();
    release(engine);
    return 1;
}
