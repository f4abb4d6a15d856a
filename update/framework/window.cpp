#include "afxwin.h"

#include <commctrl.h>

// ---- CWnd ------------------------------------------------------------------------

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

void CWnd::SetWindowText(const char* text) const
{
    ::SetWindowTextA(m_hWnd, text);
}

BOOL CWnd::DestroyWindow()
{
    if (m_hWnd == nullptr)
        return FALSE;
    const BOOL destroyed = ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
    return destroyed;
}

HWND CWnd::GetSafeOwner(CWnd* parent)
{
    HWND owner = parent != nullptr ? parent->m_hWnd : nullptr;
    if (owner == nullptr && AfxGetApp() != nullptr && AfxGetApp()->m_pMainWnd != nullptr)
        owner = AfxGetApp()->m_pMainWnd->m_hWnd;
    while (owner != nullptr && (GetWindowLongA(owner, GWL_STYLE) & WS_CHILD) != 0)
        owner = GetParent(owner);
    return owner;
}

// ---- CProgressCtrl ---------------------------------------------------------------

void CProgressCtrl::SetRange(short lower, short upper) const
{
    SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
}

int CProgressCtrl::SetPos(int pos) const
{
    return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos)));
}

int CProgressCtrl::SetStep(int step) const
{
    return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step)));
}

int CProgressCtrl::StepIt() const
{
    return static_cast<int>(SendMessage(PBM_STEPIT));
}

// ---- CDialog -----------------------------------------------------------------------

void DDX_Control(CDataExchange* exchange, int id, CWnd& control)
{
    if (control.m_hWnd == nullptr)
        control.m_hWnd = GetDlgItem(exchange->m_pDlgWnd->m_hWnd, id);
}

CDialog::~CDialog()
{
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
}

BOOL CDialog::Create(UINT templateId, CWnd* parent)
{
    // The templates may hold common controls (the progress bar among them).
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    const char* name = MAKEINTRESOURCEA(templateId);
    HWND window = CreateDialogParamA(AfxFindResourceHandle(name, MAKEINTRESOURCEA(5)), name,
                                     parent != nullptr ? parent->m_hWnd : nullptr, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    return window != nullptr && m_hWnd == window;
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange exchange = {this, saveAndValidate};
    DoDataExchange(&exchange);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    UpdateData(TRUE);
    ShowWindow(m_hWnd, SW_HIDE);
}

void CDialog::OnCancel()
{
    ShowWindow(m_hWnd, SW_HIDE);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        dialog->m_hWnd = window;
        return dialog->OnInitDialog();
    }
    CDialog* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (dialog == nullptr)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            dialog->OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            dialog->OnCancel();
            return TRUE;
        }
        return FALSE;
    case WM_NCDESTROY:
        // Whoever destroyed the window, the object no longer has one; a main
        // window that goes leaves the application without one.
        SetWindowLongPtrA(window, DWLP_USER, 0);
        dialog->m_hWnd = nullptr;
        if (AfxGetApp() != nullptr && AfxGetApp()->m_pMainWnd == dialog)
            AfxGetApp()->m_pMainWnd = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}
