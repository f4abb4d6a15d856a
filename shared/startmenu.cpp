#include "startmenu.h"

#include <shlobj.h>

#include <cstring>

namespace {

constexpr std::size_t kPathSize = MAX_PATH;

// folder + "\" + name into out; false when that would not fit in 259 characters.
bool JoinPath(char (&out)[kPathSize], const char* folder, const char* name)
{
    const std::size_t lf = std::strlen(folder);
    const std::size_t ln = std::strlen(name);
    if (lf + 1 + ln > kPathSize - 1)
        return false;
    std::memcpy(out, folder, lf);
    out[lf] = '\\';
    std::memcpy(out + lf + 1, name, ln);
    out[lf + 1 + ln] = '\0';
    return true;
}

bool IsDotEntry(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

bool SearchTree(char* buffer, const char* name, const char* folder)
{
    char path[kPathSize];
    WIN32_FIND_DATAA entry;

    if (JoinPath(path, folder, name)) {
        HANDLE match = FindFirstFileA(path, &entry);
        if (match != INVALID_HANDLE_VALUE) {
            FindClose(match);
            std::memcpy(buffer, path, std::strlen(path) + 1);
            return true;
        }
    }

    if (!JoinPath(path, folder, "*.*"))
        return false;
    HANDLE listing = FindFirstFileA(path, &entry);
    if (listing == INVALID_HANDLE_VALUE)
        return false;
    bool found = false;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || IsDotEntry(entry.cFileName))
            continue;
        // A junction or link may lead back into the tree it lies in.
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            continue;
        char subfolder[kPathSize];
        if (!JoinPath(subfolder, folder, entry.cFileName))
            continue;
        found = SearchTree(buffer, name, subfolder);
    } while (!found && FindNextFileA(listing, &entry));
    FindClose(listing);
    return found;
}

} // namespace

bool FindFileInTree(char* buffer, const char* folder)
{
    // The name is kept apart because a match rewrites the buffer.
    char name[kPathSize];
    std::size_t n = 0;
    while (n < kPathSize - 1 && buffer[n] != '\0') {
        name[n] = buffer[n];
        ++n;
    }
    name[n] = '\0';
    return SearchTree(buffer, name, folder);
}

bool FindShortcutInStartMenus(char* buffer, HWND owner)
{
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr)
        return false;

    char commonFolder[kPathSize] = {};
    char userFolder[kPathSize] = {};

    LPITEMIDLIST common = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(owner, CSIDL_COMMON_STARTMENU, &common)) && common != nullptr) {
        if (!SHGetPathFromIDListA(common, commonFolder)) {
            allocator->Free(common);
            allocator->Release();
            return false;
        }
    } else {
        common = nullptr;
    }

    LPITEMIDLIST user = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(owner, CSIDL_STARTMENU, &user)) || user == nullptr) {
        // The list of the first folder is freed too, so that it does not leak.
        if (common != nullptr)
            allocator->Free(common);
        allocator->Release();
        return false;
    }
    const BOOL haveUserFolder = SHGetPathFromIDListA(user, userFolder);
    if (common != nullptr)
        allocator->Free(common);
    allocator->Free(user);
    allocator->Release();
    if (!haveUserFolder)
        return false;

    if (commonFolder[0] != '\0' && FindFileInTree(buffer, commonFolder))
        return true;
    return FindFileInTree(buffer, userFolder);
}
