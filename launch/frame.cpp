#include <windows.h>
#include <commctrl.h>

#include "app.h"
#include "frame_layout.h"
#include "settings.h"

namespace {

constexpr COLORREF kFaceColour = RGB(196, 196, 196);

HWND& ButtonHandle(LauncherApp& app, int id)
{
    switch (id) {
    case kCloseButtonId: return app.closeButton;
    case kMinimizeButtonId: return app.minimizeButton;
    case kGroupButtonId: return app.groupButton;
    default: return app.modeButton;
    }
}

void AddTool(const LauncherApp& app, HWND tool, const char* text)
{
    TOOLINFOA info = {};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.uFlags = TTF_IDISHWND;
    info.hwnd = app.frame;
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.hinst = app.instance;
    info.lpszText = const_cast<char*>(text);
    SendMessageA(app.tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

// Title bar and caption into `dc` at frame coordinates. The pieces are clipped
// to the strip between the edges, so a very narrow frame (an empty catalogue)
// keeps its edges.
void DrawTitleBar(const LauncherApp& app, HDC dc, int width, int isActive)
{
    HBITMAP bar = LoadBitmapA(app.instance, MAKEINTRESOURCEA(TitleBitmapId(app.panel.skin, isActive != 0)));
    if (bar == nullptr)
        return;
    BITMAP size = {};
    GetObjectA(bar, sizeof size, &size);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ oldBitmap = SelectObject(source, bar);

    const int saved = SaveDC(dc);
    IntersectClipRect(dc, kFrameEdge, kFrameEdge, width - kFrameEdge, kFrameEdge + size.bmHeight);
    const TitlePieces pieces = TitlePiecesFor(width, size.bmWidth);
    BitBlt(dc, pieces.left.destX, kFrameEdge, pieces.left.destWidth, size.bmHeight, source, pieces.left.sourceX, 0,
           SRCCOPY);
    if (pieces.middle.destWidth > 0) {
        StretchBlt(dc, pieces.middle.destX, kFrameEdge, pieces.middle.destWidth, size.bmHeight, source,
                   pieces.middle.sourceX, 0, pieces.middle.sourceWidth, size.bmHeight, SRCCOPY);
    }
    BitBlt(dc, pieces.right.destX, kFrameEdge, pieces.right.destWidth, size.bmHeight, source, pieces.right.sourceX,
           0, SRCCOPY);

    HGDIOBJ oldFont = app.titleFont != nullptr ? SelectObject(dc, app.titleFont) : nullptr;
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, app.panel.skin == 1 ? RGB(255, 255, 255) : RGB(0, 0, 0));
    const PanelPlace caption = CaptionPlaceFor(width, size.bmHeight);
    RECT captionRect = {caption.left, caption.top, caption.right, caption.bottom};
    DrawTextA(dc, app.panel.GetTitleText(), -1, &captionRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    if (oldFont != nullptr)
        SelectObject(dc, oldFont);
    RestoreDC(dc, saved);

    SelectObject(source, oldBitmap);
    DeleteDC(source);
    DeleteObject(bar);
}

void DrawFace(HDC dc, const RECT& client)
{
    HBRUSH face = CreateSolidBrush(kFaceColour);
    HGDIOBJ oldBrush = SelectObject(dc, face);
    Rectangle(dc, client.left, client.top, client.right, client.bottom);
    SelectObject(dc, oldBrush);
    DeleteObject(face);

    // A black outer line and a white inner one: the frame's raised edge.
    HPEN black = CreatePen(PS_SOLID, 0, RGB(0, 0, 0));
    HPEN white = CreatePen(PS_SOLID, 0, RGB(255, 255, 255));
    HGDIOBJ oldPen = SelectObject(dc, black);
    const POINT outer[5] = {{client.left, client.top},
                            {client.right - 1, client.top},
                            {client.right - 1, client.bottom - 1},
                            {client.left, client.bottom - 1},
                            {client.left, client.top}};
    Polyline(dc, outer, 5);
    SelectObject(dc, white);
    const POINT inner[5] = {{client.left + 1, client.top + 1},
                            {client.right - 2, client.top + 1},
                            {client.right - 2, client.bottom - 2},
                            {client.left + 1, client.bottom - 2},
                            {client.left + 1, client.top + 1}};
    Polyline(dc, inner, 5);
    SelectObject(dc, oldPen);
    DeleteObject(black);
    DeleteObject(white);
}

// Frame coordinates: the pointer point of a mouse message, signed.
POINT PointOf(LPARAM lParam)
{
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

bool Dragging(const LauncherApp& app)
{
    return app.dragX >= 0 && app.dragY >= 0;
}

// Moves the frame by the pointer's distance from the drag origin; returns
// the new top left corner.
POINT FollowPointer(LauncherApp& app, POINT pointer)
{
    RECT window = {};
    GetWindowRect(app.frame, &window);
    const POINT corner = {window.left + pointer.x - app.dragX, window.top + pointer.y - app.dragY};
    MoveWindow(app.frame, corner.x, corner.y, window.right - window.left, window.bottom - window.top, TRUE);
    return corner;
}

// --- one handler per message ---

LRESULT OnCreate(LauncherApp& app, HWND hwnd)
{
    app.frame = hwnd;
    RECT client = {};
    GetClientRect(hwnd, &client);
    app.CreateFrameControls(hwnd);
    app.panel.Create(app.instance, hwnd, client, IconPanelWndProc);
    app.hoverTimer = static_cast<std::uint32_t>(SetTimer(hwnd, kHoverTimerId, kHoverTimerPeriod, nullptr));
    return 0;
}

LRESULT OnSize(LauncherApp& app, HWND hwnd)
{
    RECT client = {};
    GetClientRect(hwnd, &client);
    const PanelPlace place = PanelPlaceFor(client.right, client.bottom);
    app.panel.Move(RECT{place.left, place.top, place.right, place.bottom});
    for (const TitleButton& button : kTitleButtons) {
        HWND control = ButtonHandle(app, button.id);
        if (control != nullptr)
            MoveWindow(control, client.right - button.rightOffset, kButtonTop, kButtonWidth, kButtonHeight, TRUE);
    }
    return 0;
}

LRESULT OnClose(LauncherApp& app, HWND hwnd)
{
    SaveViewSettings();
    app.panel.Destroy();
    DestroyWindow(hwnd);
    return 0;
}

LRESULT OnDestroy(LauncherApp& app, HWND hwnd)
{
    if (app.hoverTimer != 0)
        KillTimer(hwnd, app.hoverTimer);
    app.hoverTimer = 0;
    app.DestroyFrameControls();
    PostQuitMessage(0);
    return 0;
}

LRESULT OnNcActivate(LauncherApp& app, HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    const bool activating = LOWORD(wParam) != 0;
    if (app.active == 1 && !activating) {
        app.active = 0;
        app.PaintTitleBar(0);
    } else if (app.active == 0 && activating) {
        app.active = 1;
        app.PaintTitleBar(1);
    }
    return DefWindowProcA(hwnd, WM_NCACTIVATE, wParam, lParam);
}

LRESULT OnCommand(LauncherApp& app, HWND hwnd, WPARAM wParam)
{
    const FrameCommand command = FrameCommandFor(LOWORD(wParam));
    switch (command.action) {
    case FrameAction::Close: PostMessageA(hwnd, WM_CLOSE, 0, 0); break;
    case FrameAction::Minimize: ShowWindow(hwnd, SW_MINIMIZE); break;
    case FrameAction::NextGroup: app.panel.NextGroup(); break;
    case FrameAction::PreviousGroup: app.panel.PreviousGroup(); break;
    case FrameAction::ToggleDisplayMode: app.ToggleDisplayMode(); break;
    // The bare slot index is the ItemId: in all-groups display it names an
    // item of the first group.
    case FrameAction::LaunchItem: app.panel.RequestLaunch(static_cast<ItemId>(command.item)); break;
    case FrameAction::None: break;
    }
    return 0;
}

LRESULT OnTimer(LauncherApp& app)
{
    POINT cursor = {};
    GetCursorPos(&cursor);
    if (app.active == 1)
        app.panel.TrackHover(cursor);
    return 0;
}

LRESULT OnLButtonDown(LauncherApp& app, HWND hwnd, LPARAM lParam)
{
    SetFocus(hwnd);
    const POINT pointer = PointOf(lParam);
    if (pointer.y < kTitleStripHeight) {
        app.dragX = pointer.x;
        app.dragY = pointer.y;
        SetCapture(hwnd);
    }
    return 0;
}

LRESULT OnMouseMove(LauncherApp& app, LPARAM lParam)
{
    if (Dragging(app))
        FollowPointer(app, PointOf(lParam));
    return 0;
}

LRESULT OnLButtonUp(LauncherApp& app, LPARAM lParam)
{
    if (Dragging(app)) {
        const POINT corner = FollowPointer(app, PointOf(lParam));
        // Cleared before the capture goes, so that the capture change below
        // does not end the drag a second time.
        app.dragX = -1;
        app.dragY = -1;
        SaveWindowPosition(corner.x, corner.y);
        ReleaseCapture();
    }
    app.dragX = -1;
    app.dragY = -1;
    return 0;
}

// A drag whose capture was taken away (another window came forward while the
// button was down) ends where the frame stands; otherwise the frame would
// keep following the pointer with the button up.
LRESULT OnCaptureChanged(LauncherApp& app)
{
    if (Dragging(app)) {
        app.dragX = -1;
        app.dragY = -1;
        RECT window = {};
        GetWindowRect(app.frame, &window);
        SaveWindowPosition(window.left, window.top);
    }
    return 0;
}

LRESULT OnLaunchRequest(LauncherApp& app, WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == kPanelControlId)
        app.RunItemTarget(static_cast<ItemId>(lParam));
    return 0;
}

} // namespace

LRESULT LauncherApp::HandleFrameMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return OnCreate(*this, hwnd);
    case WM_SIZE: return OnSize(*this, hwnd);
    case WM_PAINT: PaintFrame(active); return 0;
    case WM_CLOSE: return OnClose(*this, hwnd);
    case WM_DESTROY: return OnDestroy(*this, hwnd);
    case WM_DRAWITEM: DrawFrameButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_NCACTIVATE: return OnNcActivate(*this, hwnd, wParam, lParam);
    case WM_COMMAND: return OnCommand(*this, hwnd, wParam);
    case WM_TIMER: return OnTimer(*this);
    case WM_LBUTTONDOWN: return OnLButtonDown(*this, hwnd, lParam);
    case WM_MOUSEMOVE: return OnMouseMove(*this, lParam);
    case WM_LBUTTONUP: return OnLButtonUp(*this, lParam);
    case WM_CAPTURECHANGED: return OnCaptureChanged(*this);
    case LaunchRequest: return OnLaunchRequest(*this, wParam, lParam);
    case SelectGroupRequest: panel.SelectGroupByMask(static_cast<std::uint32_t>(lParam)); return 0;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK FrameWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return theApp.HandleFrameMessage(hwnd, message, wParam, lParam);
}

void LauncherApp::GetFrameSize(int& width, int& height) const
{
    const FrameSize size = FrameSizeFor(panel.maxItems, panel.groupCount, panel.allGroups);
    width = size.width;
    height = size.height;
}

void LauncherApp::ToggleDisplayMode()
{
    panel.allGroups = panel.allGroups == 0 ? 1 : 0;
    int width = 0;
    int height = 0;
    GetFrameSize(width, height);
    RECT window = {};
    GetWindowRect(frame, &window);
    if (groupButton != nullptr)
        ShowWindow(groupButton, panel.allGroups != 0 ? SW_HIDE : SW_SHOW);
    // The top left corner stays, even when the frame now reaches past the screen.
    MoveWindow(frame, window.left, window.top, width, height, TRUE);
    InvalidateRect(frame, nullptr, FALSE);
    if (panel.window != nullptr)
        InvalidateRect(panel.window, nullptr, FALSE);
}

void LauncherApp::CreateFrameControls(HWND frameWindow)
{
    for (const TitleButton& button : kTitleButtons) {
        ButtonHandle(*this, button.id) =
            CreateWindowExA(0, "BUTTON", nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_OWNERDRAW, 0, 0, 0, 0,
                            frameWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(button.id)), instance, nullptr);
    }
    tooltip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, frameWindow, nullptr, instance, nullptr);
    if (tooltip == nullptr)
        return;
    for (const TitleButton& button : kTitleButtons)
        AddTool(*this, ButtonHandle(*this, button.id), button.tip);
}

