#include <windows.h>

#include "panel.h"

namespace {

// The press handlers read the point as two unsigned halves: while the mouse
// is captured, a pointer left of or above the panel arrives as a large value
// and lies outside every cell.
int UnsignedX(LPARAM lParam) { return LOWORD(lParam); }
int UnsignedY(LPARAM lParam) { return HIWORD(lParam); }

// The launch is posted before the cell repaints and before the capture goes,
// so the frame handles it only after this release has been processed.
void Carry(IconPanel& panel, const PressOutcome& outcome)
{
    if (outcome.launch != kNoItem)
        panel.RequestLaunch(outcome.launch);
    if (outcome.repaint != kNoItem)
        panel.InvalidateItem(outcome.repaint);
    if (outcome.capture)
        SetCapture(panel.window);
    if (outcome.release)
        ReleaseCapture();
}

} // namespace

LRESULT IconPanel::OnLButtonDown(LPARAM lParam)
{
    SetFocus(window);
    Carry(*this, PressAt(UnsignedX(lParam), UnsignedY(lParam)));
    return 0;
}

LRESULT IconPanel::OnMouseMove(LPARAM lParam)
{
    Carry(*this, MoveWhilePressed(UnsignedX(lParam), UnsignedY(lParam)));
    return 0;
}

LRESULT IconPanel::OnLButtonUp(LPARAM lParam)
{
    Carry(*this, ReleaseAt(UnsignedX(lParam), UnsignedY(lParam)));
    return 0;
}

int IconPanel::TrackHover(POINT screenPoint)
{
    // A window over the panel hides the items from the pointer as well.
    const bool over = window != nullptr && WindowFromPoint(screenPoint) == window;
    POINT client = screenPoint;
    if (over)
        ScreenToClient(window, &client);
    const HoverOutcome outcome = UpdateHover(over, client.x, client.y);
    if (outcome.changed) {
        if (outcome.previous != kNoItem)
            InvalidateItem(outcome.previous);
        if (outcome.current != kNoItem)
            InvalidateItem(outcome.current);
        HWND parent = window != nullptr ? GetParent(window) : nullptr;
        if (parent != nullptr)
            PostMessageA(parent, HoverChanged, 0, static_cast<LPARAM>(outcome.current));
    }
    return over ? 1 : 0;
}
