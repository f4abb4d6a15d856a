// The cabinet extraction engine: the whole public contract.
//
// The engine reads cabinet files (signature "MSCF", format version 1.3) and
// hands the files stored in them to its caller. It performs no input, output or
// allocation of its own: everything goes through the seven callbacks given to
// CabinetEngine::create. Operations answer 1 for success and 0 for failure (null
// from create) and put the reason into the caller's CabError; callbacks answer
// -1 for failure.
#pragma once

#include <cstdint>

// ---- Callbacks ---------------------------------------------------------------
// Open flags and permissions use the numbering of the C runtime's _open.

using CabAllocFn = void *(*)(std::uint32_t byteCount);
using CabFreeFn = void (*)(void *block);
using CabOpenFn = std::int32_t (*)(const char *path, std::int32_t flags, std::int32_t permission);
using CabReadFn = std::int32_t (*)(std::int32_t handle, void *buffer, std::uint32_t byteCount);
using CabWriteFn = std::int32_t (*)(std::int32_t handle, const void *buffer, std::uint32_t byteCount);
using CabCloseFn = std::int32_t (*)(std::int32_t handle);
// origin: 0 from the start, 1 from the current position (only with offset 0).
using CabSeekFn = std::int32_t (*)(std::int32_t handle, std::int32_t offset, std::int32_t origin);

// ---- Error record --------------------------------------------------------------

enum class CabErrorCode : std::int32_t {
    None = 0,                    // never written; the value of a cleared record
    CabinetOpenFailed = 1,       // an open of a cabinet failed, or its path does not fit the buffers
    NotCabinetFile = 2,          // short header, wrong signature, unreadable reserve area
    UnsupportedVersion = 3,      // header version is not 0x0103; CabError::detail holds it
    CabinetDamaged = 4,          // failed or short seek/read, bad name, oversized block, bad checksum,
                                 // impossible folder index, missing data, failed close while switching
    OutOfMemory = 5,             // the alloc callback answered null
    UnsupportedCompression = 6,  // compression method (low four bits of the type) above 3
    DecodeFailed = 7,            // decoder refused its window, met bad data or produced the wrong size
    OutputFailed = 8,            // short write, or FileDone answered with 0
    ReserveMismatch = 9,         // a later cabinet of the set declares reserve sizes other than the first's
    CabinetMismatch = 10,        // next cabinet of a set has another set id or an unexpected index
    Aborted = 11,                // a notification or the hook answered -1, or a FileListBoundary seek failed
    PreviousCabinetNeeded = 12,  // the file's data lies in a folder begun in an earlier cabinet, which this
                                 // call has not decoded (see "Folders continued from an earlier cabinet")
};

// Owned by the caller. The engine writes it at every failure and never clears it,
// so a success leaves it exactly as it was.
struct CabError {
    CabErrorCode code;
    std::int32_t detail;  // 0, except the version word found for UnsupportedVersion
    std::int32_t isSet;   // 1 once the engine has written a code
};

// ---- Probe result ----------------------------------------------------------------

struct CabinetSummary {
    std::uint32_t totalSize;    // cabinet size in bytes, as the header states it
    std::int16_t folderCount;
    std::int16_t fileCount;
    std::int16_t setId;
    std::int16_t cabinetIndex;  // position within its set, from 0
    std::int32_t hasReserve;    // 1 when the header carries reserve sizes
    std::int32_t hasPrevious;   // 1 when a previous cabinet is named
    std::int32_t hasNext;       // 2 (not 1) when a next cabinet is named; test for nonzero
};

