// Where a file named in the cabinet is written: the destination folder joined
// with the stored name, for names that stay inside that folder.
#pragma once

#include <cstddef>

// Room for a joined path and its terminator.
constexpr std::size_t kOutputPathSize = 256;

enum class OutputPathStatus {
    Ok,
    Unsafe,   // the name would leave the folder or names a device
    TooLong,  // folder and name do not fit the buffer
};

// A stored name that may be written below a folder: relative, without a drive,
// stream or ".." part, with no empty part, and with no part that names a
// device (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, CONIN$, CONOUT$, with or
// without an extension). Separators are '\' and '/', but not the second byte
// of a double-byte character.
bool IsSafeStoredName(const char* stored);

// folder (ending with its separator) + stored, with nothing in between, into
// out[kOutputPathSize]; out is empty unless the answer is Ok.
OutputPathStatus JoinOutputPath(char (&out)[kOutputPathSize], const char* folder, const char* stored);
