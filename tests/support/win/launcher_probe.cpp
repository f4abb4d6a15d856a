// Looks at a running launcher from outside, as the updater and the shell do.
//
//   launcher_probe frame     prints "x y width height" of the frame window,
//                            then "client=WIDTH HEIGHT", "switch=0|1"
//                            (group-switch button visible), "limit=X Y" (the
//                            work-area size that the window metrics give),
//                            "workarea=LEFT TOP RIGHT BOTTOM" (the one the
//                            system reports),
//                            "iconic=0|1" and "foreground=0|1"
//   launcher_probe boxes     prints each message box of the launcher's process
//                            as two UTF-8 blocks: "title: ..." and "text: ..."
//   launcher_probe dismiss   presses OK on every such message box
//   launcher_probe sysclose  posts WM_SYSCOMMAND/SC_CLOSE to the frame
//   launcher_probe tooltip   prints "tooltip=TEXT" (UTF-8) for the launcher's
//                            visible tooltip window, "tooltip=" when none shows,
//                            and then "tiprect=LEFT TOP RIGHT BOTTOM" when one does
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
#include <vector>

#include "print_utf8.h"

namespace {

const char kFrameClass[] = "OrvelLauncherBaseWin";

struct ShownWalk {
    DWORD process;
    const char* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectShown(HWND wnd, LPARAM param)
{
    ShownWalk* walk = reinterpret_cast<ShownWalk*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(wnd, &owner);
    char cls[64] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    if (owner == walk->process && std::strcmp(cls, walk->className) == 0 && IsWindowVisible(wnd))
        walk->found.push_back(wnd);
    return TRUE;
}

// The visible top-level windows of one class in the frame's process.
std::vector<HWND> ShownWindows(HWND frame, const char* className)
{
    ShownWalk walk = {0, className, {}};
    GetWindowThreadProcessId(frame, &walk.process);
    EnumWindows(CollectShown, reinterpret_cast<LPARAM>(&walk));
    return walk.found;
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
        RECT area = {};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
        std::printf("workarea=%ld %ld %ld %ld\n", area.left, area.top, area.right, area.bottom);
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
        const std::vector<HWND> boxes = ShownWindows(frame, "#32770");
        for (HWND box : boxes) {
            if (std::strcmp(what, "dismiss") == 0) {
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                continue;
            }
            char title[260] = {};
            char text[1024] = {};
            GetWindowTextA(box, title, sizeof title);
            // The message text is the box's static control with id 0xFFFF.
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            PrintUtf8("title", title);
            PrintUtf8("text", text);
        }
        std::printf("boxes=%d\n", static_cast<int>(boxes.size()));
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
    if (std::strcmp(what, "tooltip") == 0) {
        char text[1024] = {};
        RECT rect = {};
        const std::vector<HWND> tips = ShownWindows(frame, "tooltips_class32");
        if (!tips.empty()) {
            // A tooltip answers WM_GETTEXT with the tip it shows, but
            // GetWindowText on another process's window reads only the
            // window's stored title (empty for a tooltip) without asking it,
            // so the message is sent.
            WCHAR wide[512] = {};
            DWORD_PTR copied = 0;
            SendMessageTimeoutW(tips.front(), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG,
                                2000, &copied);
            wide[511] = L'\0';
            WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
            GetWindowRect(tips.front(), &rect);
        }
        std::printf("tooltip=%s\n", text);
        if (!tips.empty())
            std::printf("tiprect=%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
        return 0;
    }
    if (std::strcmp(what, "activate") == 0)
        return SetForegroundWindow(frame) ? 0 : 1;
    if (std::strcmp(what, "sysclose") == 0)
        return PostMessageA(frame, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : 1;
    std::fprintf(stderr, "launcher_probe: unknown command %s\n", what);
    return 2;
}