// ---- Notifications -------------------------------------------------------------------
//
// One record lives inside the engine and is refilled before every notification.
// Fields a kind does not mention keep what an earlier notification left there.
// Texts point into the engine's name buffers: at most 255 characters plus the
// terminator (the cabinet path: 256 plus the terminator). Texts the cabinet does
// not carry are empty strings. `user` is set for every kind.
//
// Kind                 value                      text1 / text2 / text3
// CabinetOpened        -                          next cabinet name / next disk name / cabinet path
// ContinuedFile        file size                  file name / previous cabinet name / previous disk name
// FileStart            file size                  file name / previous cabinet name / previous disk name
// FileDone             1 if attribute 0x40 set    file name / - / -
// NeedCabinet          -                          next cabinet name / next disk name / cabinet path (writable)
// FileListBoundary     file-list position (in/out) - / - / -
//
// Kind                 handle       date,time,attributes   setId   cabinetIndex   folderIndex           error
// CabinetOpened        -            -                      set id  this index     -                     -
// ContinuedFile        -            as stored              -       -              as stored             -
// FileStart            -            as stored              -       -              as stored             -
// FileDone             output       as stored, 0x40 clear  -       -              as stored             -
// NeedCabinet          -            -                      set id  current + 1    -                     0 or last failure
// FileListBoundary     -            -                      set id  -              entries left (in/out) -
//
// A folder index "as stored" includes the continuation values 0xFFFD (begins in an
// earlier cabinet), 0xFFFE (goes on into the next one) and 0xFFFF (both).

enum class CabNotifyKind : std::int32_t {
    // A cabinet's header has been read: first the one named in extract, then
    // each one opened because data continues. -1 aborts; anything else goes on.
    CabinetOpened = 0,
    // A file that began in an earlier cabinet (outside the continuation pass);
    // no data is produced. -1 aborts; anything else moves to the next entry.
    ContinuedFile = 1,
    // Any other file entry. -1 aborts; 0 skips the file; any other answer is an
    // open output handle that receives the bytes, followed by FileDone.
    FileStart = 2,
    // The last byte has been written (at once for an empty file). -1 aborts and
    // the engine closes the handle; 0 fails with OutputFailed and the handle stays
    // with the caller; anything else is success and the caller owns the handle.
    FileDone = 3,
    // The folder being decoded goes on in the next cabinet. text3 (the path) may
    // be rewritten in place, within its buffer, and text1 (the name) replaced in
    // place by a name of at most 255 bytes. -1 aborts; anything else tries to
    // open the cabinet, and a failed try repeats this notification with `error`
    // and the name as stored.
    NeedCabinet = 4,
    // Before the first file entry, and each time the entries left reach 0.
    // value and folderIndex come back as the position and count to read next.
    // -1 aborts; anything else takes them back.
    FileListBoundary = 5,
};

struct CabNotifyRecord {
    std::uint32_t value;
    char *text1;
    char *text2;
    char *text3;
    void *user;
    std::int32_t handle;
    std::uint16_t date;          // packed MS-DOS date
    std::uint16_t time;          // packed MS-DOS time
    std::uint16_t attributes;
    std::uint16_t setId;
    std::uint16_t cabinetIndex;
    std::uint16_t folderIndex;   // a folder index, or a count, by kind
    CabErrorCode error;
};

using CabNotifyFn = std::int32_t (*)(CabNotifyKind kind, CabNotifyRecord *record);

// ---- Reserve hook ------------------------------------------------------------------------
//
// Optional. Called with CabinetReserve after every CabinetOpened, with FolderReserve
// each time a folder entry has been read, and with DataBlock after each data block
// (or each piece of a split block) has been read and its checksum verified, before
// it is decoded. The hook may change the bytes it is shown in place; the engine
// decodes whatever the buffer holds afterwards. -1 aborts.

enum class CabHookKind : std::uint32_t {
    CabinetReserve = 0,
    FolderReserve = 1,
    DataBlock = 2,
};

// The fields after reserveSize belong to one kind each, as their comments say;
// the others carry no meaning for that call.
struct CabHookRecord {
    CabHookKind kind;
    void *user;
    std::uint8_t *reserve;       // the reserve bytes of this kind; null when there are none
    std::uint16_t reserveSize;   // CabinetReserve: the per-cabinet size in force, 0 when none
    std::uint16_t setId;         // CabinetReserve
    std::uint32_t cabinetIndex;  // CabinetReserve
    std::uint16_t folderIndex;   // FolderReserve
    std::uint8_t *data;          // DataBlock: where this piece's bytes begin in the compressed buffer
    std::uint16_t dataSize;      // DataBlock: compressed size counting every piece read so far
    std::int32_t isSplit;        // DataBlock: second piece of a split block, or a first piece that goes on
    std::uint16_t partialSize;   // DataBlock: bytes of the block read before this piece
    std::int32_t continuesFolder;  // FolderReserve: 1 when the entry is folder 0 of a cabinet that goes on
                                   // decoding the folder in progress (a switch, or a call going on from the last)
};

