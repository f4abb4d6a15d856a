#include "afxwin.h"

namespace {

CWinApp* g_app = nullptr;

} // namespace

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName)
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

void CWinApp::Start(HINSTANCE instance)
{
    m_hInstance = instance;
    if (m_pszAppName != nullptr)
        return;
    if (LoadStringA(instance, AFX_IDS_APP_TITLE, title_, sizeof title_) <= 0) {
        // No title resource: the program's file name stands in.
        char module[MAX_PATH] = {};
        GetModuleFileNameA(instance, module, MAX_PATH);
        const char* name = module;
        for (const char* p = module; *p != '\0'; p = CharNextA(p)) {
            if (*p == '\\')
                name = p + 1;
        }
        lstrcpynA(title_, name, sizeof title_);
    }
    m_pszAppName = title_;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    ExitInstance();
    return static_cast<int>(message.wParam);
}

int CWinApp::ExitInstance()
{
    return 0;
}

CWinApp* AfxGetApp()
{
    return g_app;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_app != nullptr && g_app->m_hInstance != nullptr ? g_app->m_hInstance : GetModuleHandleA(nullptr);
}

HINSTANCE AfxFindResourceHandle(const char*, const char*)
{
    // Everything is linked into the one program: no resource libraries.
    return AfxGetInstanceHandle();
}

int AfxMessageBox(UINT promptId, UINT type, UINT)
{
    CString prompt;
    prompt.LoadString(promptId);
    if ((type & MB_ICONMASK) == 0 && ((type & MB_TYPEMASK) == MB_OK || (type & MB_TYPEMASK) == MB_OKCANCEL))
        type |= MB_ICONEXCLAMATION;
    const CWinApp* app = AfxGetApp();
    return MessageBoxA(CWnd::GetSafeOwner(), prompt, app != nullptr ? app->m_pszAppName : nullptr, type);
}

BOOL Enable3dControls()
{
    return TRUE;
}
