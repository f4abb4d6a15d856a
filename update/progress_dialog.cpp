#include "progress_dialog.h"

#include <commctrl.h>

#include <cstring>

#include "percent_text.h"
#include "res/resource.h"

ProgressDialog::ProgressDialog(UINT captionId)
    : m_nCaptionId(captionId != 0 ? captionId : IDS_INSTALL_CAPTION)
{
    const char* icon = MAKEINTRESOURCEA(IDR_MAINFRAME);
    m_hIcon = LoadIconA(AfxFindResourceHandle(icon, MAKEINTRESOURCEA(14)), icon);
}

ProgressDialog::~ProgressDialog()
{
    if (m_hWnd != nullptr)
        DestroyWindow();
}

BOOL ProgressDialog::CreateModeless(CWnd* owner)
{
    m_hParent = GetSafeOwner(owner);
    if (m_hParent != nullptr && IsWindowEnabled(m_hParent)) {
        EnableWindow(m_hParent, FALSE);
        m_bOwnerDisabled = TRUE;
    }
    if (!Create(IDD_UPDATE_PROGRESS, owner)) {
        if (m_bOwnerDisabled)
            EnableWindow(m_hParent, TRUE);
        m_bOwnerDisabled = FALSE;
        return FALSE;
    }
    return TRUE;
}

BOOL ProgressDialog::DestroyWindow()
{
    if (m_bOwnerDisabled && m_hParent != nullptr)
        EnableWindow(m_hParent, TRUE);
    m_bOwnerDisabled = FALSE;
    return CDialog::DestroyWindow();
}

void ProgressDialog::DoDataExchange(CDataExchange* exchange)
{
    DDX_Control(exchange, IDC_PROGRESS, m_progress);
}

BOOL ProgressDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_progress.SetRange(static_cast<short>(m_nLower), static_cast<short>(m_nUpper));
    m_progress.SetStep(m_nStep);
    m_progress.SetPos(m_nLower);
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    CString caption;
    caption.LoadString(m_nCaptionId);
    SetWindowText(caption);

    // The template sits at (0, 0) and has no owner: centre it on the screen.
    RECT box = {};
    GetWindowRect(m_hWnd, &box);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    SetWindowPos(m_hWnd, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return TRUE;
}

void ProgressDialog::OnOK() {}

void ProgressDialog::OnCancel() {}

void ProgressDialog::SetStatusText(const char* text)
{
    SetDlgItemTextA(m_hWnd, IDC_STATUS, text);
}

void ProgressDialog::SetProgressRange(int lower, int upper)
{
    m_nLower = lower;
    m_nUpper = upper;
    m_progress.SetRange(static_cast<short>(lower), static_cast<short>(upper));
}

void ProgressDialog::SetProgressStep(int step)
{
    m_nStep = step;
    m_progress.SetStep(step);
}

int ProgressDialog::SetProgressPos(int pos)
{
    PumpMessages();
    const int previous = m_progress.SetPos(pos);
    UpdatePercentText(pos);
    return previous;
}

int ProgressDialog::StepProgress()
{
    PumpMessages();
    const int previous = m_progress.StepIt();
    UpdatePercentText(previous + m_nStep);
    return previous;
}

void ProgressDialog::PumpMessages()
{
    MSG message = {};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageA(m_hWnd, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

void ProgressDialog::UpdatePercentText(int pos)
{
    char text[16];
    FormatPercent(text, sizeof text, ProgressPercent(m_nLower, m_nUpper, pos));
    char shown[16] = {};
    GetDlgItemTextA(m_hWnd, IDC_PERCENT, shown, sizeof shown);
    if (std::strcmp(text, shown) != 0)
        SetDlgItemTextA(m_hWnd, IDC_PERCENT, text);
}
