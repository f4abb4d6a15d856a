#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>

#include "progress_dialog.h"
#include "res/resource.h"

namespace {

// The application object of the test program, started as WinMain would.
struct TestApp {
    TestApp() { app.Start(GetModuleHandleA(nullptr)); }
    CWinApp app;
};

std::string Text(HWND window)
{
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string Item(const ProgressDialog& dialog, int id)
{
    return Text(GetDlgItem(dialog.GetSafeHwnd(), id));
}

TEST(UpdaterResources, StringsAreStoredExactlyInCodePage932)
{
    struct Case {
        UINT id;
        const char* text;
    };
    const Case cases[] = {
        {IDS_INSTALL_CAPTION, "ｱｯﾌﾟﾃﾞｰﾄﾌｧｲﾙをｲﾝｽﾄｰﾙしています."},
        {IDS_COPYING_FILE, "ﾌｧｲﾙ: %s をｺﾋﾟｰしています."},
        {IDS_UPDATE_DONE, "ｱｯﾌﾟﾃﾞｰﾄが完了しました."},
        {IDS_PREPARING, "準備中..."},
        {IDS_EXTRACT_FAILED, "ｲﾝｽﾄｰﾙ対象ﾌｧｲﾙの展開に失敗しました."},
        {IDS_NOT_INSTALLED, "ｱｯﾌﾟﾃﾞｰﾄ対象がｲﾝｽﾄｰﾙされていません.\nｲﾝｽﾄｰﾙを中止します."},
        {AFX_IDS_APP_TITLE, "Orvel用ｱﾌﾟﾘｹｰｼｮﾝをｱｯﾌﾟﾃﾞｰﾄ"},
    };
    for (const Case& c : cases) {
        CString text;
        EXPECT_TRUE(text.LoadString(c.id));
        EXPECT_STREQ(text, c.text) << c.id;
    }
    // Half-width katakana are one byte each.
    EXPECT_EQ(static_cast<unsigned char>(static_cast<const char*>(CString("ｱ"))[0]), 0xB1);
}

TEST(UpdaterResources, ProgressTemplateIsThePlainTemplateAsDesigned)
{
    HRSRC found = FindResourceExA(nullptr, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(IDD_UPDATE_PROGRESS),
                                  MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    ASSERT_NE(found, nullptr);
    const auto* words = static_cast<const WORD*>(LockResource(LoadResource(nullptr, found)));
    const auto* head = reinterpret_cast<const DLGTEMPLATE*>(words);
    EXPECT_EQ(head->style, 0x90C800C0u);
    EXPECT_EQ(head->dwExtendedStyle, 0u);
    EXPECT_EQ(head->cdit, 3);
    EXPECT_EQ(head->x, 0);
    EXPECT_EQ(head->y, 0);
    EXPECT_EQ(head->cx, 218);
    EXPECT_EQ(head->cy, 69);
    const WORD* p = words + sizeof(DLGTEMPLATE) / 2;
    EXPECT_EQ(p[0], 0);  // no menu
    EXPECT_EQ(p[1], 0);  // the system's dialog class
    EXPECT_EQ(p[2], 0);  // empty caption
    EXPECT_EQ(p[3], 9);  // point size
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(p + 4)), L"ＭＳ Ｐゴシック");
    p += 4 + std::wcslen(reinterpret_cast<const wchar_t*>(p + 4)) + 1;

    struct Control {
        WORD id;
        const wchar_t* cls;  // null: the predefined static class
        const wchar_t* text;
        DWORD style;
        short x, y, cx, cy;
    };
    const Control controls[] = {
        {IDC_PROGRESS, L"msctls_progress32", L"Progress1", 0x50800000, 15, 29, 187, 13},
        {IDC_PERCENT, nullptr, L" 0 %", 0x50020000, 99, 46, 18, 8},
        {IDC_STATUS, nullptr, L"", 0x50020000, 7, 7, 204, 8},
    };
    for (const Control& c : controls) {
        p = reinterpret_cast<const WORD*>((reinterpret_cast<UINT_PTR>(p) + 3) & ~UINT_PTR{3});
        const auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
        EXPECT_EQ(item->id, c.id);
        EXPECT_EQ(item->style, c.style) << c.id;
        EXPECT_EQ(item->dwExtendedStyle, 0u) << c.id;
        EXPECT_EQ(item->x, c.x);
        EXPECT_EQ(item->y, c.y);
        EXPECT_EQ(item->cx, c.cx);
        EXPECT_EQ(item->cy, c.cy);
        p += sizeof(DLGITEMTEMPLATE) / 2;
        if (c.cls == nullptr) {
            EXPECT_EQ(p[0], 0xFFFF);
            EXPECT_EQ(p[1], 0x0082) << c.id;  // static
            p += 2;
        } else {
            // The resource compiler stores a control's class name in capitals;
            // the system matches class names without regard to case.
            EXPECT_EQ(CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, reinterpret_cast<const wchar_t*>(p), -1,
                                     c.cls, -1),
                      CSTR_EQUAL);
            p += std::wcslen(reinterpret_cast<const wchar_t*>(p)) + 1;
        }
        EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(p)), c.text);
        p += std::wcslen(reinterpret_cast<const wchar_t*>(p)) + 1;
        p += 1 + *p / 2;  // creation data
    }
}

