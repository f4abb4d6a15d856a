#include "resolve.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <system_error>

#include "startmenu.h"

namespace {

constexpr DWORD kValueLimit = 520;
const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// The default value of an open key as a path: REG_SZ as stored, REG_EXPAND_SZ
// expanded. False for other types, for values that fail to read or to expand,
// and for results that do not fit in `out` (kTextSize bytes).
bool ReadPathValue(HKEY key, char* out)
{
    char value[kValueLimit + 1] = {};
    DWORD type = 0;
    DWORD size = kValueLimit;
    if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS)
        return false;
    // A stored string need not carry its terminator.
    value[size < kValueLimit ? size : kValueLimit] = '\0';

    if (type == REG_SZ) {
        const std::size_t length = std::strlen(value);
        if (length > kTextSize - 1)
            return false;
        std::memcpy(out, value, length + 1);
        return true;
    }
    if (type == REG_EXPAND_SZ) {
        char expanded[kTextSize] = {};
        const DWORD needed = ExpandEnvironmentStringsA(value, expanded, kTextSize);
        if (needed == 0 || needed > kTextSize)
            return false;
        std::memcpy(out, expanded, std::strlen(expanded) + 1);
        return true;
    }
    return false;
}

bool Exists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

void CopyPath(char* buffer, const char* path)
{
    std::memcpy(buffer, path, std::strlen(path) + 1);
}

// The path SearchPathA finds for the name, or an empty string.
void AskSearchPath(const char* name, const char* ext, char* found)
{
    found[0] = '\0';
    char path[kTextSize] = {};
    const DWORD length = SearchPathA(nullptr, name, ext[0] != '\0' ? ext : nullptr, kTextSize, path, nullptr);
    // A longer path than the buffer holds is reported by its size, not written.
    if (length > 0 && length < kTextSize)
        CopyPath(found, path);
}

} // namespace

HICON GetSchemeIcon(const char* text)
{
    char scheme[kTextSize] = {};
    const char* colon = std::strchr(text, ':');
    const std::size_t length = colon != nullptr ? static_cast<std::size_t>(colon - text) : std::strlen(text);
    if (length > kTextSize - 1)
        return nullptr;
    std::memcpy(scheme, text, length);
    char keyName[kTextSize];
    if (!JoinText(keyName, scheme, "\\DefaultIcon"))
        return nullptr;

    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return nullptr;
    char value[kTextSize] = {};
    const bool haveValue = ReadPathValue(key, value);
    RegCloseKey(key);
    if (!haveValue)
        return nullptr;

    IconLocation location;
    ParseIconLocation(value, location);
    HICON large = nullptr;
    ExtractIconExA(location.file, static_cast<int>(location.index), &large, nullptr, 1);
    if (large == nullptr && location.index != 0)
        ExtractIconExA(location.file, 0, &large, nullptr, 1);
    return large;
}

bool ResolveTargetPath(char* buffer, HWND owner, StartMenuIndex* shortcuts, SearchPathAnswers* searchPath)
{
    if (Exists(buffer))
        return true;
    if (IsSchemeTarget(buffer))
        return true;

    PathParts parts;
    SplitPath(buffer, parts);

    char candidate[kTextSize] = {};
    if (searchPath != nullptr)
        searchPath->Answer(parts.name, parts.ext, candidate);
    else
        AskSearchPath(parts.name, parts.ext, candidate);
    if (candidate[0] != '\0' && Exists(candidate)) {
        CopyPath(buffer, candidate);
        return true;
    }

    char fileName[kTextSize];
    const bool fileNameFits = JoinText(fileName, parts.name, parts.ext);
    if (fileNameFits && lstrcmpiA(parts.ext, ".lnk") == 0) {
        char shortcut[kTextSize];
        CopyPath(shortcut, fileName);
        const bool found = shortcuts != nullptr ? shortcuts->Find(shortcut, owner)
                                                : FindShortcutInStartMenus(shortcut, owner);
        if (found) {
            CopyPath(buffer, shortcut);
            return true;
        }
    }

    char keyName[kTextSize];
    // An empty name would open the App Paths key itself.
    if (fileNameFits && fileName[0] != '\0' && JoinText(keyName, kAppPathsKey, fileName)) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            char registered[kTextSize];
            if (ReadPathValue(key, registered))
                CopyPath(candidate, registered);
            RegCloseKey(key);
        }
    }

    if (candidate[0] != '\0' && Exists(candidate)) {
        CopyPath(buffer, candidate);
        return true;
    }
    return false;
}

