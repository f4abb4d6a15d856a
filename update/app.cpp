#include "app.h"

#include <objbase.h>

#include <cstdlib>

#include "extract.h"
#include "progress_dialog.h"
#include "res/resource.h"
#include "verify.h"

namespace {

const char kShortcutName[] = "OrvelAVランチャー.lnk";
const char kLauncherClass[] = "OrvelLauncherBaseWin";
const char kCabinetName[] = "Update.cab";
// How long a launcher gets to save its settings and end before its files are
// replaced anyway.
constexpr DWORD kLauncherExitWait = 5000;
constexpr DWORD kPollInterval = 100;
constexpr UINT kDefaultHelp = static_cast<UINT>(-1);

} // namespace

UpdaterApp::~UpdaterApp() = default;

BOOL UpdaterApp::InitInstance()
{
    CoInitialize(nullptr);
    Enable3dControls();
    if (!FindLauncher()) {
        AfxMessageBox(IDS_NOT_INSTALLED, MB_OK, kDefaultHelp);
    } else if (!VerifyUpdateSignature(m_strCabinetPath)) {
        // Not the vendor's cabinet, or not as the vendor made it: the
        // launcher and its folder stay as they are.
        AfxMessageBox(IDS_EXTRACT_FAILED, MB_OK, kDefaultHelp);
    } else {
        CloseLauncher();
        RunUpdate();
    }
    CoUninitialize();
    return FALSE;
}

void UpdaterApp::RunUpdate()
{
    ProgressDialog dialog(0);
    m_pMainWnd = &dialog;
    g_pProgressDlg = &dialog;
    if (!dialog.CreateModeless(nullptr)) {
        // Without a window the update still runs and its outcome is still told.
        m_pMainWnd = nullptr;
        g_pProgressDlg = nullptr;
    }
    CString preparing;
    preparing.LoadString(IDS_PREPARING);
    dialog.SetStatusText(preparing);
    // An update that was cut short is finished or undone first; a folder
    // that cannot be made whole is not updated further.
    const BOOL extracted =
        RecoverEarlierUpdate(m_strLauncherFolder) && ExtractCabinet(m_strCabinetPath, m_strLauncherFolder);
    AfxMessageBox(extracted ? IDS_UPDATE_DONE : IDS_EXTRACT_FAILED, MB_OK, kDefaultHelp);
    g_pProgressDlg = nullptr;
    dialog.DestroyWindow();
    m_pMainWnd = nullptr;
}

BOOL UpdaterApp::FindLauncher()
{
    char shortcut[MAX_PATH];
    lstrcpynA(shortcut, kShortcutName, MAX_PATH);
    if (FindShortcut(shortcut)) {
        char target[MAX_PATH];
        ResolveShortcut(nullptr, shortcut, target);
        m_strLauncherFolder = target;
    }
    if (m_strLauncherFolder.IsEmpty())
        return FALSE;

    char drive[_MAX_DRIVE];
    char directory[_MAX_DIR];
    _splitpath(m_strLauncherFolder, drive, directory, nullptr, nullptr);
    CString folder;
    folder.Format("%s%s", drive, directory);
    m_strLauncherFolder = folder;

    char module[MAX_PATH + 1] = {};
    GetModuleFileNameA(m_hInstance, module, MAX_PATH + 1);
    _splitpath(module, drive, directory, nullptr, nullptr);
    m_strCabinetPath.Format("%s%s%s", drive, directory, kCabinetName);
    return TRUE;
}

void UpdaterApp::CloseLauncher()
{
    HWND frame = FindWindowA(kLauncherClass, nullptr);
    if (frame == nullptr)
        return;
    DWORD processId = 0;
    GetWindowThreadProcessId(frame, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    PostMessageA(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (process != nullptr) {
        WaitForSingleObject(process, kLauncherExitWait);
        CloseHandle(process);
        return;
    }
    for (DWORD waited = 0; waited < kLauncherExitWait && IsWindow(frame); waited += kPollInterval)
        Sleep(kPollInterval);
}
