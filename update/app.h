// The updater's application object: finds the installed launcher through its
// Start-menu shortcut, asks a running launcher to close, and unpacks
// "Update.cab" from the updater's own folder into the launcher's folder while
// the progress dialog is shown. All of it happens in InitInstance.
#pragma once

#include "framework/afxwin.h"

class UpdaterApp : public CWinApp {
public:
    UpdaterApp() : CWinApp(nullptr) {}
    ~UpdaterApp() override;

    // Does the whole update and answers FALSE, so that no message loop runs.
    BOOL InitInstance() override;

    // TRUE when the launcher's folder is known; then both members are set.
    BOOL FindLauncher();
    // Asks a running launcher to close and waits a few seconds for it to end,
    // so that its own files can be replaced.
    void CloseLauncher();

    // `name` (260 bytes) holds a shortcut's file name; on TRUE it holds the full
    // path of the first one in the all-users, then the user's Start menu.
    static BOOL FindShortcut(char* name);
    // `target` (260 bytes) receives the shortcut's target in short form, or an
    // empty string on any failure. Answers the last shell call's result.
    static HRESULT ResolveShortcut(HWND owner, const char* shortcutPath, char* target);

    CString m_strLauncherFolder;  // ends with a backslash; also the destination
    CString m_strCabinetPath;     // "Update.cab" beside the updater

private:
    void RunUpdate();
};
