// Figures of the cabinet format that cabtool's own readers share (the engine
// keeps its own): header flags, the folder indexes of files that cross
// cabinets, and how long a stored name may be.
#pragma once

#include <cstdint>

namespace cabtool {

// Header flags.
inline constexpr std::uint16_t kFlagPrevious = 0x0001;  // names a previous cabinet
inline constexpr std::uint16_t kFlagNext = 0x0002;      // names a next cabinet
inline constexpr std::uint16_t kFlagReserve = 0x0004;   // has reserve sizes

// Folder indexes of file entries that cross cabinets.
inline constexpr std::uint16_t kFromPrevious = 0xFFFD;  // begins in an earlier cabinet
inline constexpr std::uint16_t kToNext = 0xFFFE;        // goes on into the next one
inline constexpr std::uint16_t kBothWays = 0xFFFF;      // both

// Bytes of a stored name with its terminator.
inline constexpr unsigned kNameLimit = 256;

}  // namespace cabtool
