// Finding the launcher's shortcut in the Start menus and reading its target.
#include <objbase.h>
#include <shlobj.h>

#include <cstdlib>

#include "app.h"
#include "startmenu.h"

BOOL UpdaterApp::FindShortcut(char* name)
{
    char base[_MAX_FNAME];
    char extension[_MAX_EXT];
    _splitpath(name, nullptr, nullptr, base, extension);
    if (lstrcmpiA(extension, ".lnk") != 0)
        return FALSE;
    char candidate[MAX_PATH];
    if (lstrlenA(base) + lstrlenA(extension) >= MAX_PATH)
        return FALSE;
    lstrcpyA(candidate, base);
    lstrcatA(candidate, extension);
    if (!FindShortcutInStartMenus(candidate))
        return FALSE;
    lstrcpyA(name, candidate);
    return TRUE;
}

HRESULT UpdaterApp::ResolveShortcut(HWND owner, const char* shortcutPath, char* target)
{
    target[0] = '\0';
    IShellLinkA* link = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      reinterpret_cast<void**>(&link));
    if (FAILED(result))
        return result;
    IPersistFile* file = nullptr;
    result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(result)) {
        WCHAR widePath[MAX_PATH] = {};
        MultiByteToWideChar(CP_ACP, 0, shortcutPath, -1, widePath, MAX_PATH);
        result = file->Load(widePath, STGM_READ);
        if (SUCCEEDED(result))
            result = link->Resolve(owner, 0);
        char path[MAX_PATH] = {};
        if (SUCCEEDED(result)) {
            WIN32_FIND_DATAA found;
            result = link->GetPath(path, MAX_PATH, &found, SLGP_SHORTPATH);
        }
        if (SUCCEEDED(result)) {
            char description[MAX_PATH];
            result = link->GetDescription(description, MAX_PATH);
        }
        if (SUCCEEDED(result))
            lstrcpynA(target, path, MAX_PATH);
    }
    if (file != nullptr)
        file->Release();
    link->Release();
    return result;
}
