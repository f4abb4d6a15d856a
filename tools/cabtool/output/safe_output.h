// Extracted files appear whole or not at all: each is written under a
// temporary name in its target folder and moved into place only once it is
// complete, with its date and attributes set. What stands at the target is
// replaced, never written through: a symbolic link there is replaced by the
// file, and its target stays as it was.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace cabtool {

// What extract does with a file that already exists at an output path.
enum class Overwrite {
    Replace,    // --overwrite, the default
    Keep,       // --no-overwrite
    KeepNewer,  // --keep-newer: keep it when it is newer than the stored date
};

// Whether the file at target stays as it is under policy; a file is "newer"
// when its modification time is later than the stored date and time read as
// local time. Nothing at target: false.
bool keepsExisting(const std::string &target, Overwrite policy, std::uint16_t date, std::uint16_t time);

// Creates an empty temporary file (".NAME.cabtool-XXXXXX") in the folder of
// target and opens it for writing; temporary receives its path. Until
// forgetTemporary, an interrupt (SIGINT, SIGTERM) removes it. Null with errno
// set on failure.
std::FILE *createTemporaryFor(const std::string &target, std::string &temporary);

// Moves the finished temporary onto target, replacing a file or link standing
// there (a read-only one on Windows too). False with errno set on failure; the
// temporary is then still there.
bool moveIntoPlace(const std::string &temporary, const std::string &target);

// Removes the temporary (when not empty) and stops guarding it.
void dropTemporary(const std::string &temporary);

// The temporary is no longer the interrupt's to remove (it was moved into place).
void forgetTemporary();

// ---- The steps every extracted file takes (extract and --salvage) ----------------

// Where a stored name is written below folder, after every check a name passes.
struct OutputPlan {
    std::string path;   // the output path (empty when refused before one was formed)
    std::string shown;  // the name as messages show it
    std::string why;    // why it is refused, or why it is skipped
};
enum class OutputStep { Write, Skip, Refuse };

// Converts the stored name, refuses names that must not be written (unsafe
// parts, a linked folder part, on Windows devices and trailing dots or
// blanks), makes the folders and applies the overwrite policy.
OutputStep planOutput(const std::string &folder, const std::string &stored, std::uint16_t attributes,
                      Overwrite policy, std::uint16_t date, std::uint16_t time, OutputPlan &plan);

// Gives the finished, closed temporary the stored date and read-only bit and
// moves it onto path. False with why set when it could not be put in place
// (the temporary is gone then); a date or attribute that would not stick is
// reported as a warning in why with true.
bool completeOutput(const std::string &temporary, const std::string &path, std::uint16_t date, std::uint16_t time,
                    std::uint16_t attributes, std::string &why);

}  // namespace cabtool
