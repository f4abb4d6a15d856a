// The order in which to have the engine read a cabinet's file list so that
// each folder is decoded once.
//
// The engine produces files in the order its file list gives them, and a file
// that starts before the data block it holds restarts its folder from the
// first block: a list out of folder order costs a decode of the folder per
// file. The engine lets its caller choose, at every FileListBoundary, where
// the next entries are read from and how many; the walk uses that to hand the
// engine one entry at a time in folder-offset order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cabtool {

// Where one file entry lies in the cabinet and where its data lies in its folder.
struct ListEntry {
    std::uint32_t position = 0;  // of the entry in the cabinet file
    std::uint16_t folder = 0;
    std::uint32_t offset = 0;
};

// Reads `count` entries of the cabinet that begins at `offset` in the file at
// path, from position firstEntry of the cabinet.
// False when the list cannot be read whole; the engine then reads it as it
// stands and reports what is wrong itself. In a cabinet that names a next one,
// the files that run on into it come last in the order (folderOrder), so the
// engine's switch into the next cabinet's list leaves nothing of this one.
bool readFileList(const std::string &path, std::uint32_t firstEntry, std::uint16_t count,
                  std::vector<ListEntry> &entries, std::uint64_t offset = 0);

// Entry indexes in the order to read them: the entries that begin in an
// earlier cabinet first, then those of real folders by folder and offset, then
// the rest, each group in list order. Empty when the list is already in that
// order, or when its entries are not grouped that way to begin with.
std::vector<std::uint16_t> folderOrder(const std::vector<ListEntry> &entries);

}  // namespace cabtool
