// Stored names between the cabinet and the user: conversion into file names of
// this system, escaping for the terminal, and the names Windows would send
// somewhere other than the file they seem to name.
//
// Stored names are code page 932 unless the file's attribute 0x80 marks them as
// UTF-8. Linux builds convert them to UTF-8 (another code page or the raw bytes
// on request); Windows builds pass them to the narrow calls as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cabtool {

inline constexpr std::uint16_t kNameIsUtf8 = 0x80;

// Chooses how names without attribute 0x80 are read: a code page iconv knows
// ("932" and "cp932" stand for CP932), or "raw" for the bytes as stored. False
// for a code page that cannot be used (a Windows build takes only "raw").
bool setNameEncoding(const std::string &codePage);

// Takes "--encoding CP" out of the arguments and applies it; what is wrong
// with it, or empty.
std::string takeNameEncoding(std::vector<std::string> &args);

// The stored name read in codePage (or as UTF-8 when utf8 is set, or as stored
// for "raw"). False when some bytes do not convert; out then holds the name
// with U+FFFD in their place, fit for showing but not for a file name.
bool convertName(const std::string &stored, bool utf8, const std::string &codePage, std::string &out);

// convertName with the encoding chosen for this run and the file's attributes.
bool fileNameOf(const std::string &stored, std::uint16_t attributes, std::string &out);

// Length of the well-formed UTF-8 sequence at text[at], or 0 when the bytes
// there are not one (an overlong form, a surrogate, a cut sequence).
std::size_t utf8SequenceLength(const std::string &text, std::size_t at);

// The text with control characters escaped so that it cannot steer a
// terminal: \n, \r, \t, \xNN for other C0 bytes and DEL, \u00NN for C1
// controls, \xNN for bytes that are not UTF-8. Windows builds print in the
// ANSI code page and escape only C0 bytes and DEL.
std::string escapeControls(const std::string &text);

// A stored name as every listing and message shows it: converted, then escaped.
std::string shownName(const std::string &stored, std::uint16_t attributes = 0);

// The file name under which a cabinet named in a header is looked for: the
// stored name converted as file names are, and of it only the last part
// (either separator), since the cabinets of a set are looked for beside the
// first and never along a path. Empty, with why filled, when nothing usable is
// left ("", ".", "..", bytes that do not convert, more than 255 bytes).
std::string cabinetFileName(const std::string &stored, std::string &why);

// Why Windows would not write a file of this name where it seems to go, or
// empty: a part that names a device (CON, PRN, AUX, NUL, CONIN$, CONOUT$,
// COM1-9, LPT1-9, also with superscript digits, with any extension, in any
// case) or ends in a dot or a blank, which Windows drops. The name is UTF-8
// with either separator.
std::string windowsNameReason(const std::string &name);

#ifdef _WIN32
// The name in the ANSI code page as UTF-8, for windowsNameReason.
std::string ansiToUtf8(const std::string &name);
#endif

}  // namespace cabtool
