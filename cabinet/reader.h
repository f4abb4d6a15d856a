// The engine instance and the cabinet structure reader that works on it.
//
// Everything here is private to the cabinet library: callers see only the
// opaque CabinetEngine of <cabinet/engine.h>.
#pragma once

#include <cabinet/engine.h>

#include "decoder.h"

#include <cstdint>

namespace cabinet {

inline constexpr std::uint32_t kHeaderSize = 36;
inline constexpr std::uint32_t kNameBufferSize = 257;   // 255 characters, terminator, one spare
inline constexpr std::uint32_t kNameReadSize = 256;
inline constexpr std::uint32_t kPathBufferSize = 257;   // 256 characters and the terminator
inline constexpr std::uint32_t kFullNameBufferSize = 258;
inline constexpr std::uint32_t kMaxBlockSize = 32768;
inline constexpr std::uint16_t kNoFolder = 0xFFFF;
inline constexpr std::uint16_t kNoDecoder = 0x000F;
inline constexpr std::int32_t kCabinetOpenFlags = 0x8000;     // binary, read-only
inline constexpr std::int32_t kCabinetOpenPermission = 0x180;  // read and write for the owner

// Folder indexes with a meaning of their own in a file entry.
inline constexpr std::uint16_t kContinuedFromPrevious = 0xFFFD;
inline constexpr std::uint16_t kContinuedToNext = 0xFFFE;
inline constexpr std::uint16_t kContinuedBothWays = 0xFFFF;

// Header flag bits.
inline constexpr std::uint16_t kFlagHasPrevious = 0x0001;
inline constexpr std::uint16_t kFlagHasNext = 0x0002;
inline constexpr std::uint16_t kFlagHasReserve = 0x0004;

// What an extract call leaves for the next one, so that a folder running on
// through a set is decoded once when the caller walks the set in order.
struct FolderResume {
    enum class Kind : std::uint8_t {
        None,
        // The call ended inside the cabinet it switched into, holding its folder 0.
        SameCabinet,
        // The call ended having read the last block of its cabinet's last folder.
        NextCabinet,
    };
    Kind kind = Kind::None;
    std::uint8_t header[kHeaderSize]{};  // of the cabinet the call ended in
    std::uint8_t folderEntry[8]{};       // SameCabinet: the fixed part of folder 0's entry
    std::int64_t nextBlockPosition = 0;  // SameCabinet: where the folder's next block lies
};

struct EngineInstance final : CabinetEngine {
    DecoderCallbacks io{};
    std::int32_t processorType = 0;
    CabError *error = nullptr;
    CabError fallbackError{};  // written instead when create was given no record

    // The running extract call.
    CabNotifyFn notify = nullptr;
    CabHookFn hook = nullptr;
    void *user = nullptr;

    // Two handles on one cabinet so that walking the file list and reading
    // folders and blocks never disturb each other's position.
    std::int32_t listHandle = -1;
    std::int32_t dataHandle = -1;
    std::uint8_t header[kHeaderSize]{};
    std::int32_t firstFolderPosition = 0;

    // Reserve sizes are learned from the first cabinet of an extract call:
    // every cabinet the call reads must agree with them.
    bool cabinetReserveKnown = false;
    std::uint16_t cabinetReserveSize = 0;
    std::uint8_t *cabinetReserve = nullptr;
    std::int32_t folderEntrySize = 0;
    std::uint8_t *folderEntry = nullptr;
    std::int32_t blockHeaderSize = 0;
    std::uint8_t *blockHeader = nullptr;

    char fileName[kNameBufferSize]{};
    char previousCabinet[kNameBufferSize]{};
    char previousDisk[kNameBufferSize]{};
    char nextCabinet[kNameBufferSize]{};
    char nextDisk[kNameBufferSize]{};
    char cabinetPath[kPathBufferSize]{};
    char fullName[kFullNameBufferSize]{};

    std::uint8_t fileEntry[16]{};
    // The entry of the file being written, kept apart because following its data
    // into the next cabinet reads that cabinet's entries over fileEntry/fileName.
    std::uint8_t writingEntry[16]{};
    char writingName[kNameBufferSize]{};

