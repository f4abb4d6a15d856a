#include "create/create_inputs.h"

#include "commands/cabtool.h"
#include "output/file_meta.h"

#include <cabinet/writer.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#endif

namespace cabtool {

namespace {

std::vector<std::string> splitParts(const std::string &path)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    std::vector<std::size_t> cuts = separatorPositions(path);
    cuts.push_back(path.size());
    for (std::size_t cut : cuts) {
        parts.push_back(path.substr(start, cut - start));
        start = cut + 1;
    }
    return parts;
}

std::string joinStored(const std::string &prefix, const std::string &name)
{
    return prefix.empty() ? name : prefix + '\\' + name;
}

enum class EntryKind { File, Folder, LinkToFolder, Special };

struct FolderEntry {
    std::string name;
    EntryKind kind = EntryKind::Special;
};

// The entries of a folder, without "." and "..", sorted by name byte for byte.
#ifdef _WIN32
bool readFolder(const std::string &path, std::vector<FolderEntry> &entries, std::string &why)
{
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        why = path + ": cannot read the folder";
        return false;
    }
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        FolderEntry entry;
        entry.name = name;
        const DWORD attributes = found.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            // Junctions and folder links are not followed.
            entry.kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? EntryKind::LinkToFolder : EntryKind::Folder;
        } else {
            entry.kind = EntryKind::File;
        }
        entries.push_back(entry);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry &a, const FolderEntry &b) { return a.name < b.name; });
    return true;
}
#else
bool readFolder(const std::string &path, std::vector<FolderEntry> &entries, std::string &why)
{
    DIR *folder = opendir(path.c_str());
    if (folder == nullptr) {
        why = path + ": cannot read the folder: " + std::strerror(errno);
        return false;
    }
    std::vector<std::string> names;
    while (const dirent *found = readdir(folder)) {
        const std::string name = found->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    closedir(folder);
    std::sort(names.begin(), names.end());
    for (const std::string &name : names) {
        const std::string full = path + '/' + name;
        struct stat info{};
        if (lstat(full.c_str(), &info) != 0) {
            why = full + ": " + std::strerror(errno);
            return false;
        }
        FolderEntry entry;
        entry.name = name;
        if (S_ISLNK(info.st_mode)) {
            // A link to a file stores the file; one that leads nowhere is an
            // unreadable file like any other.
            if (stat(full.c_str(), &info) != 0) {
                why = full + ": a link to nothing (" + std::strerror(errno) + ")";
                return false;
            }
            entry.kind = S_ISDIR(info.st_mode) ? EntryKind::LinkToFolder
                         : S_ISREG(info.st_mode) ? EntryKind::File
                                                 : EntryKind::Special;
        } else {
            entry.kind = S_ISDIR(info.st_mode) ? EntryKind::Folder
                         : S_ISREG(info.st_mode) ? EntryKind::File
                                                 : EntryKind::Special;
        }
        entries.push_back(entry);
    }
    return true;
}
#endif

bool walkFolder(const std::string &path, const std::string &prefix, std::vector<CreateInput> &inputs, std::string &why)
{
    std::vector<FolderEntry> entries;
    if (!readFolder(path, entries, why)) {
        return false;
    }
    for (const FolderEntry &entry : entries) {
        const std::string full = path + '/' + entry.name;
        const std::string stored = joinStored(prefix, entry.name);
        switch (entry.kind) {
        case EntryKind::File:
            inputs.push_back(CreateInput{full, stored});
            break;
        case EntryKind::Folder:
            if (!walkFolder(full, stored, inputs, why)) {
                return false;
            }
            break;
        case EntryKind::LinkToFolder:
            report(full + ": a link to a folder, not followed");
            break;
        case EntryKind::Special:
            report(full + ": not a plain file, left out");
            break;
        }
    }
    return true;
}

std::string withoutTrailingSeparators(std::string path)
{
    while (path.size() > 1) {
        const std::vector<std::size_t> cuts = separatorPositions(path);
        if (cuts.empty() || cuts.back() != path.size() - 1) {
            break;
        }
        path.pop_back();
    }
    return path;
}

// The name a folder's files are stored under: the folder's own stored name,
// or nothing for "." and paths that end in "..".
std::string folderPrefix(const std::string &argument)
{
    const std::string prefix = nameToStore(argument);
    if (prefix == "." || prefix == ".." || prefix.find(':') != std::string::npos) {
        return {};
    }
    return prefix;
}

// The stored name of a list line with '\' as the separator, or empty with why
// set when it must not be stored.
std::string checkedStoredName(const std::string &name, std::string &why)
{
    std::string stored = name;
    for (std::size_t cut : separatorPositions(stored)) {
        stored[cut] = '\\';
    }
    why = unsafeNameReason(stored);
    if (why.empty()) {
        for (const std::string &part : splitParts(stored)) {
            if (part == ".") {
                why = "\".\" part";
            }
        }
    }
    return why.empty() ? stored : std::string();
}

bool readNumber(const std::string &text, std::size_t at, std::size_t digits, int &value)
{
    if (at + digits > text.size()) {
        return false;
    }
    value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

std::string nameToStore(const std::string &argument)
{
    std::vector<std::string> parts = splitParts(argument);
    const bool absolute = parts.front().empty() || (argument.size() > 1 && argument[1] == ':');
    while (parts.size() > 1 && parts.front() == ".") {
        parts.erase(parts.begin());
    }
    bool climbs = false;
    for (const std::string &part : parts) {
        climbs = climbs || part.empty() || part == "." || part == "..";
    }
    if (absolute || climbs) {
        return parts.back();
    }
    std::string name = parts.front();
    for (std::size_t i = 1; i < parts.size(); ++i) {
        name = joinStored(name, parts[i]);
    }
    return name;
}

bool gatherArgument(const std::string &argument, std::vector<CreateInput> &inputs, std::string &why)
{
    if (isDirectory(argument)) {
        const std::string folder = withoutTrailingSeparators(argument);
        return walkFolder(folder, folderPrefix(folder), inputs, why);
    }
    if (!isRegularFile(argument)) {
        why = argument + ": not a readable file or folder";
        return false;
    }
    inputs.push_back(CreateInput{argument, nameToStore(argument)});
    return true;
}

bool readInputList(const std::string &listPath, std::vector<CreateInput> &inputs, std::string &why)
{
    std::FILE *in = std::fopen(listPath.c_str(), "rb");
    if (in == nullptr) {
        why = listPath + ": " + cannotOpen(errno);
        return false;
    }
    std::string text;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
        text.append(chunk, got);
    }
    const bool readFailed = std::ferror(in) != 0;
    std::fclose(in);
    if (readFailed) {
        why = listPath + ": cannot read it";
        return false;
    }
    std::size_t start = 0;
    for (unsigned lineNumber = 1; start < text.size(); ++lineNumber) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const std::string where = listPath + ":" + std::to_string(lineNumber) + ": ";
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0) {
            why = where + "wanted a source path, a tab and a stored name";
            return false;
        }
        const std::string source = line.substr(0, tab);
        std::string reason;
        const std::string stored = checkedStoredName(line.substr(tab + 1), reason);
        if (stored.empty()) {
            why = where + "stored name \"" + line.substr(tab + 1) + "\" refused: " + reason;
            return false;
        }
        if (isDirectory(source)) {
            if (!walkFolder(withoutTrailingSeparators(source), stored, inputs, why)) {
                return false;
            }
        } else if (isRegularFile(source)) {
            inputs.push_back(CreateInput{source, stored});
        } else {
            why = where + source + ": not a readable file or folder";
            return false;
        }
    }
    return true;
}

