// Looks at a running launcher from outside, as the updater and the shell do.
//
//   launcher_probe frame     prints "x y width height" of the frame window,
//                            then "client=WIDTH HEIGHT", "switch=0|1"
//                            (group-switch button visible), "limit=X Y" (the
//                            work-area size that the position is kept in),
//                            "iconic=0|1" and "foreground=0|1"
//   launcher_probe boxes     prints each message box of the launcher's process
//                            as two UTF-8 blocks: "title: ..." and "text: ..."
//   launcher_probe dismiss   presses OK on every such message box
//   launcher_probe sysclose  posts WM_SYSCOMMAND/SC_CLOSE to the frame
//   launcher_probe activate  brings the frame to the foreground
//   launcher_probe at X Y    prints the class and control id of the window at
//                            a screen point
//   launcher_probe input     prints the classes of the launcher thread's
//                            active, focus and capture windows
//
// Exit code 0 when the frame was found (for boxes: also when none is open),
// 3 when no launcher runs.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "print_utf8.h"

namespace {

const char kFrameClass[] = "OrvelLauncherBaseWin";

struct BoxWalk {
    DWORD process;
    bool dismiss;
    int found;
};

BOOL CALLBACK VisitWindow(HWND wnd, LPARAM param)
{
    BoxWalk* walk = reinterpret_cast<BoxWalk*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(wnd, &process);
    char cls[64] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    if (process != walk->process || std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(wnd))
        return TRUE;
    ++walk->found;
    if (walk->dismiss) {
        PostMessageA(wnd, WM_COMMAND, IDOK, 0);
        return TRUE;
    }
    char title[260] = {};
    char text[1024] = {};
    GetWindowTextA(wnd, title, sizeof title);
    // The message text is the box's static control with id 0xFFFF.
    GetDlgItemTextA(wnd, 0xFFFF, text, sizeof text);
    PrintUtf8("title", title);
    PrintUtf8("text", text);
    return TRUE;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: launcher_probe frame|boxes|dismiss|sysclose\n");
        return 2;
    }
    HWND frame = FindWindowA(kFrameClass, nullptr);
    if (!frame)
        return 3;
    const char* what = argv[1];
    if (std::strcmp(what, "frame") == 0) {
        RECT rc = {};
        RECT client = {};
        GetWindowRect(frame, &rc);
        GetClientRect(frame, &client);
        HWND groupSwitch = GetDlgItem(frame, 6073);
        std::printf("%ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
        std::printf("client=%ld %ld\n", client.right, client.bottom);
        std::printf("limit=%d %d\n", GetSystemMetrics(SM_CXMAXIMIZED) - 2 * GetSystemMetrics(SM_CXFRAME),
                    GetSystemMetrics(SM_CYMAXIMIZED) - 2 * GetSystemMetrics(SM_CYFRAME));
        std::printf("switch=%d\n", groupSwitch && IsWindowVisible(groupSwitch) ? 1 : 0);
        std::printf("iconic=%d\n", IsIconic(frame) ? 1 : 0);
        std::printf("foreground=%d\n", GetForegroundWindow() == frame ? 1 : 0);
        char other[64] = {};
        if (HWND foreground = GetForegroundWindow())
            GetClassNameA(foreground, other, sizeof other);
        std::printf("foreground-class=%s\n", other);
        return 0;
    }
    if (std::strcmp(what, "boxes") == 0 || std::strcmp(what, "dismiss") == 0) {
        BoxWalk walk = {0, std::strcmp(what, "dismiss") == 0, 0};
        GetWindowThreadProcessId(frame, &walk.process);
        EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&walk));
        std::printf("boxes=%d\n", walk.found);
        return 0;
    }
    if (std::strcmp(what, "input") == 0) {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(frame, nullptr), &info))
            return 1;
        const HWND windows[3] = {info.hwndActive, info.hwndFocus, info.hwndCapture};
        const char* names[3] = {"active", "focus", "capture"};
        for (int i = 0; i < 3; ++i) {
            char cls[64] = {};
            if (windows[i] != nullptr)
                GetClassNameA(windows[i], cls, sizeof cls);
            std::printf("%s=%s\n", names[i], cls);
        }
        return 0;
    }
    if (std::strcmp(what, "at") == 0 && argc == 4) {
        POINT point = {std::atoi(argv[2]), std::atoi(argv[3])};
        char cls[64] = {};
        HWND under = WindowFromPoint(point);
        if (under != nullptr)
            GetClassNameA(under, cls, sizeof cls);
        std::printf("at=%s id=%d\n", cls, under != nullptr ? GetDlgCtrlID(under) : 0);
        return 0;
    }
    if (std::strcmp(what, "activate") == 0)
        return SetForegroundWindow(frame) ? 0 : 1;
    if (std::strcmp(what, "sysclose") == 0)
        return PostMessageA(frame, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : 1;
    std::fprintf(stderr, "launcher_probe: unknown command %s\n", what);
    return 2;
}
