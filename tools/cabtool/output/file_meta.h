// Files on disk: stamps and attributes as cabinets store them, and where a
// stored name may be written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace cabtool {

// Local modification time of a file as packed MS-DOS date and time; false
// when the file cannot be examined.
bool readStamp(const std::string &path, std::uint16_t &date, std::uint16_t &time, bool &readOnly);

// A packed MS-DOS date and time read as local time; false when it names no time.
bool stampTime(std::uint16_t date, std::uint16_t time, std::time_t &when);

// Sets the modification time from a packed MS-DOS date and time read as local time.
bool writeStamp(const std::string &path, std::uint16_t date, std::uint16_t time);

bool setReadOnly(const std::string &path, bool readOnly);

// Positions of the path separators ('\\' and '/') in a name. On Windows names
// are in the ANSI code page, where the second byte of a double-byte character
// may be 0x5C; such bytes are not separators.
std::vector<std::size_t> separatorPositions(const std::string &name);

// The file system through the runtime's narrow-string calls, which take names
// in the ANSI code page as they are (the C++ file-system library would convert
// them first, and does not know that code page).
bool isRegularFile(const std::string &path);
bool isDirectory(const std::string &path);
// Creates path and its missing parents; true when it exists as a folder afterwards.
bool makeDirectories(const std::string &path);

// Why a stored name must not be written below the output folder, or empty
// when it may: absolute names, drive letters (any ':'), empty and ".." parts.
std::string unsafeNameReason(const std::string &stored);

// The stored name as a path below folder, with the platform's separators.
std::string outputPath(const std::string &folder, const std::string &stored);

// True when path itself is a symbolic link. Windows builds leave junctions
// and links alone and always answer false.
bool isSymbolicLink(const std::string &path);

// Symbolic links already below the output folder must not carry a file
// elsewhere. The first folder part of the stored name's path below folder that
// is a symbolic link, or empty when there is none.
std::string linkedFolderPart(const std::string &folder, const std::string &stored);

// A stream over an open file descriptor; on failure the descriptor is closed
// and errno tells why.
std::FILE *streamOver(int fd, const char *mode);

// Opens path for writing as a new plain file: a symbolic link standing at path
// is removed first (its target stays as it was), and a link put there in the
// meantime is not followed. Null with errno set on failure.
std::FILE *createPlainFile(const std::string &path);

}  // namespace cabtool
