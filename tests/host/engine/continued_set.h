// Sets laid out as other writers make them: one folder runs on from cabinet to
// cabinet, and further files begin inside it in the later cabinets (folder
// index 0 there), their offsets counting from the start of the whole folder.
// Put together byte by byte, with data from the project's encoders (zlib for
// MSZIP), not by the writer. Shared by the engine's tests and the seeds of
// the engine fuzz target.
#pragma once

#include "fake_io.h"

#include <cstdint>
#include <string>
#include <vector>

namespace enginetest {

struct SetFile {
    std::string name;
    std::uint32_t offset, size;
};

// Where cabinet k+1 begins: at data block `block` of the folder, whose bytes are
// split between the two cabinets when `split` is set (its uncompressed bytes
// then count to the later cabinet, where the block is completed).
struct Edge {
    std::size_t block;
    bool split;
};

struct SetLayout {
    std::size_t streamSize = 0;
    std::vector<Edge> edges;
    std::vector<SetFile> files;
    bool reserves = false;
    Bytes content = {};  // the folder's bytes; empty for patternBytes(streamSize)
    std::uint32_t storedBlockSize = 32768;  // of stored data; the other methods take 32768
};

// The cabinets of a layout (s1.cab, s2.cab...), with a small stored folder
// holding "tail" after the continued folder in the last cabinet.
struct BuiltSet {
    Bytes stream;
    Bytes tail;
    std::vector<SetFile> files;
    std::vector<std::string> names;
    std::vector<Bytes> cabinets;                     // by names
    std::vector<std::vector<std::string>> beginIn;  // files that begin in each cabinet
    std::size_t pieces = 0;                          // data-block pieces in the whole set

    // The bytes of the file of that name.
    Bytes expected(const std::string &name) const;
};

// The folder's data blocks for a compression type (stored, MSZIP, Quantum or
// LZX with the type's window); empty with why set when the encoder fails.
std::vector<BlockPlan> encodeFolder(std::uint16_t type, const Bytes &stream, std::string &why,
                                    std::uint32_t storedBlockSize = 32768);

// False with why set when the folder cannot be encoded.
bool buildContinuedSet(std::uint16_t type, const SetLayout &layout, BuiltSet &set, std::string &why);

}  // namespace enginetest
