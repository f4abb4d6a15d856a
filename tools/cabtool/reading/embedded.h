// Cabinets inside other files: installers, disk images, files that hold several
// cabinets one after another.
//
// A file is scanned for the signature "MSCF" in large chunks, and each place it
// occurs is trusted as a cabinet only when its header is plausible (see
// checkCabinetHead). A cabinet found is skipped over whole before the scan goes
// on, so that a cabinet stored inside another one's files is not taken for one
// of the file's own. list, test and extract then handle every cabinet found, or
// the one picked with --offset, through a window of the file that starts at the
// cabinet (see setCabinetWindow in engine_io.h).
#pragma once

#include "commands/cabtool.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace cabtool {

// What the header of a plausible cabinet tells about its place in the file.
struct CabinetHead {
    std::uint64_t offset = 0;  // of its signature in the file
    std::uint32_t size = 0;
    std::uint16_t setId = 0;
    std::uint16_t index = 0;
    bool hasPrevious = false;
};

// The bytes of a cabinet's header area that checkCabinetHead wants: the whole
// area before the file table, given the first 36 bytes of the header.
std::size_t headAreaSize(const std::uint8_t *fixed36);

// Why the `count` bytes at `head` cannot start a cabinet when `remaining`
// bytes of the file lie from its signature on, or empty when they can (then
// `found` is filled, all but its offset). `head` should hold headAreaSize bytes.
std::string checkCabinetHead(const std::uint8_t *head, std::size_t count, std::uint64_t remaining,
                             CabinetHead &found);

// Every plausible cabinet in the file, in file order; false with why filled
// when the file cannot be read.
bool findCabinets(const std::string &path, std::vector<CabinetHead> &found, std::string &why);

// Takes "--offset N" (decimal, or hexadecimal after 0x) out of the arguments;
// false on a bad value.
bool takeOffsetOption(Args &args);
// The offset --offset picked; false when none was given.
bool pickedOffset(std::uint64_t &offset);

// One cabinet to handle: where it lies, and whether it is a cabinet inside the
// file rather than the file itself (then an introducing line has been printed
// and the engine's callbacks see the cabinet through a window).
struct CabinetPlace {
    std::uint64_t offset = 0;
    bool embedded = false;
};

// Where forEachCabinet's line introducing each cabinet inside the file goes:
// standard output unless set (extract -p keeps that for the files' bytes).
void setIntroductionStream(std::FILE *stream);

// Runs `handle` on every cabinet of the file at path to be handled, or on the
// one at --offset; a file that is one cabinet, or holds none, is handed over
// whole as before. When `handle` follows sets, a later cabinet of a set whose
// first cabinet it has walked through is not handled again. The answer is
// false when any call answered false, or when no plausible cabinet lies at
// --offset.
bool forEachCabinet(const std::string &path, bool followsSets, const std::function<bool(const CabinetPlace &)> &handle);

}  // namespace cabtool
