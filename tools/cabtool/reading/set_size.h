// The bytes a walk of a cabinet (or of its set) produces, read from the file
// lists before the walk: the total of the progress line.
#pragma once

#include <cstdint>
#include <string>

namespace cabtool {

// The sizes of the files that begin in the cabinet at path, and with followSet
// in the later cabinets of its set lying beside it; a file that runs on into
// the next cabinet counts once. 0 when the first cabinet cannot be read.
std::uint64_t filesSizeOfSet(const std::string &path, bool followSet);

}  // namespace cabtool
