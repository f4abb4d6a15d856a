// A small, strict reader of cabinet images for checking what the writer emits.
// It shares no code with the writer or the engine, so that a misreading of the
// format on either side shows up as a disagreement here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace minicab {

struct File {
    std::string name;
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
    std::uint16_t folder = 0;
    std::uint16_t date = 0;
    std::uint16_t time = 0;
    std::uint16_t attributes = 0;
};

struct Block {
    std::uint32_t checksum = 0;
    std::uint16_t compressed = 0;
    std::uint16_t uncompressed = 0;
    std::vector<std::uint8_t> reserve;
    std::vector<std::uint8_t> data;
};

struct Folder {
    std::uint32_t dataOffset = 0;
    std::uint16_t blockCount = 0;
    std::uint16_t type = 0;
    std::vector<std::uint8_t> reserve;
    std::vector<Block> blocks;
};

struct Cabinet {
    std::uint32_t size = 0;
    std::uint32_t fileListOffset = 0;
    std::uint16_t version = 0;
    std::uint16_t flags = 0;
    std::uint16_t setId = 0;
    std::uint16_t index = 0;
    std::uint16_t cabinetReserveSize = 0;
    std::uint8_t folderReserveSize = 0;
    std::uint8_t blockReserveSize = 0;
    std::vector<std::uint8_t> cabinetReserve;
    std::string previousName, previousDisk, nextName, nextDisk;
    std::vector<Folder> folders;
    std::vector<File> files;
};

// Parses every structure and reads every block; checks that offsets, counts
// and sizes agree with the image. Does not decode.
bool parse(const std::vector<std::uint8_t> &image, Cabinet &cabinet, std::string &error);

// The checksum a block header should carry (computed byte by byte).
std::uint32_t expectedChecksum(const Block &block);

struct Extracted {
    std::string name;
    std::vector<std::uint8_t> bytes;
    std::uint16_t date = 0, time = 0, attributes = 0;
    unsigned cabinet = 0;  // the cabinet whose file list begins the file
};

// Decodes one data block of a method this reader does not know itself
// (Quantum, LZX) into out, given every earlier block of its folder: `first` is
// true for the folder's first block.
using BlockDecodeFn = std::function<bool(std::uint16_t type, const Block &block, bool first,
                                         std::vector<std::uint8_t> &out, std::string &error)>;

// Joins split blocks, decodes every folder (stored or MSZIP, the latter with
// the previous block as history; other methods through `other` when given),
// and cuts out every file at the place where it begins. Fails on the first
// inconsistency.
bool extractSet(const std::vector<Cabinet> &cabinets, std::vector<Extracted> &files, std::string &error,
                const BlockDecodeFn &other = {});

}  // namespace minicab
