#pragma once

#include <cabinet/writer.h>

#include <cstddef>
#include <string>

namespace cabwriter {

inline constexpr std::size_t kMaxStoredName = 255;

// The name as it will be stored, or false with error set when it is refused.
bool storedName(const FileInfo &info, std::string &stored, std::string &error);

}  // namespace cabwriter
