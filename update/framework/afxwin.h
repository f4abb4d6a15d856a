// A small application framework on plain Win32: the few classes and helpers
// the updater is written against (application object, modeless dialog from a
// template, progress control, string, message box). It knows nothing about
// updating.
#pragma once

#include <windows.h>

#include <string>

// String id of the application title; every message box carries it as caption.
constexpr UINT AFX_IDS_APP_TITLE = 57344;

// ---- CString -----------------------------------------------------------------
// An ANSI string of any length.
class CString {
public:
    CString() = default;
    CString(const char* text) : text_(text != nullptr ? text : "") {}

    CString& operator=(const char* text);
    operator const char*() const { return text_.c_str(); }
    BOOL IsEmpty() const { return text_.empty(); }
    // Replaces the text with string `id` of the resource module; FALSE (and an
    // empty text) when there is none.
    BOOL LoadString(UINT id);
    void Format(const char* format, ...);

private:
    std::string text_;
};

// ---- Windows -------------------------------------------------------------------

class CWnd {
public:
    CWnd() = default;
    // Leaves the window alone: a control goes with its dialog.
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void SetWindowText(const char* text) const;
    virtual BOOL DestroyWindow();

    // The top-level window that a new popup should be owned by: `parent`, or
    // else the application's main window, climbed to its top-level ancestor;
    // null when neither has a window.
    static HWND GetSafeOwner(CWnd* parent = nullptr);

    HWND m_hWnd = nullptr;
};

class CProgressCtrl : public CWnd {
public:
    void SetRange(short lower, short upper) const;
    int SetPos(int pos) const;
    int SetStep(int step) const;
    int StepIt() const;
};

// Passed to DoDataExchange; controls are bound when it runs the first time.
struct CDataExchange {
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

// Binds `control` to the dialog's control `id` once.
void DDX_Control(CDataExchange* exchange, int id, CWnd& control);

class CDialog : public CWnd {
public:
    CDialog() = default;
    // Destroys the window when it still exists.
    ~CDialog() override;

    // Creates the dialog from template `templateId` as a modeless window owned
    // by `parent` (none: no owner). FALSE when the window cannot be made.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

protected:
    virtual void DoDataExchange(CDataExchange* exchange);
    // Binds the controls; TRUE lets the system set the focus.
    virtual BOOL OnInitDialog();
    // Enter (IDOK) and Esc, the close box or Alt+F4 (IDCANCEL).
    virtual void OnOK();
    virtual void OnCancel();

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// ---- The application -------------------------------------------------------------

class CWinApp {
public:
    // The one application object registers itself here; it must be a static
    // object, so that it exists before WinMain. A null name takes the title
    // from string AFX_IDS_APP_TITLE.
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // FALSE ends the program at once; TRUE runs the message loop.
    virtual BOOL InitInstance();
    virtual int Run();
    virtual int ExitInstance();

    // Called by WinMain before InitInstance.
    void Start(HINSTANCE instance);

    const char* m_pszAppName = nullptr;
    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;

private:
    char title_[260] = {};
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// The module that holds resource `name` of `type`: the program's own.
HINSTANCE AfxFindResourceHandle(const char* name, const char* type);
// Shows string `promptId` with the application title as caption, owned by the
// main window when it exists. An OK box without an icon of its own gets the
// exclamation icon. Answers the button pressed.
int AfxMessageBox(UINT promptId, UINT type = MB_OK, UINT helpId = static_cast<UINT>(-1));
// The three-dimensional look of dialog controls; the system draws it itself.
BOOL Enable3dControls();