void LauncherApp::RegisterPanelTool()
{
    if (tooltip != nullptr)
        AddTool(*this, panel.window, nullptr);
}

void LauncherApp::DestroyFrameControls()
{
    if (tooltip != nullptr)
        DestroyWindow(tooltip);
    tooltip = nullptr;
    for (int i = 3; i >= 0; --i) {
        HWND& control = ButtonHandle(*this, kTitleButtons[i].id);
        if (control != nullptr)
            DestroyWindow(control);
        control = nullptr;
    }
}

void LauncherApp::DrawFrameButton(const DRAWITEMSTRUCT& item)
{
    const int id = ButtonBitmapId(static_cast<int>(item.CtlID), panel.skin, (item.itemState & ODS_SELECTED) != 0);
    if (id == 0)
        return;
    HBITMAP look = LoadBitmapA(instance, MAKEINTRESOURCEA(id));
    if (look == nullptr)
        return;
    BITMAP size = {};
    GetObjectA(look, sizeof size, &size);
    HDC source = CreateCompatibleDC(item.hDC);
    HGDIOBJ old = SelectObject(source, look);
    BitBlt(item.hDC, 0, 0, size.bmWidth, size.bmHeight, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
    DeleteObject(look);
}

void LauncherApp::PaintFrame(int isActive)
{
    PAINTSTRUCT paint = {};
    HDC dc = BeginPaint(frame, &paint);
    RECT client = {};
    GetClientRect(frame, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width > 0 && height > 0) {
        // Face, edges and title bar are composed off screen and copied once.
        HDC buffer = CreateCompatibleDC(dc);
        HBITMAP pixels = CreateCompatibleBitmap(dc, width, height);
        HGDIOBJ old = SelectObject(buffer, pixels);
        DrawFace(buffer, client);
        DrawTitleBar(*this, buffer, width, isActive);
        BitBlt(dc, 0, 0, width, height, buffer, 0, 0, SRCCOPY);
        SelectObject(buffer, old);
        DeleteObject(pixels);
        DeleteDC(buffer);
    }
    EndPaint(frame, &paint);
}

void LauncherApp::PaintTitleBar(int isActive)
{
    HDC dc = GetDC(frame);
    RECT client = {};
    GetClientRect(frame, &client);
    const int width = client.right - client.left;
    if (width > 2 * kFrameEdge) {
        // Composed off screen; only the strip between the edges is copied.
        HDC buffer = CreateCompatibleDC(dc);
        HBITMAP pixels = CreateCompatibleBitmap(dc, width, kTitleStripHeight);
        HGDIOBJ old = SelectObject(buffer, pixels);
        DrawFace(buffer, client);
        DrawTitleBar(*this, buffer, width, isActive);
        BitBlt(dc, kFrameEdge, kFrameEdge, width - 2 * kFrameEdge, kTitleStripHeight - kFrameEdge, buffer,
               kFrameEdge, kFrameEdge, SRCCOPY);
        SelectObject(buffer, old);
        DeleteObject(pixels);
        DeleteDC(buffer);
    }
    ReleaseDC(frame, dc);
}
