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

// The rest of the contract (error record, summary, notifications, hook, the
// four operations) follows below.
