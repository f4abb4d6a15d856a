// The modeless dialog that shows the extraction's progress: a caption, a
// status line, a bar and a percentage. Every change of the bar's position
// first empties the thread's message queue, which keeps the window
// responsive while the extraction runs on the same thread.
#pragma once

#include "framework/afxwin.h"

class ProgressDialog : public CDialog {
public:
    // captionId 0 takes the default caption (string 101). Creates no window.
    explicit ProgressDialog(UINT captionId = 0);
    ~ProgressDialog() override;

    BOOL CreateModeless(CWnd* owner = nullptr);
    void SetStatusText(const char* text);
    void SetProgressRange(int lower, int upper);
    int SetProgressPos(int pos);
    void SetProgressStep(int step);
    int StepProgress();

    BOOL DestroyWindow() override;

protected:
    void DoDataExchange(CDataExchange* exchange) override;
    BOOL OnInitDialog() override;
    // Enter, Esc, the close box and Alt+F4 leave the dialog as it is.
    void OnOK() override;
    void OnCancel() override;

private:
    void PumpMessages();
    void UpdatePercentText(int pos);

    CProgressCtrl m_progress;
    UINT m_nCaptionId;
    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nStep = 10;
    BOOL m_bOwnerDisabled = FALSE;
    HICON m_hIcon;
    HWND m_hParent = nullptr;
};
