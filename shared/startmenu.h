#pragma once

#include <windows.h>

#include "tree_search.h"

// Searches the all-users Start menu and then the current user's, each depth
// first, for a file or folder named as `buffer` holds it (a name with its
// extension). On success `buffer` (260 bytes) holds the full path of the
// first match; otherwise it is unchanged. `owner` is passed to the shell.
bool FindShortcutInStartMenus(char* buffer, HWND owner = nullptr);

// Searches `folder` and its subfolders for the name in `buffer`: a folder's
// own match first, then its subfolders in the order the file system lists
// them. Linked folders are followed, but no folder is entered twice (so a
// link back into the tree is not followed round), and a subfolder or
// candidate whose path would exceed 259 characters is skipped. On success
// `buffer` holds folder + "\" + the path below it.
bool FindFileInTree(char* buffer, const char* folder);

// The two Start-menu folders (the all-users one empty when the system has
// none). False when the shell cannot name them.
bool GetStartMenuFolders(HWND owner, char (&commonFolder)[MAX_PATH], char (&userFolder)[MAX_PATH]);

// The system's file system, as the tree search sees it.
FolderView& SystemFolderView();

// FindShortcutInStartMenus for many lookups in a row, as a catalogue load
// makes them: the folders are asked for once and each tree is walked at most
// once, when a lookup first needs it. Every answer equals the plain search's
// on the trees as they stood when walked.
class StartMenuIndex {
public:
    // Starts the walk of the all-users tree on a thread of its own (see
    // TreeIndex::WalkAhead). Every lookup searches that tree first, so the
    // walk is wasted only when no lookup follows; the index then stops it.
    void WalkAhead(HWND owner = nullptr);
    bool Find(char* buffer, HWND owner = nullptr);
    // True when Find would answer for the file name `name` at once, without
    // waiting for the walk ahead; `met` as for TreeIndex::CanAnswer.
    bool CanAnswer(const char* name, std::size_t& met);

private:
    bool KnowFolders(HWND owner);

    bool foldersKnown_ = false;
    bool haveFolders_ = false;
    bool haveCommon_ = false;
    TreeIndex common_{SystemFolderView()};
    TreeIndex user_{SystemFolderView()};
};