void leaveOutFile(const std::string &path, std::vector<CreateInput> &inputs)
{
#ifdef _WIN32
    (void)path;
    (void)inputs;
#else
    struct stat output{};
    if (stat(path.c_str(), &output) != 0) {
        return;
    }
    const auto same = [&output](const CreateInput &input) {
        struct stat info{};
        return stat(input.source.c_str(), &info) == 0 && info.st_dev == output.st_dev && info.st_ino == output.st_ino;
    };
    inputs.erase(std::remove_if(inputs.begin(), inputs.end(), same), inputs.end());
#endif
}

bool parseDateTime(const std::string &text, std::uint16_t &date, std::uint16_t &time)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!readNumber(text, 0, 4, year) || text.size() < 10 || text[4] != '-' || !readNumber(text, 5, 2, month) ||
        text[7] != '-' || !readNumber(text, 8, 2, day)) {
        return false;
    }
    if (text.size() != 10) {
        if (text.size() != 19 || (text[10] != 'T' && text[10] != ' ') || !readNumber(text, 11, 2, hour) ||
            text[13] != ':' || !readNumber(text, 14, 2, minute) || text[16] != ':' ||
            !readNumber(text, 17, 2, second)) {
            return false;
        }
    }
    static const int daysIn[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 1980 || year > 2107 || month < 1 || month > 12 || day < 1 || day > daysIn[month - 1] ||
        (month == 2 && day == 29 && !leap) || hour > 23 || minute > 59 || second > 59) {
        return false;
    }
    date = cabwriter::dosDate(year, month, day);
    time = cabwriter::dosTime(hour, minute, second);
    return true;
}

bool parseAttributes(const std::string &text, std::uint16_t &attributes)
{
    static const struct {
        char letter;
        std::uint16_t bit;
    } kLetters[] = {{'r', 0x01}, {'h', 0x02}, {'s', 0x04}, {'a', 0x20}, {'x', 0x40}};
    if (text.empty()) {
        return false;
    }
    attributes = 0;
    for (char c : text) {
        if (c == '-') {
            continue;
        }
        bool known = false;
        for (const auto &entry : kLetters) {
            if (entry.letter == c) {
                attributes = static_cast<std::uint16_t>(attributes | entry.bit);
                known = true;
            }
        }
        if (!known) {
            return false;
        }
    }
    return true;
}

}  // namespace cabtool
