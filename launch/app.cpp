#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <cstring>

#include "app.h"
#include "catalogue.h"
#include "resolve.h"
#include "settings.h"
#include "switches.h"

namespace {

const char kTitleFace[] = "ＭＳ Ｐゴシック";
const char kCatalogueName[] = "LAUNCH.INI";
constexpr UINT kClassNameString = 1;
constexpr int kClassNameSize = 32;
constexpr WORD kAppIcon = 155;
constexpr WORD kAccelerators = 145;

// A second start hands its group switches to the launcher that runs and
// leaves; it never creates a window of its own.
void HandOver(HWND running, std::uint32_t groupMask)
{
    HWND popup = GetLastActivePopup(running);
    SetForegroundWindow(popup);
    if (IsIconic(running))
        ShowWindow(running, SW_SHOWNORMAL);
    if (popup != running)
        SetActiveWindow(popup);
    if (groupMask != 0)
        SendMessageA(running, SelectGroupRequest, 0, static_cast<LPARAM>(groupMask));
}

bool RegisterFrameClass(HINSTANCE instance, const char* className)
{
    WNDCLASSA frameClass = {};
    frameClass.style = CS_DBLCLKS;
    frameClass.lpfnWndProc = FrameWndProc;
    frameClass.hInstance = instance;
    frameClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kAppIcon));
    frameClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    frameClass.lpszClassName = className;
    return RegisterClassA(&frameClass) != 0;
}

HFONT CreateTitleFont(int skin)
{
    LOGFONTA font = {};
    font.lfHeight = skin != 0 ? 10 : 12;
    font.lfCharSet = SHIFTJIS_CHARSET;
    lstrcpynA(font.lfFaceName, kTitleFace, LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

// Program folder with its trailing backslash, and the catalogue beside the
// program.
void FindProgramFolder(HINSTANCE instance, char (&folder)[kTextSize], char (&catalogue)[kTextSize])
{
    char module[kTextSize] = {};
    GetModuleFileNameA(instance, module, kTextSize);
    module[kTextSize - 1] = '\0';
    ProgramFolderOf(module, folder);
    JoinText(catalogue, folder, kCatalogueName);
}

// The tooltip over the panel names the item under the pointer, and nothing
// between items.
void ShowHoverCaption(const LauncherApp& app, LPARAM hovered)
{
    SendMessageA(app.tooltip, TTM_ACTIVATE, TRUE, 0);
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = app.frame;
    tool.uId = reinterpret_cast<UINT_PTR>(app.panel.window);
    tool.hinst = app.instance;
    const char* caption = app.panel.GetItemCaption(static_cast<ItemId>(hovered));
    tool.lpszText = const_cast<char*>(caption);
    SendMessageA(app.tooltip, TTM_SETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool));
}

int RunMessageLoop(LauncherApp& app, HACCEL accelerators)
{
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorA(app.frame, accelerators, &message) != 0)
            continue;
        if (app.tooltip != nullptr) {
            switch (message.message) {
            case WM_MOUSEMOVE:
            case WM_LBUTTONDOWN:
            case WM_LBUTTONUP:
            case WM_RBUTTONDOWN:
            case WM_RBUTTONUP:
                SendMessageA(app.tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&message));
                break;
            case HoverChanged:
                ShowHoverCaption(app, message.lParam);
                break;
            default:
                break;
            }
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

} // namespace

int LauncherApp::Run(HINSTANCE moduleInstance, const char* commandLine, int showCommand)
{
    instance = moduleInstance;
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    if (FAILED(OleInitialize(nullptr)))
        return 0;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    if (!InitCommonControlsEx(&controls)) {
        OleUninitialize();
        return 0;
    }

    const Switches switches = ParseSwitches(commandLine);
    if (switches.skinOne)
        panel.skin = 1;

    char className[kClassNameSize] = {};
    LoadStringA(instance, kClassNameString, className, kClassNameSize);
    if (HWND running = FindWindowA(className, nullptr)) {
        HandOver(running, switches.groupMask);
        OleUninitialize();
        return 0;
    }

    if (!RegisterFrameClass(instance, className)) {
        OleUninitialize();
        return 0;
    }
    titleFont = CreateTitleFont(panel.skin);
    FindProgramFolder(instance, programFolder, cataloguePath);
    LoadCatalogue();
    // The saved LaunchNum replaces this at once; the switches choose a group
    // only through a launcher that already runs.
    if (const int group = FirstStartGroup(switches.groupMask); group >= 0)
        panel.currentGroup = group;
    LoadViewSettings();

    frame = CreateWindowExA(0, className, kLauncherTitle, WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                            nullptr, nullptr, instance, nullptr);
    if (frame == nullptr) {
        if (titleFont != nullptr)
            DeleteObject(titleFont);
        titleFont = nullptr;
        OleUninitialize();
        return 0;
    }
    // No caption and no border: the program draws its own title bar, and the
    // window rectangle is the client rectangle.
    SetWindowLongA(frame, GWL_STYLE, WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX);

    int width = 0;
    int height = 0;
    GetFrameSize(width, height);
    const WindowPosition place = LoadWindowPosition(width, height);
    if (groupButton != nullptr)
        ShowWindow(groupButton, panel.allGroups == 0 ? SW_SHOW : SW_HIDE);
    MoveWindow(frame, place.x, place.y, width, height, FALSE);
    RegisterPanelTool();
    ShowWindow(frame, showCommand);
    UpdateWindow(frame);

    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(kAccelerators));
    const int exitCode = RunMessageLoop(*this, accelerators);

    if (accelerators != nullptr)
        DestroyAcceleratorTable(accelerators);
    if (titleFont != nullptr)
        DeleteObject(titleFont);
    titleFont = nullptr;
    OleUninitialize();
    return exitCode;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand)
{
    return theApp.Run(instance, commandLine, showCommand);
}