using CabHookFn = std::int32_t (*)(CabHookRecord *record);

// ---- Folders continued from an earlier cabinet ---------------------------------------------
//
// A folder may run from one cabinet of a set into the next; in the later cabinet
// it is folder 0, and the offsets of the files in it count from the start of the
// whole folder, in the earlier cabinet. Files may begin inside such a folder in
// the later cabinet (folder index 0 there), so their bytes can only come from
// decoding on from where the earlier cabinet's part ended.
//
// Folder 0 of the cabinet named in extract is taken as continued when its header
// names a previous cabinet (flag bit 0) and either its file list holds an entry
// that began in an earlier cabinet (0xFFFD or 0xFFFF) or no file of folder 0 with
// data begins at offset 0 (a folder begun in this cabinet starts its first file
// there). This rests on the structures alone: stored data carries no check that
// would reveal a wrong start.
//
// The engine keeps such a folder going from one extract call to the next, so that
// a caller walking a set from its first cabinet gets every file, each folder
// decoded once:
// - when a call ends in the cabinet it switched into (the first file there that
//   begins in it), a following call on that same cabinet goes on with the decoder,
//   its position and the block it holds;
// - when a call ends having read the last data block of the last folder of its
//   cabinet, a following call on the next cabinet of the set (same set id, index
//   one higher) whose folder 0 is continued goes on decoding into that folder.
// Any other call starts afresh. A file that needs a continued folder the engine
// does not hold in that way, or that lies before the block held, fails with
// PreviousCabinetNeeded: it is never written from the wrong part of the stream.
//
// A cabinet that is offered in answer to NeedCabinet, or named in such a
// following call, must continue the folder with the same 16-bit compression
// type; another type fails the attempt with CabinetMismatch and leaves the
// decoder in force untouched, so that the right cabinet offered next still
// continues the folder.

// ---- The engine ----------------------------------------------------------------------------
//
// Calling order: create, any number of probe and extract calls, destroy. An
// instance must not be used by two threads at once; all callbacks run on the
// calling thread.

struct CabinetEngine {
    // Allocates the instance through alloc; no input or output happens. On failure
    // writes OutOfMemory into *error and answers null. processorType is handed to
    // the Quantum decoder's configuration and does not affect decoding. The engine
    // keeps the error pointer and writes through it at every later failure.
    static CabinetEngine *create(CabAllocFn alloc, CabFreeFn free, CabOpenFn open, CabReadFn read,
                                 CabWriteFn write, CabCloseFn close, CabSeekFn seek,
                                 std::int32_t processorType, CabError *error);

    // Reads 36 bytes from the handle's current position (no seek; the caller owns
    // the handle) and fills *summary. Answers 0 without touching the error record
    // for a short read or a wrong signature, 0 with UnsupportedVersion for another
    // version, and 1 otherwise.
    static std::int32_t probe(CabinetEngine *engine, std::int32_t handle, CabinetSummary *summary);

    // Walks the file list of cabinetPath + cabinetName (joined with nothing in
    // between; the path keeps its final separator), sending the notifications above
    // and writing the files FileStart asks for; follows data that continues into
    // later cabinets of the set. flags are ignored; notify is required, hook may be
    // null; user comes back in every record. Answers 1, or 0 with the error record
    // filled. Both cabinet handles are closed before it returns, whatever the outcome,
    // and the engine stays usable.
    static std::int32_t extract(CabinetEngine *engine, const char *cabinetName, const char *cabinetPath,
                                std::int32_t flags, CabNotifyFn notify, CabHookFn hook, void *user);

    // Tears down the decoder in force (a failure is recorded as DecodeFailed and
    // otherwise ignored), frees every buffer, closes any open cabinet handle and
    // frees the instance. Always answers 1.
    static std::int32_t destroy(CabinetEngine *engine);

protected:
    // Only the engine makes instances (through create).
    CabinetEngine() = default;
};
