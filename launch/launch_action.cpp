#include <windows.h>
#include <shellapi.h>

#include "app.h"
#include "resolve.h"

namespace {

const char kWarningText[] =
    "登録されたファイルが見つかりません.\n登録し直すか,対象のアプリケーションをインストールしてください.";

void ShowLaunchWarning(HWND owner)
{
    MessageBoxA(owner, kWarningText, kLauncherTitle, MB_OK | MB_ICONWARNING);
}

} // namespace

void LauncherApp::RunItemTarget(ItemId id)
{
    char target[kTextSize] = {};
    panel.CopyItemTarget(id, target);
    if (target[0] == '\0')
        return;

    char file[kTextSize] = {};
    if (IsSchemeTarget(target)) {
        // Handed to the shell exactly as written, with no test and without
        // touching the current directory.
        lstrcpynA(file, target, kTextSize);
    } else {
        // A target still relative after loading is taken from the program folder.
        SetCurrentDirectoryA(programFolder);
        const DWORD length = GetFullPathNameA(target, kTextSize, file, nullptr);
        if (length == 0 || length >= static_cast<DWORD>(kTextSize)
            || GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES) {
            ShowLaunchWarning(frame);
            return;
        }
        // The started program inherits the current directory: its own folder.
        PathParts parts = {};
        SplitPath(file, parts);
        char folder[kTextSize] = {};
        if (JoinText(folder, parts.drive, parts.dir))
            SetCurrentDirectoryA(folder);
    }

    SHELLEXECUTEINFOA execute = {};
    execute.cbSize = sizeof execute;
    execute.hwnd = frame;
    execute.lpFile = file;
    execute.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&execute))
        ShowLaunchWarning(frame);
}
