#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The tree search behind the Start-menu lookups, apart from the file system
// it runs on (the programs give it the system's, tests a made-up tree).
//
// Both the plain search and the index walk a tree the same way: depth first,
// a folder's subfolders in the order the file system lists them. Linked
// folders are followed, but no folder is entered twice: each is remembered
// by its file identity, so a link back into the tree ends there. Identities
// are read only from the first linked folder on (those entered before it are
// read then): until a walk meets a link, every folder it entered lies on a
// path of its own below the root and cannot be one entered before, and
// reading an identity costs more than listing the folder on some systems. A
// folder is listed through "folder\*.*" and its subfolders entered only
// where that pattern fits in 259 characters.

constexpr std::size_t kTreePathSize = 260;

// folder + "\" + name into out; false when that would not fit in 259 characters.
bool JoinTreePath(char (&out)[kTreePathSize], const char* folder, const char* name);

// Wide enough for the 64-bit volume and 128-bit file identity that newer
// systems give.
struct FolderId {
    std::uint64_t volume;
    std::uint64_t high;
    std::uint64_t low;
};

struct ListedEntry {
    std::string name;
    bool folder;
    bool link;  // a folder that may lead elsewhere: a reparse point
};

// What the search needs of a file system.
class FolderView {
public:
    // True when the path names something (a file or a folder), matched as the
    // system matches a name it is given: without regard to case.
    virtual bool Probe(const char* path) = 0;
    // The entries that a listing pattern (folder + "\*.*" or "\*") gives, in
    // the system's order, "." and ".." included or not; false when nothing
    // can be listed.
    virtual bool List(const char* pattern, std::vector<ListedEntry>& entries) = 0;
    // The folder's identity; false when it cannot be read.
    virtual bool Identify(const char* folder, FolderId& id) = 0;
    // The name as Probe compares names: equal keys for names that match.
    // False when the name cannot be converted.
    virtual bool NameKey(const char* name, std::wstring& key) = 0;
    // True for the first byte of a double-byte character.
    virtual bool IsLeadByte(unsigned char c) = 0;

protected:
    ~FolderView() = default;
};

// The plain search for `name` below `root`: a folder's own entry of that name
// before its subfolders, first match wins. On success `out` holds
// folder + "\" + name, the name as asked for.
bool SearchTreeFor(FolderView& view, char (&out)[kTreePathSize], const char* name, const char* root);

// Answers SearchTreeFor for one root from a single walk of its tree, made at
// the first lookup or ahead of it: every answer is the one the plain search
// would give on the tree as it stood then. Names the system would read as
// more than one name (wildcards, "~" of a short name, separators, a stream's
// colon, a trailing dot or blank) are searched for the plain way.
class TreeIndex {
public:
    explicit TreeIndex(FolderView& view) : view_(view) {}
    TreeIndex(const TreeIndex&) = delete;
    TreeIndex& operator=(const TreeIndex&) = delete;
    // Stops a walk ahead that is still running.
    ~TreeIndex();

    void SetRoot(const char* folder);
    // Starts the walk on a thread of its own, so that it overlaps whatever
    // the caller does before its lookups. A lookup waits only until the walk
    // has met the name's first match, or until it ends when there is none:
    // the walk meets the entries in the very order in which the plain search
    // would try them. Without a thread the first lookup walks, as before.
    void WalkAhead();
    // Same contract as SearchTreeFor on `buffer` (260 bytes) in place: the
    // name it holds becomes the path of the first match.
    bool Find(char* buffer);
    // True when Find would answer for `name` without waiting for a walk
    // ahead. `met` keeps the caller's place between calls for one name
    // (start it at 0), so that each entry is looked at once.
    bool CanAnswer(const char* name, std::size_t& met);

private:
    struct Entry {
        std::wstring key;
        std::uint32_t folder;  // into folders_, in the order of entering
    };
    enum class State { Unwalked, Walking, Walked };

    void Walk();
    void StopWalkAhead();
    bool IsPlainName(const char* name);
    // Puts the path of `entry` into `buffer` when the entry bears `key` and
    // `name` joined to its folder fits.
    bool Answer(const Entry& entry, const std::wstring& key, const char* name, char* buffer) const;

    FolderView& view_;
    char root_[kTreePathSize] = {};
    std::thread walker_;
    std::atomic<bool> abandon_{false};
    // Guards what follows while a walk ahead runs; `grown` is signalled as
    // folders are entered and when the walk ends.
    std::mutex lock_;
    std::condition_variable grown_;
    State state_ = State::Unwalked;
    std::vector<std::string> folders_;
    std::vector<Entry> entries_;  // in the order met; once walked, by key, then by that order
};
