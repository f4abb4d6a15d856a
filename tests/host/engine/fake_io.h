// In-memory files and callbacks for driving the engine, plus a byte-level
// cabinet builder, so that engine tests depend on nothing but the engine.
#pragma once

#include <cabinet/engine.h>

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace enginetest {

using Bytes = std::vector<std::uint8_t>;

// ---- Cabinet builder ---------------------------------------------------------

struct BlockPlan {
    Bytes data;                      // the bytes stored after the header
    std::uint16_t uncompressed = 0;  // 0 marks the first piece of a split block
    bool checksum = true;
    Bytes reserve;                   // per-block reserve bytes (size must match the cabinet's)
};

struct FolderPlan {
    std::uint16_t type = 0;
    std::vector<BlockPlan> blocks;
    Bytes reserve;
};

struct FilePlan {
    std::string name;
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
    std::uint16_t folder = 0;
    std::uint16_t date = 0x5A21;
    std::uint16_t time = 0x6C20;
    std::uint16_t attributes = 0x20;
};

inline FilePlan fileAt(std::string name, std::uint32_t size, std::uint32_t offset, std::uint16_t folder = 0)
{
    FilePlan f;
    f.name = std::move(name);
    f.size = size;
    f.offset = offset;
    f.folder = folder;
    return f;
}

struct CabPlan {
    std::uint16_t version = 0x0103;
    std::uint16_t setId = 0x1234;
    std::uint16_t index = 0;
    bool reserveFlag = false;
    Bytes cabinetReserve;
    std::uint8_t folderReserve = 0;
    std::uint8_t blockReserve = 0;
    bool hasPrevious = false, hasNext = false;
    std::string previousCabinet, previousDisk, nextCabinet, nextDisk;
    std::vector<FolderPlan> folders;
    std::vector<FilePlan> files;
    std::uint16_t folderCountOverride = 0xFFFF;  // to state a count other than folders.size()
};

// blockAt, when given, receives the file position of every data block header in
// folder order.
Bytes buildCabinet(const CabPlan &plan, std::vector<std::size_t> *blockAt = nullptr);

// Stored blocks of at most 32768 bytes each.
std::vector<BlockPlan> storedBlocks(const Bytes &stream, std::uint32_t blockSize = 32768);
// MSZIP blocks: each 32768-byte piece deflated on its own with the pieces before
// it as history, as the format asks.
std::vector<BlockPlan> mszipBlocks(const Bytes &stream);
// Bytes that deflate poorly but repeat, so that back-references cross block ends.
Bytes patternBytes(std::size_t size, std::uint32_t seed);

// ---- In-memory files and the engine's callbacks ------------------------------
//
// The callbacks are plain functions, so the fake lives in one global instance
// that every test resets.

struct Event {
    CabNotifyKind kind;
    std::uint32_t value;
    std::string text1, text2, text3;
    std::uint16_t folderIndex, setId, cabinetIndex, attributes;
    CabErrorCode error;
    std::int32_t handle;
};

struct FakeIo {
    std::map<std::string, Bytes> files;
    struct Handle {
        std::string path;
        std::size_t position = 0;
        bool open = false;
        bool output = false;
    };
    std::vector<Handle> handles;
    std::map<std::string, Bytes> outputs;  // by file name from FileStart
    std::set<void *> liveBlocks;

    // Counters.
    int allocs = 0, opens = 0, reads = 0, writes = 0, closes = 0, seeks = 0;
    // Failure injection: the nth call (from 1) fails; 0 means never.
    int failAllocAt = 0;
    std::uint32_t failAllocAbove = 0xFFFFFFFF;  // larger requests fail
    int failCloseAt = 0;
    std::size_t shortWriteBy = 0;

    std::function<std::int32_t(CabNotifyKind, CabNotifyRecord *)> notifyOverride;
    std::function<std::int32_t(CabHookRecord *)> hookOverride;
    std::vector<Event> events;

    std::int32_t openOutput(const std::string &name);
    std::int32_t openInput(const std::string &path);
    int openHandleCount() const;
};

extern FakeIo *io;

// Creates an engine over the global FakeIo.
CabinetEngine *makeEngine(CabError *error);

// Default notification handler: records the event, opens an output for every
// FileStart, answers 1 elsewhere; notifyOverride, when set, answers instead
// (return -2 from it to fall back to the default answer).
std::int32_t notify(CabNotifyKind kind, CabNotifyRecord *record);
std::int32_t hook(CabHookRecord *record);

std::vector<CabNotifyKind> kindsOf(const std::vector<Event> &events);

}  // namespace enginetest
