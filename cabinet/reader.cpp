#include "reader.h"

#include "checksum.h"

#include <cstring>
#include <initializer_list>

namespace cabinet {

namespace {

constexpr std::uint32_t kFolderEntryFixed = 8;
constexpr std::uint32_t kBlockHeaderFixed = 8;
constexpr std::uint32_t kFileEntryFixed = 16;
constexpr std::uint16_t kAttributeExecute = 0x40;

// Seeks without writing the error record, for looks ahead whose failure is no
// failure of the call.
bool seekQuietly(EngineInstance &e, std::int32_t handle, std::int64_t position)
{
    return position >= 0 && position <= INT32_MAX &&
           e.io.seek(handle, static_cast<std::int32_t>(position), 0) == static_cast<std::int32_t>(position);
}

bool readExact(EngineInstance &e, std::int32_t handle, void *buffer, std::uint32_t count)
{
    if (count == 0) {
        return true;
    }
    std::int32_t got = e.io.read(handle, buffer, count);
    return got >= 0 && static_cast<std::uint32_t>(got) == count;
}

std::size_t boundedLength(const char *text, std::size_t limit)
{
    std::size_t n = 0;
    while (n < limit && text[n] != '\0') {
        ++n;
    }
    return n;
}

bool sendAbortable(EngineInstance &e, CabNotifyKind kind, std::int32_t *answer = nullptr)
{
    e.record.user = e.user;
    std::int32_t result = e.notify(kind, &e.record);
    if (answer != nullptr) {
        *answer = result;
    }
    return result != -1 || fail(e, CabErrorCode::Aborted);
}

bool callHook(EngineInstance &e)
{
    if (e.hook == nullptr) {
        return true;
    }
    e.hookRecord.user = e.user;
    return e.hook(&e.hookRecord) != -1 || fail(e, CabErrorCode::Aborted);
}

// Names are read a fixed 256 bytes at a time through the file-list handle, then
// the handle is put back just past the terminator. Fewer bytes than asked are
// fine near the end of the file, but the terminator must be among those read:
// whatever lies beyond them in the buffer is left over from an earlier name.
bool readName(EngineInstance &e, char *buffer)
{
    std::int32_t start = 0;
    if (!currentListPosition(e, &start)) {
        return false;
    }
    std::int32_t got = e.io.read(e.listHandle, buffer, kNameReadSize);
    if (got < 1 || static_cast<std::uint32_t>(got) > kNameReadSize) {
        buffer[0] = '\0';
        return fail(e, CabErrorCode::CabinetDamaged);
    }
    buffer[got] = '\0';
    buffer[kNameReadSize] = '\0';
    std::size_t length = boundedLength(buffer, static_cast<std::size_t>(got));
    if (length == static_cast<std::size_t>(got)) {
        buffer[0] = '\0';
        return fail(e, CabErrorCode::CabinetDamaged);
    }
    return seekTo(e, e.listHandle, static_cast<std::int64_t>(start) + static_cast<std::int64_t>(length) + 1);
}

bool joinPath(EngineInstance &e, const char *name)
{
    // The caller (or a NeedCabinet answer) may leave the path without a
    // terminator inside its buffer; put one back so that the text shown in the
    // next notification stays bounded.
    std::size_t pathLength = boundedLength(e.cabinetPath, kPathBufferSize);
    if (pathLength >= kPathBufferSize) {
        e.cabinetPath[kPathBufferSize - 1] = '\0';
        return fail(e, CabErrorCode::CabinetOpenFailed);
    }
    std::size_t nameLength = boundedLength(name, kFullNameBufferSize);
    if (pathLength + nameLength >= kFullNameBufferSize) {
        return fail(e, CabErrorCode::CabinetOpenFailed);
    }
    std::memcpy(e.fullName, e.cabinetPath, pathLength);
    std::memcpy(e.fullName + pathLength, name, nameLength);
    e.fullName[pathLength + nameLength] = '\0';
    return true;
}

bool allocateEntryBuffer(EngineInstance &e, std::int32_t size, std::int32_t *sizeInUse, std::uint8_t **buffer)
{
    if (*buffer == nullptr) {
        *buffer = static_cast<std::uint8_t *>(e.io.alloc(static_cast<std::uint32_t>(size)));
        if (*buffer == nullptr) {
            return fail(e, CabErrorCode::OutOfMemory);
        }
        *sizeInUse = size;
        return true;
    }
    return size == *sizeInUse || fail(e, CabErrorCode::ReserveMismatch);
}

bool readReserves(EngineInstance &e, std::uint8_t *folderReserve, std::uint8_t *blockReserve)
{
    std::uint8_t sizes[4];
    if (!readExact(e, e.listHandle, sizes, sizeof sizes)) {
        return fail(e, CabErrorCode::NotCabinetFile);
    }
    std::uint16_t cabinetReserve = readU16(sizes);
    *folderReserve = sizes[2];
    *blockReserve = sizes[3];
    if (!e.cabinetReserveKnown) {
        if (cabinetReserve != 0) {
            e.cabinetReserve = static_cast<std::uint8_t *>(e.io.alloc(cabinetReserve));
            if (e.cabinetReserve == nullptr) {
                return fail(e, CabErrorCode::OutOfMemory);
            }
        }
        e.cabinetReserveSize = cabinetReserve;
        e.cabinetReserveKnown = true;
    } else if (cabinetReserve != e.cabinetReserveSize) {
        // Reading past a reserve area of another size would take its bytes for
        // the set names and every structure after them.
        return fail(e, CabErrorCode::ReserveMismatch);
    }
    if (!readExact(e, e.listHandle, e.cabinetReserve, e.cabinetReserveSize)) {
        return fail(e, CabErrorCode::NotCabinetFile);
    }
    return true;
}

bool selectDecoder(EngineInstance &e, std::uint16_t type)
{
    std::uint32_t method = type & 0x0F;
    if (method > 3) {
        return fail(e, CabErrorCode::UnsupportedCompression);
    }
    if (type == e.typeInForce) {
        return true;
    }
    if (!tearDownDecoder(e)) {
        return false;
    }

    static const BlockDecoder *const kDecoders[4] = {nullptr, &kMszipDecoder, &kQuantumDecoder, &kLzxDecoder};
    const BlockDecoder *ops = kDecoders[method];
    DecoderParams params{method == 1 ? 0u : (type >> 8) & 0x1Fu, e.processorType};
    std::uint32_t maxBlock = kMaxBlockSize;
    std::uint32_t bufferSize = kMaxBlockSize;
    if (ops != nullptr && ops->queryBufferSizes(&maxBlock, params, &bufferSize) != DecoderResult::Ok) {
        return fail(e, CabErrorCode::DecodeFailed);
    }
    // A block's compressed size is a 16-bit field, pieces included.
    if (bufferSize == 0 || bufferSize > 0xFFFF) {
        return fail(e, CabErrorCode::DecodeFailed);
    }

    e.compressed = static_cast<std::uint8_t *>(e.io.alloc(bufferSize));
    if (e.compressed == nullptr) {
        return fail(e, CabErrorCode::OutOfMemory);
    }
    e.uncompressed = static_cast<std::uint8_t *>(e.io.alloc(kMaxBlockSize));
    if (e.uncompressed == nullptr) {
        e.io.free(e.compressed);
        e.compressed = nullptr;
        return fail(e, CabErrorCode::OutOfMemory);
    }
    e.compressedSize = bufferSize;
    e.uncompressedSize = kMaxBlockSize;

    if (ops != nullptr) {
        maxBlock = kMaxBlockSize;
        DecoderResult made = ops->createDecoder(&maxBlock, params, e.io, &e.decoder);
        if (made != DecoderResult::Ok) {
            e.decoder = nullptr;
            tearDownDecoder(e);
            return fail(e, made == DecoderResult::NoMemory ? CabErrorCode::OutOfMemory : CabErrorCode::DecodeFailed);
        }
    }
    e.decoderOps = ops;
    e.typeInForce = type;
    return true;
}

// Reads folder entry `index` into the folder-entry buffer.
bool loadFolderEntry(EngineInstance &e, std::uint16_t index)
{
    // Entries past the table would be read from whatever follows it.
    if (index >= headerFolderCount(e)) {
        return fail(e, CabErrorCode::CabinetDamaged);
    }
    std::int64_t position = static_cast<std::int64_t>(e.firstFolderPosition) +
                            static_cast<std::int64_t>(index) * e.folderEntrySize;
    if (!seekTo(e, e.dataHandle, position) ||
        !readExact(e, e.dataHandle, e.folderEntry, static_cast<std::uint32_t>(e.folderEntrySize))) {
        return fail(e, CabErrorCode::CabinetDamaged);
    }
    return true;
}

// Makes the entry just loaded the current folder: its blocks are read next.
bool enterFolder(EngineInstance &e, std::uint16_t index, bool continues)
{
    e.currentFolder = index;
    e.nextBlockPosition = readU32(e.folderEntry);
    if (!seekTo(e, e.dataHandle, e.nextBlockPosition)) {
        return false;
    }
    e.blocksLeft = readU16(e.folderEntry + 4);
    e.hookRecord.kind = CabHookKind::FolderReserve;
    e.hookRecord.reserveSize = static_cast<std::uint16_t>(e.folderEntrySize - kFolderEntryFixed);
    e.hookRecord.reserve = e.hookRecord.reserveSize != 0 ? e.folderEntry + kFolderEntryFixed : nullptr;
    e.hookRecord.folderIndex = index;
    e.hookRecord.continuesFolder = continues ? 1 : 0;
    return callHook(e);
}

bool readFolderEntry(EngineInstance &e, std::uint16_t index)
{
    return loadFolderEntry(e, index) && selectDecoder(e, readU16(e.folderEntry + 6)) && enterFolder(e, index, false);
}

// Folder 0 of a cabinet that continues the folder being decoded. It must name
// the decoder in force: the decoder and its history carry over untouched, and
// a cabinet that does not continue the folder leaves them for the right one.
bool readContinuedFolderEntry(EngineInstance &e)
{
    if (!loadFolderEntry(e, 0)) {
        return false;
    }
    const std::uint16_t type = readU16(e.folderEntry + 6);
    if ((type & 0x0F) > 3) {
        return fail(e, CabErrorCode::UnsupportedCompression);
    }
    if (type != e.typeInForce) {
        return fail(e, CabErrorCode::CabinetMismatch);
    }
    return enterFolder(e, 0, true);
}

// Reads one data block (or one piece of a split block) to compressed + offset.
// On success *total is the block's compressed size counting earlier pieces.
bool readBlock(EngineInstance &e, std::uint32_t offset, std::uint32_t *total, std::uint16_t *uncompressed)
{
    if (!readExact(e, e.dataHandle, e.blockHeader, static_cast<std::uint32_t>(e.blockHeaderSize))) {
        return fail(e, CabErrorCode::CabinetDamaged);
    }
    std::uint32_t stored = readU32(e.blockHeader);
    std::uint16_t pieceSize = readU16(e.blockHeader + 4);
    *uncompressed = readU16(e.blockHeader + 6);
    if (offset + pieceSize > e.compressedSize) {
        return fail(e, CabErrorCode::CabinetDamaged);
    }
    std::uint8_t *piece = e.compressed + offset;
    if (!readExact(e, e.dataHandle, piece, pieceSize)) {
        return fail(e, CabErrorCode::CabinetDamaged);
    }
    if (stored != 0) {
        std::uint32_t sum = cabinetChecksum(piece, pieceSize, 0);
        sum = cabinetChecksum(e.blockHeader + 4, static_cast<std::uint32_t>(e.blockHeaderSize) - 4, sum);
        if (sum != stored) {
            return fail(e, CabErrorCode::CabinetDamaged);
        }
    }
    *total = offset + pieceSize;
    e.nextBlockPosition += e.blockHeaderSize + pieceSize;
    e.hookRecord.kind = CabHookKind::DataBlock;
    e.hookRecord.reserveSize = static_cast<std::uint16_t>(e.blockHeaderSize - kBlockHeaderFixed);
    e.hookRecord.reserve = e.hookRecord.reserveSize != 0 ? e.blockHeader + kBlockHeaderFixed : nullptr;
    e.hookRecord.data = piece;
    e.hookRecord.dataSize = static_cast<std::uint16_t>(*total);
    e.hookRecord.isSplit = (offset != 0 || *uncompressed == 0) ? 1 : 0;
    e.hookRecord.partialSize = static_cast<std::uint16_t>(offset);
    return callHook(e);
}

bool switchCabinet(EngineInstance &e)
{
    // A cabinet that names no successor cannot supply the rest of a folder:
    // asking the caller for one would only loop.
    if ((headerFlags(e) & kFlagHasNext) == 0) {
        return fail(e, CabErrorCode::CabinetDamaged);
    }
    // Fixed before the first try: a try that fails half way may leave another
    // cabinet's header behind.
    const std::uint16_t setId = headerSetId(e);
    const std::uint16_t nextIndex = static_cast<std::uint16_t>(headerIndex(e) + 1);
    // A try can also get as far as replacing the set names with those of the
    // cabinet it opened; every try asks for the same cabinet again.
    char wantedCabinet[kNameBufferSize];
    char wantedDisk[kNameBufferSize];
    std::memcpy(wantedCabinet, e.nextCabinet, kNameBufferSize);
    std::memcpy(wantedDisk, e.nextDisk, kNameBufferSize);
    CabErrorCode lastFailure = CabErrorCode::None;
    for (;;) {
        if (lastFailure != CabErrorCode::None) {
            std::memcpy(e.nextCabinet, wantedCabinet, kNameBufferSize);
            std::memcpy(e.nextDisk, wantedDisk, kNameBufferSize);
        }
        e.record.text1 = e.nextCabinet;
        e.record.text2 = e.nextDisk;
        e.record.text3 = e.cabinetPath;
        e.record.setId = setId;
        e.record.cabinetIndex = nextIndex;
        e.record.error = lastFailure;

        bool closedCleanly = true;
        if (e.dataHandle != -1) {
            closedCleanly = e.io.close(e.dataHandle) == 0;
            e.dataHandle = -1;
        }
        if (e.listHandle != -1) {
            closedCleanly = (e.io.close(e.listHandle) == 0) && closedCleanly;
            e.listHandle = -1;
        }
        if (!closedCleanly) {
            return fail(e, CabErrorCode::CabinetDamaged);
        }
        if (!sendAbortable(e, CabNotifyKind::NeedCabinet)) {
            return false;
        }
        if (openCabinet(e, e.nextCabinet, true, setId, nextIndex) && readContinuedFolderEntry(e)) {
            break;
        }
        if (e.error->code == CabErrorCode::Aborted) {
            return false;
        }
        lastFailure = e.error->code;
    }

    // The new cabinet lists first the files already dealt with: each skipped file
    // that went on into it, and the file being written.
    std::uint32_t handled = e.skippedContinuing + 1;
    if (handled > e.entriesLeft) {
        return fail(e, CabErrorCode::CabinetDamaged);
    }
    for (std::uint32_t i = 0; i < handled; ++i) {
        --e.entriesLeft;
        if (!readFileEntry(e)) {
            return false;
        }
    }
    e.skippedContinuing = 0;
    e.continuationPass = true;
    return true;
}

bool decodeHeld(EngineInstance &e, std::uint32_t total, std::uint16_t expected)
{
    if (expected > e.uncompressedSize) {
        return fail(e, CabErrorCode::DecodeFailed);
    }
    std::uint32_t produced = 0;
    if (e.decoderOps == nullptr) {
        std::memcpy(e.uncompressed, e.compressed, total);
        produced = total;
    } else {
        // MSZIP decodes up to its allowance; the other methods are told the exact size.
        produced = (e.typeInForce & 0x0F) == 1 ? e.uncompressedSize : expected;
        if (e.decoderOps->decodeBlock(e.decoder, e.compressed, total, e.uncompressed, &produced) !=
            DecoderResult::Ok) {
            return fail(e, CabErrorCode::DecodeFailed);
        }
    }
    if (produced != expected) {
        return fail(e, CabErrorCode::DecodeFailed);
    }
    e.heldSize = produced;
    return true;
}

bool readNextBlock(EngineInstance &e)
{
    e.heldOffset += e.heldSize;
    e.heldSize = 0;
    while (e.blocksLeft == 0) {
        if (!switchCabinet(e)) {
            return false;
        }
    }
    --e.blocksLeft;
    std::uint32_t total = 0;
    std::uint16_t expected = 0;
    if (!readBlock(e, 0, &total, &expected)) {
        return false;
    }
    if (expected == 0) {
        // The first piece waits in the compressed buffer, which a switch leaves
        // alone: the next cabinet must go on with the decoder in force.
        if (!switchCabinet(e)) {
            return false;
        }
        if (e.blocksLeft == 0) {
            return fail(e, CabErrorCode::CabinetDamaged);
        }
        --e.blocksLeft;
        if (!readBlock(e, total, &total, &expected)) {
            return false;
        }
    }
    return decodeHeld(e, total, expected);
}

bool selectFolder(EngineInstance &e, std::uint16_t folder)
{
    if (e.continuationPass && e.currentFolder != kNoFolder) {
        return true;
    }
    if (folder == kContinuedToNext || folder == kContinuedBothWays) {
        std::uint16_t count = headerFolderCount(e);
        if (count == 0) {
            return fail(e, CabErrorCode::CabinetDamaged);
        }
        folder = static_cast<std::uint16_t>(count - 1);
    }
    if (folder == e.currentFolder) {
        return true;
    }
    if (folder == 0 && e.folderZeroContinued) {
        // Its first blocks lie in an earlier cabinet: it can only be decoded on
        // from there, never started here.
        if (!e.continuationPending) {
            return fail(e, CabErrorCode::PreviousCabinetNeeded);
        }
        e.continuationPending = false;
        return readContinuedFolderEntry(e);
    }
    e.continuationPending = false;
    if (e.decoderOps != nullptr && e.decoderOps->resetDecoder(e.decoder) != DecoderResult::Ok) {
        return fail(e, CabErrorCode::DecodeFailed);
    }
    if (!readFolderEntry(e, folder)) {
        return false;
    }
    e.heldOffset = 0;
    e.heldSize = 0;
    if (!readNextBlock(e)) {
        return false;
    }
    e.heldOffset = 0;
    return true;
}

// Whether folder 0 of the open cabinet goes on from an earlier cabinet, by the
// rule engine.h states. The file list is read through the data handle, which is
// free until a folder is selected; an entry that cannot be read ends the look
// (the extract loop reports it when it gets there), and the entries before it decide.
bool folderZeroBeganEarlier(EngineInstance &e)
{
    const std::uint16_t folders = headerFolderCount(e);
    std::int64_t position = headerFileListOffset(e);
    bool folderZeroHasData = false;
    for (std::uint32_t i = 0; i < headerFileCount(e); ++i) {
        std::uint8_t entry[kFileEntryFixed + kNameReadSize];
        if (!seekQuietly(e, e.dataHandle, position)) {
            break;
        }
        std::int32_t got = e.io.read(e.dataHandle, entry, sizeof entry);
        if (got < static_cast<std::int32_t>(kFileEntryFixed) + 1 || static_cast<std::uint32_t>(got) > sizeof entry) {
            break;
        }
        const std::size_t nameLength = boundedLength(reinterpret_cast<const char *>(entry + kFileEntryFixed),
                                                     static_cast<std::size_t>(got) - kFileEntryFixed);
        if (nameLength == static_cast<std::size_t>(got) - kFileEntryFixed) {
            break;
        }
        std::uint16_t folder = entryFolder(entry);
        if (folder == kContinuedFromPrevious || folder == kContinuedBothWays) {
            return true;
        }
        if (folder == kContinuedToNext && folders != 0) {
            folder = static_cast<std::uint16_t>(folders - 1);
        }
        if (folder == 0 && entrySize(entry) != 0) {
            if (entryOffset(entry) == 0) {
                return false;
            }
            folderZeroHasData = true;
        }
        position += kFileEntryFixed + nameLength + 1;
    }
    return folderZeroHasData;
}

}  // namespace

void takeUpFolder(EngineInstance &e)
{
    const FolderResume left = e.resume;
    e.resume.kind = FolderResume::Kind::None;
    e.currentFolder = kNoFolder;
    e.folderZeroContinued = false;
    e.continuationPending = false;
    if (left.kind == FolderResume::Kind::SameCabinet && std::memcmp(left.header, e.header, kHeaderSize) == 0) {
        // The very cabinet the last call switched into: go on from its block.
        // A failed look leaves the data handle wherever; selecting a folder
        // seeks it afresh.
        std::uint8_t entry[sizeof left.folderEntry];
        if (headerFolderCount(e) != 0 && seekQuietly(e, e.dataHandle, e.firstFolderPosition) &&
            readExact(e, e.dataHandle, entry, sizeof entry) && std::memcmp(entry, left.folderEntry, sizeof entry) == 0 &&
            seekQuietly(e, e.dataHandle, left.nextBlockPosition)) {
            e.currentFolder = 0;
            e.nextBlockPosition = left.nextBlockPosition;
            e.folderZeroContinued = true;
            return;
        }
    }
    if ((headerFlags(e) & kFlagHasPrevious) == 0) {
        return;
    }
    e.folderZeroContinued = folderZeroBeganEarlier(e);
    e.continuationPending = e.folderZeroContinued && left.kind == FolderResume::Kind::NextCabinet &&
                            readU16(left.header + 32) == headerSetId(e) &&
                            static_cast<std::uint16_t>(readU16(left.header + 34) + 1) == headerIndex(e);
}

void leaveFolder(EngineInstance &e)
{
    e.resume.kind = FolderResume::Kind::None;
    if (e.currentFolder == kNoFolder || e.typeInForce == kNoDecoder) {
        return;
    }
    std::memcpy(e.resume.header, e.header, kHeaderSize);
    if (e.continuationPass) {
        // A switch made folder 0 of this cabinet the current folder.
        std::memcpy(e.resume.folderEntry, e.folderEntry, sizeof e.resume.folderEntry);
        e.resume.nextBlockPosition = e.nextBlockPosition;
        e.resume.kind = FolderResume::Kind::SameCabinet;
    } else if (e.blocksLeft == 0 && e.currentFolder + 1 == headerFolderCount(e) &&
               (headerFlags(e) & kFlagHasNext) != 0) {
        e.resume.kind = FolderResume::Kind::NextCabinet;
    }
}

bool fail(EngineInstance &e, CabErrorCode code, std::int32_t detail)
{
    if (e.error != nullptr) {
        e.error->code = code;
        e.error->detail = detail;
        e.error->isSet = 1;
    }
    return false;
}

bool seekTo(EngineInstance &e, std::int32_t handle, std::int64_t position)
{
    if (position < 0 || position > INT32_MAX) {
        return fail(e, CabErrorCode::CabinetDamaged);
    }
    std::int32_t target = static_cast<std::int32_t>(position);
    return e.io.seek(handle, target, 0) == target || fail(e, CabErrorCode::CabinetDamaged);
}

bool currentListPosition(EngineInstance &e, std::int32_t *position)
{
    *position = e.io.seek(e.listHandle, 0, 1);
    return *position >= 0 || fail(e, CabErrorCode::CabinetDamaged);
}

void closeCabinet(EngineInstance &e)
{
    if (e.dataHandle != -1) {
        e.io.close(e.dataHandle);
        e.dataHandle = -1;
    }
    if (e.listHandle != -1) {
        e.io.close(e.listHandle);
        e.listHandle = -1;
    }
}

bool openCabinet(EngineInstance &e, const char *name, bool expect, std::uint16_t setId, std::uint16_t index)
{
    if (!joinPath(e, name)) {
        return false;
    }
    e.listHandle = e.io.open(e.fullName, kCabinetOpenFlags, kCabinetOpenPermission);
    if (e.listHandle == -1) {
        return fail(e, CabErrorCode::CabinetOpenFailed);
    }
    e.dataHandle = e.io.open(e.fullName, kCabinetOpenFlags, kCabinetOpenPermission);
    if (e.dataHandle == -1) {
        return fail(e, CabErrorCode::CabinetOpenFailed);
    }

    std::uint8_t header[kHeaderSize];
    if (!readExact(e, e.listHandle, header, kHeaderSize) || std::memcmp(header, "MSCF", 4) != 0) {
        return fail(e, CabErrorCode::NotCabinetFile);
    }
    if (headerVersion(header) != 0x0103) {
        return fail(e, CabErrorCode::UnsupportedVersion, headerVersion(header));
    }
    if (expect && (readU16(header + 32) != setId || readU16(header + 34) != index)) {
        return fail(e, CabErrorCode::CabinetMismatch);
    }
    std::memcpy(e.header, header, kHeaderSize);

    std::uint8_t folderReserve = 0;
    std::uint8_t blockReserve = 0;
    if ((headerFlags(e) & kFlagHasReserve) != 0 && !readReserves(e, &folderReserve, &blockReserve)) {
        return false;
    }
    if (!allocateEntryBuffer(e, static_cast<std::int32_t>(kFolderEntryFixed + folderReserve), &e.folderEntrySize,
                             &e.folderEntry) ||
        !allocateEntryBuffer(e, static_cast<std::int32_t>(kBlockHeaderFixed + blockReserve), &e.blockHeaderSize,
                             &e.blockHeader)) {
        return false;
    }

    e.previousCabinet[0] = e.previousDisk[0] = '\0';
    e.nextCabinet[0] = e.nextDisk[0] = '\0';
    if ((headerFlags(e) & kFlagHasPrevious) != 0 && (!readName(e, e.previousCabinet) || !readName(e, e.previousDisk))) {
        return false;
    }
    if ((headerFlags(e) & kFlagHasNext) != 0 && (!readName(e, e.nextCabinet) || !readName(e, e.nextDisk))) {
        return false;
    }

    if (!currentListPosition(e, &e.firstFolderPosition) || !seekTo(e, e.listHandle, headerFileListOffset(e))) {
        return false;
    }

    e.entriesLeft = headerFileCount(e);
    e.record.text1 = e.nextCabinet;
    e.record.text2 = e.nextDisk;
    e.record.text3 = e.cabinetPath;
    e.record.setId = headerSetId(e);
    e.record.cabinetIndex = headerIndex(e);
    if (!sendAbortable(e, CabNotifyKind::CabinetOpened)) {
        return false;
    }
    e.hookRecord.kind = CabHookKind::CabinetReserve;
    e.hookRecord.reserve = e.cabinetReserveSize != 0 ? e.cabinetReserve : nullptr;
    e.hookRecord.reserveSize = e.cabinetReserveSize;
    e.hookRecord.setId = headerSetId(e);
    e.hookRecord.cabinetIndex = headerIndex(e);
    return callHook(e);
}

bool readFileEntry(EngineInstance &e)
{
    if (!readExact(e, e.listHandle, e.fileEntry, kFileEntryFixed)) {
        return fail(e, CabErrorCode::CabinetDamaged);
    }
    return readName(e, e.fileName);
}

bool tearDownDecoder(EngineInstance &e)
{
    bool destroyed = true;
    if (e.decoderOps != nullptr && e.decoder != nullptr) {
        destroyed = e.decoderOps->destroyDecoder(e.decoder) == DecoderResult::Ok;
    }
    e.decoder = nullptr;
    e.decoderOps = nullptr;
    if (e.compressed != nullptr) {
        e.io.free(e.compressed);
        e.compressed = nullptr;
    }
    if (e.uncompressed != nullptr) {
        e.io.free(e.uncompressed);
        e.uncompressed = nullptr;
    }
    e.compressedSize = 0;
    e.uncompressedSize = 0;
    e.typeInForce = kNoDecoder;
    return destroyed || fail(e, CabErrorCode::DecodeFailed);
}

void forgetReserveSizes(EngineInstance &e)
{
    for (std::uint8_t **buffer : {&e.cabinetReserve, &e.folderEntry, &e.blockHeader}) {
        if (*buffer != nullptr) {
            e.io.free(*buffer);
            *buffer = nullptr;
        }
    }
    e.cabinetReserveKnown = false;
    e.cabinetReserveSize = 0;
    e.folderEntrySize = 0;
    e.blockHeaderSize = 0;
}

bool produceFile(EngineInstance &e)
{
    std::memcpy(e.writingEntry, e.fileEntry, sizeof e.writingEntry);
    std::memcpy(e.writingName, e.fileName, sizeof e.writingName);
    std::uint32_t remaining = entrySize(e.writingEntry);
    std::uint64_t offset = entryOffset(e.writingEntry);

    if (remaining != 0) {
        // Folder streams are addressed with 32-bit offsets; a file reaching past
        // that cannot be stored in any folder.
        if (offset + remaining > 0x100000000ull) {
            return fail(e, CabErrorCode::CabinetDamaged);
        }
        if (e.currentFolder != kNoFolder && offset < e.heldOffset) {
            // After a cabinet switch the folder's first blocks lie in an earlier
            // cabinet: starting it again here would take another part of its stream.
            if (e.continuationPass) {
                return fail(e, CabErrorCode::CabinetDamaged);
            }
            e.currentFolder = kNoFolder;
        }
        if (!selectFolder(e, entryFolder(e.writingEntry))) {
            return false;
        }
        if (offset < e.heldOffset) {
            // Only a folder continued from an earlier cabinet is held from
            // anywhere but its start, and its earlier blocks are gone.
            return fail(e, CabErrorCode::PreviousCabinetNeeded);
        }
        while (e.heldOffset + e.heldSize <= offset) {
            if (!readNextBlock(e)) {
                return false;
            }
        }
        for (;;) {
            std::uint32_t start = static_cast<std::uint32_t>(offset - e.heldOffset);
            std::uint32_t count = e.heldSize - start;
            if (count > remaining) {
                count = remaining;
            }
            std::int32_t written = e.io.write(e.outputHandle, e.uncompressed + start, count);
            if (written < 0 || static_cast<std::uint32_t>(written) != count) {
                return fail(e, CabErrorCode::OutputFailed);
            }
            offset += count;
            remaining -= count;
            if (remaining == 0) {
                break;
            }
            if (!readNextBlock(e)) {
                return false;
            }
        }
    }

    std::uint16_t attributes = entryAttributes(e.writingEntry);
    e.record.value = (attributes & kAttributeExecute) != 0 ? 1 : 0;
    e.record.text1 = e.writingName;
    e.record.handle = e.outputHandle;
    e.record.date = entryDate(e.writingEntry);
    e.record.time = entryTime(e.writingEntry);
    e.record.attributes = static_cast<std::uint16_t>(attributes & ~kAttributeExecute);
    e.record.folderIndex = entryFolder(e.writingEntry);
    std::int32_t answer = 0;
    if (!sendAbortable(e, CabNotifyKind::FileDone, &answer)) {
        return false;  // the engine still holds the handle and closes it
    }
    e.outputHandle = -1;
    return answer != 0 || fail(e, CabErrorCode::OutputFailed);
}

}  // namespace cabinet
