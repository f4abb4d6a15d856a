// The progress line: one line on standard error, rewritten in place while a
// long run decodes or packs, and gone when the run ends. It is drawn only
// when standard error is a terminal and -q is not given.
//
// Every other line the tool prints goes through emitLine (or report), which
// clears the progress line first and draws it again after.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace cabtool {

// Begins a run of `total` bytes (0 when the total is not known).
void startProgress(std::uint64_t total);
// Counts bytes done; redraws at most about ten times a second.
void advanceProgress(std::uint64_t bytes);
// Takes the line off the terminal before a line is printed on `before`
// (nothing to do for a stream that does not go to a terminal).
void clearProgress(std::FILE *before);
// Puts the line back after such a line, unless it was drawn too recently (the
// next advance does it then).
void restoreProgress();
// Ends the run and clears the line.
void finishProgress();

// The text of the line: percent, bytes done of total, rate and time left, for
// `done` bytes after `seconds`. With total 0 only the bytes and the rate; no
// rate before any time has passed.
std::string formatProgress(std::uint64_t done, std::uint64_t total, double seconds);

// "512 B", "1.5 KiB", "120.5 MiB", "2.0 GiB"...
std::string formatSize(double bytes);

}  // namespace cabtool
