// Extracting writer output through the real engine, entirely in memory: the
// engine's callbacks read cabinet images from a table of names and collect
// every output file.
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
};

// Extracts the set starting at its first image, following the engine's
// contract: each call writes the files that begin in its cabinet and follows
// them into later ones; the caller then extracts again from the last cabinet
// opened, or moves on to the next one named.
Result extractSet(const std::vector<cabwriter::CabinetImage> &cabinets);

}  // namespace enginerun
