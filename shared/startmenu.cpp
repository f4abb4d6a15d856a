#include "startmenu.h"

#include <shlobj.h>

#include <cstring>

namespace {

// The file identity by which a folder is known, through the query for it
// alone where the system has one: the full information query also reads the
// volume's serial number, which costs far more under some systems (under
// Wine, most of a Start-menu walk). Identities of the two kinds are kept
// apart by the top bit, so that they never compare equal by chance.
bool IdentifyOpen(HANDLE handle, FolderId& id)
{
    using QueryEx = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);
    static const QueryEx queryEx = reinterpret_cast<QueryEx>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFileInformationByHandleEx")));
    // FILE_ID_INFO and the FileIdInfo class, spelled out: older headers lack them.
    struct {
        ULONGLONG volume;
        BYTE fileId[16];
    } fileId = {};
    constexpr int kFileIdInfo = 18;
    if (queryEx != nullptr && queryEx(handle, kFileIdInfo, &fileId, sizeof fileId)) {
        std::uint64_t parts[2];
        std::memcpy(parts, fileId.fileId, sizeof parts);
        id = {fileId.volume, parts[1] & ~(std::uint64_t{1} << 63), parts[0]};
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(handle, &info))
        return false;
    id = {info.dwVolumeSerialNumber, std::uint64_t{1} << 63 | info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

class SystemFolders final : public FolderView {
public:
    bool Probe(const char* path) override
    {
        WIN32_FIND_DATAA entry;
        HANDLE match = FindFirstFileA(path, &entry);
        if (match == INVALID_HANDLE_VALUE)
            return false;
        FindClose(match);
        return true;
    }

    bool List(const char* pattern, std::vector<ListedEntry>& entries) override
    {
        WIN32_FIND_DATAA entry;
        HANDLE listing = FindFirstFileA(pattern, &entry);
        if (listing == INVALID_HANDLE_VALUE)
            return false;
        do {
            entries.push_back({entry.cFileName, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                               (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
        } while (FindNextFileA(listing, &entry));
        FindClose(listing);
        return true;
    }

    bool Identify(const char* folder, FolderId& id) override
    {
        const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        HANDLE handle = CreateFileA(folder, FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        const bool known = IdentifyOpen(handle, id);
        CloseHandle(handle);
        return known;
    }

    bool NameKey(const char* name, std::wstring& key) override
    {
        WCHAR wide[MAX_PATH];
        const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, wide, MAX_PATH);
        if (length <= 1)
            return false;
        CharUpperBuffW(wide, static_cast<DWORD>(length - 1));
        key.assign(wide, static_cast<std::size_t>(length - 1));
        return true;
    }

    bool IsLeadByte(unsigned char c) override { return IsDBCSLeadByte(c) != FALSE; }
};

} // namespace

FolderView& SystemFolderView()
{
    static SystemFolders view;
    return view;
}

bool FindFileInTree(char* buffer, const char* folder)
{
    // The name is copied out because a match rewrites the buffer.
    char name[kTreePathSize];
    lstrcpynA(name, buffer, kTreePathSize);
    char found[kTreePathSize];
    if (!SearchTreeFor(SystemFolderView(), found, name, folder))
        return false;
    std::memcpy(buffer, found, std::strlen(found) + 1);
    return true;
}

bool GetStartMenuFolders(HWND owner, char (&commonFolder)[MAX_PATH], char (&userFolder)[MAX_PATH])
{
    commonFolder[0] = '\0';
    userFolder[0] = '\0';
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr)
        return false;

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
    return haveUserFolder != FALSE;
}

bool FindShortcutInStartMenus(char* buffer, HWND owner)
{
    char commonFolder[MAX_PATH];
    char userFolder[MAX_PATH];
    if (!GetStartMenuFolders(owner, commonFolder, userFolder))
        return false;
    if (commonFolder[0] != '\0' && FindFileInTree(buffer, commonFolder))
        return true;
    return FindFileInTree(buffer, userFolder);
}

bool StartMenuIndex::KnowFolders(HWND owner)
{
    if (!foldersKnown_) {
        foldersKnown_ = true;
        char commonFolder[MAX_PATH];
        char userFolder[MAX_PATH];
        haveFolders_ = GetStartMenuFolders(owner, commonFolder, userFolder);
        if (haveFolders_) {
            haveCommon_ = commonFolder[0] != '\0';
            common_.SetRoot(commonFolder);
            user_.SetRoot(userFolder);
        }
    }
    return haveFolders_;
}

void StartMenuIndex::WalkAhead(HWND owner)
{
    if (KnowFolders(owner) && haveCommon_)
        common_.WalkAhead();
}

bool StartMenuIndex::Find(char* buffer, HWND owner)
{
    if (!KnowFolders(owner))
        return false;
    if (haveCommon_ && common_.Find(buffer))
        return true;
    return user_.Find(buffer);
}

bool StartMenuIndex::CanAnswer(const char* name, std::size_t& met)
{
    return !foldersKnown_ || !haveFolders_ || !haveCommon_ || common_.CanAnswer(name, met);
}
