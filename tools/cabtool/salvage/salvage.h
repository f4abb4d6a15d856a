// cabtool extract --salvage and cabtool test --salvage: what can be read of a
// damaged cabinet set.
//
// A data block whose checksum fails, that does not decode or whose header is
// impossible is lost. In stored and MSZIP folders every block stands alone
// once the decoder forgets its history, so reading goes on at the next block;
// LZX and Quantum carry their state from block to block, so the rest of the
// folder is lost. Nothing written is guessed: an MSZIP block that refers back
// past a lost block fails to decode and is lost too.
#pragma once

#include "commands/cabtool.h"
#include "output/safe_output.h"

#include <cstdint>
#include <optional>
#include <string>

namespace cabtool {

// What becomes of a file with lost bytes.
enum class SalvageFill {
    Zero,  // written, the lost bytes filled with zeros (the default)
    Skip,  // left out
};

// Takes "--salvage" or "--salvage=zero|skip" out of args into fill, which
// stays empty without it. False, with the usage error reported, for another value.
bool takeSalvageOption(Args &args, std::optional<SalvageFill> &fill);

// Reads the set from the cabinet at byte `offset` of the file at path; writes
// the files below *outputFolder as extract does (under policy), or with no folder only reports what it finds.
// Every damaged file is reported by name with the byte ranges lost. Answers
// the exit status: kExitFailed when anything was lost, refused or found damaged.
int runSalvage(const std::string &path, std::uint64_t offset, const std::string *outputFolder, SalvageFill fill,
               Overwrite policy = Overwrite::Replace);

// runSalvage on every cabinet that the file at path holds, or on the one
// picked with --offset, as list, test and extract take them.
int salvageEach(const std::string &path, const std::string *outputFolder, SalvageFill fill,
                Overwrite policy = Overwrite::Replace);

}  // namespace cabtool
