#pragma once

#include "catalogue.h"
#include "handles.h"

// A text whose first colon follows at least two characters, as in a web or
// mail address with its scheme. A drive path (colon at index 1) is not one.
bool IsSchemeTarget(const char* text);

// True for the lead byte of a double-byte Shift-JIS character.
bool IsShiftJisLeadByte(unsigned char c);

// The runtime library's path split, with both bytes of a double-byte
// character taken as one character (so a trail byte 0x5C is no separator).
// Each part is cut to fit kTextSize.
struct PathParts {
    char drive[kTextSize];
    char dir[kTextSize];
    char name[kTextSize];
    char ext[kTextSize];
};
void SplitPath(const char* path, PathParts& parts);

// The folder of a program, with its trailing backslash, from the program's
// full path: drive and directory as SplitPath finds them, or a single
// backslash when the path has no directory.
void ProgramFolderOf(const char* modulePath, char (&folder)[kTextSize]);

// A DefaultIcon value split into its file name and icon index: "file,index",
// blanks before the file skipped, a quoted file name taken up to its closing
// quote, index read the way atol reads it (0 when there is no comma).
struct IconLocation {
    char file[kTextSize];
    long index;
};
void ParseIconLocation(const char* value, IconLocation& location);

// Joins up to three texts into `out` (kTextSize bytes). False, with `out`
// empty, when the result would not fit in 259 characters.
bool JoinText(char* out, const char* a, const char* b, const char* c = "");

#ifdef _WIN32
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "work_queue.h"

class StartMenuIndex;
struct IClassFactory;
struct IShellLinkA;

// The large icon that the scheme's DefaultIcon names, or null. The caller owns it.
HICON GetSchemeIcon(const char* text);

// What the system's search path gives for the file names of many values,
// asked ahead of the lookups that need it. Probing every folder of the search
// order is a large part of settling a name, and the answer depends on nothing
// a catalogue load does, so the load asks on a thread of its own while it
// reads the file. Every answer is the one SearchPathA gave for the very name
// and extension.
class SearchPathAnswers {
public:
    SearchPathAnswers() = default;
    SearchPathAnswers(const SearchPathAnswers&) = delete;
    SearchPathAnswers& operator=(const SearchPathAnswers&) = delete;
    ~SearchPathAnswers();

    // Asks, on the thread (started at the first value), for the file name of
    // `value` unless the value needs no search: an existing path or a scheme
    // target.
    void AskAhead(const char* value);
    // Waits until every value handed to AskAhead has been asked for.
    void Finish();
    // The path SearchPathA finds for `name` + `ext` (parts of a split value),
    // or an empty string, into `found` (kTextSize bytes). Names not asked
    // ahead are asked now; call after Finish.
    void Answer(const char* name, const char* ext, char* found);

private:
    struct Asked {
        std::string name;
        std::string ext;
        std::string found;
    };

    void Work();

    WorkQueue<std::string> values_;
    std::thread asker_;
    std::mutex lock_;  // guards asked_ while the thread runs
    std::vector<Asked> asked_;
};

// Turns a catalogue "File" value (buffer of kTextSize bytes) into an existing
// path where it can: an existing path or a scheme target stays as it is; a
// bare name is looked up on the search path, then as a Start-menu shortcut
// (".lnk"), then under App Paths. False, with the buffer unchanged, when
// nothing was found. `owner` is the owner window for shell calls. Shortcut
// names are looked up through `shortcuts` when given (one index serves a
// whole catalogue load), otherwise by a search of both Start-menu trees; the
// search path is asked through `searchPath` when given.
bool ResolveTargetPath(char* buffer, HWND owner = nullptr, StartMenuIndex* shortcuts = nullptr,
                       SearchPathAnswers* searchPath = nullptr);

// Icons extracted during one catalogue load, by their source, so that many
// shortcuts to one program read its icon once. Failures are kept too. The
// threads that extract a load's icons share one cache.
class IconCache {
public:
    // The large icon at `index` of `file` (ExtractIconExA).
    HICON FromFile(const char* file, int index);
    // The icon of `path` itself or of the program associated with it.
    HICON Associated(HINSTANCE instance, const char* path);

private:
    struct Entry {
        std::string file;
        int index;
        bool associated;
        HICON icon;
    };
    HICON* Find(const char* file, int index, bool associated);

    std::mutex lock_;  // held while an icon is looked up or extracted
    std::vector<Entry> entries_;
};

// Makes shell link objects for the thread that owns it. The class object is
// asked for once, at the first link, because asking for it reads the
// registry; every link is then a new object of that class, as
// CoCreateInstance would make it.
class ShellLinks {
public:
    ShellLinks() = default;
    ShellLinks(const ShellLinks&) = delete;
    ShellLinks& operator=(const ShellLinks&) = delete;
    ~ShellLinks();

    // A new link object, or null. The caller releases it. Needs COM.
    IShellLinkA* Create();

private:
    IClassFactory* factory_ = nullptr;
};

// The icon of a shortcut file read through a link object from `links`: the
// icon its own icon location names, or else the icon of its target. Null
// when the file is no readable shortcut or neither gives an icon. Needs COM.
HICON GetShortcutIcon(HINSTANCE instance, const char* linkPath, ShellLinks& links, IconCache& icons);
#endif