    // Folder position.
    std::uint16_t currentFolder = kNoFolder;
    std::uint16_t blocksLeft = 0;
    std::uint64_t heldOffset = 0;     // folder-stream offset of the block in the uncompressed buffer
    std::uint32_t heldSize = 0;       // bytes of that block
    std::int64_t nextBlockPosition = 0;  // in the cabinet file, of the folder's next unread block

    // Folder 0 of the cabinet named in extract goes on from an earlier cabinet
    // (see engine.h for how that is decided).
    bool folderZeroContinued = false;
    // The engine holds the folder that this cabinet's folder 0 continues, decoded
    // to the end of the previous cabinet's part: selecting folder 0 goes on with it.
    bool continuationPending = false;
    // Set at the end of a successful call for the next call to go on with.
    FolderResume resume{};

    // Decoder state.
    std::uint16_t typeInForce = kNoDecoder;
    const BlockDecoder *decoderOps = nullptr;
    void *decoder = nullptr;
    std::uint8_t *compressed = nullptr;
    std::uint32_t compressedSize = 0;
    std::uint8_t *uncompressed = nullptr;
    std::uint32_t uncompressedSize = 0;

    std::int32_t outputHandle = -1;
    std::uint32_t entriesLeft = 0;
    std::uint32_t skippedContinuing = 0;
    bool continuationPass = false;

    CabNotifyRecord record{};
    CabHookRecord hookRecord{};
};

inline EngineInstance *instanceOf(CabinetEngine *engine)
{
    return static_cast<EngineInstance *>(engine);
}

// All of these answer true on success; on failure they have written the error record.
bool fail(EngineInstance &e, CabErrorCode code, std::int32_t detail = 0);

// Opens path buffer + name. With expectNext, the set id and index must follow
// on from the cabinet whose header the engine holds now (setId, index).
bool openCabinet(EngineInstance &e, const char *name, bool expect, std::uint16_t setId, std::uint16_t index);
void closeCabinet(EngineInstance &e);
bool readFileEntry(EngineInstance &e);
// Writes the current file's bytes to the output handle and sends FileDone.
bool produceFile(EngineInstance &e);
// At the start of an extract call, once its cabinet is open: decides whether
// folder 0 is continued and whether the folder left by the previous call goes
// on here, else forgets the current folder.
void takeUpFolder(EngineInstance &e);
// At the end of a successful extract call: notes what the next call may go on with.
void leaveFolder(EngineInstance &e);
// Releases the decoder in force and both block buffers.
bool tearDownDecoder(EngineInstance &e);
// Forgets the reserve sizes and frees their buffers, so that the next cabinet
// opened learns them afresh.
void forgetReserveSizes(EngineInstance &e);
bool currentListPosition(EngineInstance &e, std::int32_t *position);
bool seekTo(EngineInstance &e, std::int32_t handle, std::int64_t position);

// Little-endian fields of the format.
inline std::uint16_t readU16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t readU32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Header fields.
inline std::uint32_t headerFileListOffset(const EngineInstance &e) { return readU32(e.header + 16); }
inline std::uint16_t headerVersion(const std::uint8_t *h) { return readU16(h + 24); }
inline std::uint16_t headerFolderCount(const EngineInstance &e) { return readU16(e.header + 26); }
inline std::uint16_t headerFileCount(const EngineInstance &e) { return readU16(e.header + 28); }
inline std::uint16_t headerFlags(const EngineInstance &e) { return readU16(e.header + 30); }
inline std::uint16_t headerSetId(const EngineInstance &e) { return readU16(e.header + 32); }
inline std::uint16_t headerIndex(const EngineInstance &e) { return readU16(e.header + 34); }

// File entry fields.
inline std::uint32_t entrySize(const std::uint8_t *f) { return readU32(f); }
inline std::uint32_t entryOffset(const std::uint8_t *f) { return readU32(f + 4); }
inline std::uint16_t entryFolder(const std::uint8_t *f) { return readU16(f + 8); }
inline std::uint16_t entryDate(const std::uint8_t *f) { return readU16(f + 10); }
inline std::uint16_t entryTime(const std::uint8_t *f) { return readU16(f + 12); }
inline std::uint16_t entryAttributes(const std::uint8_t *f) { return readU16(f + 14); }

}  // namespace cabinet
