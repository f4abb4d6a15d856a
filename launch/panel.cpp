#include "panel.h"

void IconPanel::Move(const RECT& rect)
{
    if (window == nullptr)
        return;
    MoveWindow(window, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

void IconPanel::InvalidateItem(ItemId id)
{
    const ItemLocation where = LocateItem(id);
    if (!where.found || window == nullptr)
        return;
    const CellRect cell = SlotCell(where.group, where.slot);
    const RECT rect{cell.left, cell.top, cell.right, cell.bottom};
    InvalidateRect(window, &rect, FALSE);
    UpdateWindow(window);
}

LRESULT IconPanel::RequestLaunch(ItemId id)
{
    // Without a panel there is no frame to ask; a null target window would
    // turn the request into a thread message that no window handles.
    HWND parent = window != nullptr ? GetParent(window) : nullptr;
    if (parent != nullptr)
        PostMessageA(parent, LaunchRequest, kPanelControlId, static_cast<LPARAM>(id));
    return 0;
}

void IconPanel::InvalidateAfterGroupChange()
{
    // A null window here would mean the whole desktop to InvalidateRect.
    if (window == nullptr)
        return;
    HWND parent = GetParent(window);
    if (parent != nullptr)
        InvalidateRect(parent, nullptr, FALSE);
    InvalidateRect(window, nullptr, FALSE);
}

void IconPanel::NextGroup()
{
    StepToNextGroup();
    InvalidateAfterGroupChange();
}

void IconPanel::PreviousGroup()
{
    StepToPreviousGroup();
    InvalidateAfterGroupChange();
}

void IconPanel::SelectGroupByMask(std::uint32_t mask)
{
    ApplyGroupMask(mask);
    InvalidateAfterGroupChange();
}