SearchPathAnswers::~SearchPathAnswers()
{
    Finish();
}

void SearchPathAnswers::AskAhead(const char* value)
{
    if (!asker_.joinable()) {
        try {
            asker_ = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
            return;  // Answer asks for each name itself
        }
    }
    values_.Add(value);
}

void SearchPathAnswers::Finish()
{
    values_.Close();
    if (asker_.joinable())
        asker_.join();
}

void SearchPathAnswers::Work()
{
    std::string value;
    while (values_.Take(value)) {
        if (Exists(value.c_str()) || IsSchemeTarget(value.c_str()))
            continue;
        PathParts parts;
        SplitPath(value.c_str(), parts);
        char found[kTextSize];
        AskSearchPath(parts.name, parts.ext, found);
        const std::lock_guard<std::mutex> hold(lock_);
        asked_.push_back({parts.name, parts.ext, found});
    }
}

void SearchPathAnswers::Answer(const char* name, const char* ext, char* found)
{
    {
        const std::lock_guard<std::mutex> hold(lock_);
        for (const Asked& asked : asked_) {
            if (asked.name == name && asked.ext == ext) {
                CopyPath(found, asked.found.c_str());
                return;
            }
        }
    }
    AskSearchPath(name, ext, found);
}

HICON* IconCache::Find(const char* file, int index, bool associated)
{
    for (Entry& entry : entries_) {
        if (entry.associated == associated && entry.index == index && lstrcmpiA(entry.file.c_str(), file) == 0)
            return &entry.icon;
    }
    return nullptr;
}

HICON IconCache::FromFile(const char* file, int index)
{
    const std::lock_guard<std::mutex> hold(lock_);
    if (HICON* known = Find(file, index, false))
        return *known;
    HICON icon = nullptr;
    ExtractIconExA(file, index, &icon, nullptr, 1);
    entries_.push_back({file, index, false, icon});
    return icon;
}

HICON IconCache::Associated(HINSTANCE instance, const char* path)
{
    const std::lock_guard<std::mutex> hold(lock_);
    if (HICON* known = Find(path, 0, true))
        return *known;
    // The call may rewrite the path it is given, so it gets a copy.
    char copy[MAX_PATH] = {};
    lstrcpynA(copy, path, MAX_PATH);
    WORD index = 0;
    HICON icon = ExtractAssociatedIconA(instance, copy, &index);
    entries_.push_back({path, 0, true, icon});
    return icon;
}

ShellLinks::~ShellLinks()
{
    if (factory_ != nullptr)
        factory_->Release();
}

IShellLinkA* ShellLinks::Create()
{
    if (factory_ == nullptr &&
        FAILED(CoGetClassObject(CLSID_ShellLink, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory_)))) {
        factory_ = nullptr;
        return nullptr;
    }
    IShellLinkA* link = nullptr;
    if (FAILED(factory_->CreateInstance(nullptr, IID_IShellLinkA, reinterpret_cast<void**>(&link))))
        return nullptr;
    return link;
}

HICON GetShortcutIcon(HINSTANCE instance, const char* linkPath, ShellLinks& links, IconCache& icons)
{
    WCHAR wide[MAX_PATH] = {};
    if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wide, MAX_PATH) == 0)
        return nullptr;
    IShellLinkA* link = links.Create();
    if (link == nullptr)
        return nullptr;
    IPersistFile* file = nullptr;
    bool loaded = false;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        loaded = SUCCEEDED(file->Load(wide, STGM_READ));
        file->Release();
    }

    HICON icon = nullptr;
    char location[kTextSize] = {};
    int index = 0;
    if (loaded && SUCCEEDED(link->GetIconLocation(location, kTextSize, &index)) && location[0] != '\0') {
        char expanded[kTextSize] = {};
        const DWORD needed = ExpandEnvironmentStringsA(location, expanded, kTextSize);
        if (needed > 0 && needed <= kTextSize)
            icon = icons.FromFile(expanded, index);
    }
    char target[kTextSize] = {};
    if (icon == nullptr && loaded && SUCCEEDED(link->GetPath(target, kTextSize, nullptr, 0)) && target[0] != '\0')
        icon = icons.Associated(instance, target);
    link->Release();
    return icon;
}
