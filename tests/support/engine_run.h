// Extracting writer output through the real engine, entirely in memory: the
// engine's callbacks read cabinet images from a table of names and collect
// every output file. A scratch file asked for with "*" lives in memory too.
#pragma once

#include <cabinet/engine.h>
#include <cabinet/writer.h>

#include <cstdint>
#include <string>
#include <vector>

namespace enginerun {

struct Output {
    std::string name;
    std::vector<std::uint8_t> bytes;
    std::uint16_t date = 0, time = 0, attributes = 0;
    bool done = false;
};

struct Result {
    bool ok = false;
    CabError error{CabErrorCode::None, 0, 0};
    std::vector<Output> files;
    std::vector<std::string> extractCalls;  // cabinet names given to extract, in order
    int openHandlesLeft = 0;
    // Sizes named by each "*" open request, and the largest scratch file written.
    std::vector<std::uint32_t> scratchRequests;
    std::size_t scratchBytes = 0;
};

struct Options {
    // Allocations of this many bytes or more fail (0: none do), so that a
    // decoder whose window is that large has to page it through a scratch file;
    // the first largeAllocsGranted of them still succeed (the engine's own
    // block buffers come before any decoder's window).
    std::uint32_t refuseAllocFrom = 0;
    int largeAllocsGranted = 0;
    // Once one allocation has been refused, later ones succeed only while they
    // add up to no more than this (0: no limit): a decoder gets only a few page
    // buffers and has to page for real.
    std::uint32_t bytesAfterRefusal = 0;
};

// Extracts the set starting at its first image, following the engine's
// contract: each call writes the files that begin in its cabinet and follows
// them into later ones; the caller then extracts again from the last cabinet
// opened, or moves on to the next one named.
Result extractSet(const std::vector<cabwriter::CabinetImage> &cabinets, const Options &options = {});

}  // namespace enginerun