TEST(UpdaterResources, IconHasTwoSixteenColourImages)
{
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_MAINFRAME), MAKEINTRESOURCEA(14));
    ASSERT_NE(found, nullptr);
    const auto* group = static_cast<const WORD*>(LockResource(LoadResource(nullptr, found)));
    ASSERT_EQ(group[2], 2);
    const BYTE* entries = reinterpret_cast<const BYTE*>(group + 3);
    for (int i = 0; i < 2; ++i) {
        const BYTE* e = entries + 14 * i;
        EXPECT_EQ(e[0], i == 0 ? 32 : 16);
        EXPECT_EQ(e[2], 16);                                  // colours
        EXPECT_EQ(*reinterpret_cast<const WORD*>(e + 6), 4);  // bits per pixel
    }
}

class ProgressDialogTest : public ::testing::Test {
protected:
    TestApp app_;
    ProgressDialog dialog_;
};

TEST_F(ProgressDialogTest, ShowsCaptionIconAndStartingStateCentredAndUnclosable)
{
    app_.app.m_pMainWnd = &dialog_;
    ASSERT_TRUE(dialog_.CreateModeless());
    HWND window = dialog_.GetSafeHwnd();
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(Text(window), "ｱｯﾌﾟﾃﾞｰﾄﾌｧｲﾙをｲﾝｽﾄｰﾙしています.");
    EXPECT_EQ(Item(dialog_, IDC_PERCENT), " 0 %");
    EXPECT_EQ(Item(dialog_, IDC_STATUS), "");
    HWND bar = GetDlgItem(window, IDC_PROGRESS);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 100);
    EXPECT_NE(SendMessageA(window, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageA(window, WM_GETICON, ICON_SMALL, 0), 0);
    RECT box = {};
    GetWindowRect(window, &box);
    EXPECT_NEAR((box.left + box.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((box.top + box.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

    SendMessageA(window, WM_COMMAND, IDOK, 0);
    SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(IsWindowVisible(window));

    dialog_.DestroyWindow();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(dialog_.GetSafeHwnd(), nullptr);
    EXPECT_EQ(app_.app.m_pMainWnd, nullptr);
}

TEST_F(ProgressDialogTest, PercentageFollowsPositionAndStepAndWrapsPastTheEnd)
{
    ASSERT_TRUE(dialog_.CreateModeless());
    dialog_.SetProgressRange(0, 3);
    dialog_.SetProgressStep(1);
    EXPECT_EQ(Item(dialog_, IDC_PERCENT), " 0 %");  // range and step alone change no text
    dialog_.SetProgressPos(0);
    EXPECT_EQ(Item(dialog_, IDC_PERCENT), "0%");
    const char* const shown[] = {"33%", "66%", "100%", "33%"};
    for (int step = 0; step < 4; ++step) {
        EXPECT_EQ(dialog_.StepProgress(), step % 3 == 0 && step > 0 ? 3 : step);
        EXPECT_EQ(Item(dialog_, IDC_PERCENT), shown[step]) << step;
    }
    dialog_.SetStatusText("準備中...");
    EXPECT_EQ(Item(dialog_, IDC_STATUS), "準備中...");
}

TEST_F(ProgressDialogTest, CreatingDisablesAnOwnerUntilTheDialogGoes)
{
    ProgressDialog owner;
    ASSERT_TRUE(owner.CreateModeless());
    ASSERT_TRUE(dialog_.CreateModeless(&owner));
    EXPECT_FALSE(IsWindowEnabled(owner.GetSafeHwnd()));
    dialog_.DestroyWindow();
    EXPECT_TRUE(IsWindowEnabled(owner.GetSafeHwnd()));
}

// Reads and dismisses the message box that a call on this thread shows.
DWORD WINAPI AnswerBox(LPVOID param)
{
    auto* seen = static_cast<std::string*>(param);
    for (int i = 0; i < 500; ++i) {
        HWND box = FindWindowA("#32770", nullptr);
        // Shown only once its texts are in place.
        if (box != nullptr && IsWindowVisible(box) && GetDlgItem(box, 0xFFFF) != nullptr) {
            char text[512] = {};
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            *seen = Text(box) + "|" + text + "|" + (GetDlgItem(box, IDCANCEL) ? "cancel" : "ok");
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            return 0;
        }
        Sleep(10);
    }
    return 1;
}

TEST(UpdaterMessageBox, CarriesTheApplicationTitleAndAnOkButtonOnly)
{
    TestApp app;
    std::string seen;
    HANDLE thread = CreateThread(nullptr, 0, AnswerBox, &seen, 0, nullptr);
    EXPECT_EQ(AfxMessageBox(IDS_UPDATE_DONE, MB_OK, static_cast<UINT>(-1)), IDOK);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    EXPECT_EQ(seen, "Orvel用ｱﾌﾟﾘｹｰｼｮﾝをｱｯﾌﾟﾃﾞｰﾄ|ｱｯﾌﾟﾃﾞｰﾄが完了しました.|ok");
}

} // namespace
