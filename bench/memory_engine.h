// The engine driven from memory, as the extraction benchmarks run it: cabinets
// held as bytes and opened by name, output counted (and kept when checking),
// every allocation counted with its peak. The engine's callbacks take no
// context, so this state is the program's.
#pragma once

#include "corpus.h"

#include <cabinet/engine.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace bench {

// Makes the bytes openable under name; they must outlive the extractions.
void addMemoryCabinet(const std::string &name, const Bytes &bytes);

// The allocation callbacks, and what they have handed out: now, and at the
// most since the last resetPeak.
void *countingAlloc(std::uint32_t size);
void countingFree(void *block);
std::size_t allocatedBytes();
std::size_t peakBytes();
void resetPeak();

// An engine on the in-memory callbacks; nullptr when it cannot be made.
CabinetEngine *createMemoryEngine(std::int32_t cpuType);

// Extracts every file of the cabinet path + name (as added) with the engine
// given; answers the bytes written, 0 on failure, and appends them to check
// when given.
std::size_t extractFromMemory(CabinetEngine *engine, const char *name, const char *path, Bytes *check);

// The same, with no path, by an engine of its own made and destroyed around
// the extraction.
std::size_t extractInMemory(const char *name, Bytes *check);

}  // namespace bench
