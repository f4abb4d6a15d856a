#include "app.h"
#include "panel.h"

namespace {

const char kPanelClass[] = "iconWndClass";

} // namespace

int IconPanel::Create(HINSTANCE moduleInstance, HWND parent, const RECT& rect, WNDPROC procedure)
{
    instance = moduleInstance;
    if (classRegistered == 0) {
        WNDCLASSA windowClass = {};
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = moduleInstance;
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kPanelClass;
        if (RegisterClassA(&windowClass) == 0)
            return 2;
        classRegistered = 1;
    }
    // The handle arrives through WM_CREATE; the call's result only tells failure.
    HWND created = CreateWindowExA(0, kPanelClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, rect.left,
                                   rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPanelControlId)), moduleInstance,
                                   nullptr);
    if (created == nullptr) {
        UnregisterClassA(kPanelClass, moduleInstance);
        classRegistered = 0;
        window = nullptr;
        return 3;
    }
    LoadCellBitmaps();
    return 0;
}

LRESULT IconPanel::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        window = hwnd;
        return 0;
    case WM_DESTROY:
    case WM_COMMAND:
    case WM_VSCROLL:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONUP:
        return 0;
    case WM_SIZE:
        return OnSize();
    case WM_PAINT:
        return OnPaint();
    case WM_SETCURSOR:
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_MOUSEMOVE:
        return OnMouseMove(lParam);
    case WM_LBUTTONDOWN:
        return OnLButtonDown(lParam);
    case WM_LBUTTONUP:
        return OnLButtonUp(lParam);
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK IconPanelWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return theApp.panel.HandleMessage(hwnd, message, wParam, lParam);
}
