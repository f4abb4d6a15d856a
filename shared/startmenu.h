#pragma once

#include <windows.h>

// Searches the all-users Start menu and then the current user's, each depth
// first, for a file or folder named as `buffer` holds it (a name with its
// extension). On success `buffer` (260 bytes) holds the full path of the
// first match; otherwise it is unchanged. `owner` is passed to the shell.
bool FindShortcutInStartMenus(char* buffer, HWND owner = nullptr);

// Searches `folder` and its subfolders for the name in `buffer`: a folder's
// own match first, then its subfolders in the order the file system lists
// them. Folders that are reparse points are not entered, and a subfolder or
// candidate whose path would exceed 259 characters is skipped. On success
// `buffer` holds folder + "\" + the path below it.
bool FindFileInTree(char* buffer, const char* folder);
