// What `cabtool create` stores and how: the files named on the command line,
// the files below the folders named, the pairs of a list file, and the date and
// attributes given on the command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cabtool {

struct CreateInput {
    std::string source;  // path to read
    std::string stored;  // name in the cabinet, parts joined with '\'
};

// The name a file argument is stored under: its relative path with
// backslashes; an absolute path or one that climbs with ".." keeps only its
// last part.
std::string nameToStore(const std::string &argument);

// Adds a file, or every file below a folder. A folder's files are stored under
// the folder's own stored name ("dir" gives "dir\a.txt"; "." or a path that
// ends in ".." gives "a.txt"), in sorted order, folder by folder. Below a
// folder, links to files store the file they point to; links to folders and
// special files (pipes, devices, sockets) are reported and left out, which also
// keeps a link from leading the walk round in a loop. False with why set when
// something cannot be read.
bool gatherArgument(const std::string &argument, std::vector<CreateInput> &inputs, std::string &why);

// Reads a list of "SOURCE<TAB>STORED NAME" lines. Blank lines and lines that
// begin with '#' are skipped; a line may end in CR LF. A source that is a
// folder stores its files under the stored name given. A stored name with an
// absolute path, a drive letter, or an empty, "." or ".." part is refused.
bool readInputList(const std::string &listPath, std::vector<CreateInput> &inputs, std::string &why);

// Leaves out the inputs that are the file at path (when it exists), so that a
// cabinet written into a folder being stored does not take in its earlier self.
// Windows builds keep every input.
void leaveOutFile(const std::string &path, std::vector<CreateInput> &inputs);

// "YYYY-MM-DD", "YYYY-MM-DDTHH:MM:SS" or the same with a blank for the T, from
// 1980 to 2107, as packed MS-DOS date and time (which counts seconds in twos:
// an odd second is stored one lower).
bool parseDateTime(const std::string &text, std::uint16_t &date, std::uint16_t &time);

// Letters r (read-only), h (hidden), s (system), a (archive) and x (run after
// extraction) in any order; '-' stands for none, so the attribute column of
// `cabtool list` (such as "r--a--") is taken as it is printed.
bool parseAttributes(const std::string &text, std::uint16_t &attributes);

}  // namespace cabtool
