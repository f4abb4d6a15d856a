#include "panel.h"

namespace {

struct PressedCell {
    bool found;
    CellRect cell;
    ItemId launchId;
};

// The cell of the press in progress, looked up again under the display mode
// and group in force now: the group may have changed since the press began.
PressedCell FindPressedCell(const IconPanel& panel)
{
    PressedCell result{false, {}, kNoItem};
    const ItemId id = panel.pressedItem;
    if (id < 0)
        return result;
    if (panel.allGroups != 0) {
        const int group = ItemIdGroup(id);
        const int slot = ItemIdColumn(id);
        if (slot < panel.SlotsShown(group)) {
            const int column = panel.catalogue[group].items[slot].column;
            result = {true, panel.SlotCell(group, slot), MakeItemId(group, column)};
        }
        return result;
    }
    const int group = panel.currentGroup;
    const int shown = panel.SlotsShown(group);
    for (int j = 0; j < shown; ++j) {
        if (panel.catalogue[group].items[j].column == id)
            return {true, panel.SlotCell(group, j), id};
    }
    return result;
}

} // namespace

PressOutcome IconPanel::PressAt(int x, int y)
{
    PressOutcome outcome;
    const ItemId hit = HitTest(x, y);
    if (hit == kNoItem)
        return outcome;
    pressedItem = hit;
    pressState = PressInside;
    outcome.repaint = hit;
    outcome.capture = true;
    return outcome;
}

PressOutcome IconPanel::MoveWhilePressed(int x, int y)
{
    PressOutcome outcome;
    if (pressState == PressNone)
        return outcome;
    const PressedCell pressed = FindPressedCell(*this);
    if (!pressed.found)
        return outcome;
    const std::int32_t state = pressed.cell.Contains(x, y) ? PressInside : PressOutside;
    if (state != pressState) {
        pressState = state;
        outcome.repaint = pressedItem;
    }
    return outcome;
}

PressOutcome IconPanel::ReleaseAt(int x, int y)
{
    PressOutcome outcome;
    if (pressState == PressNone)
        return outcome;
    const PressedCell pressed = FindPressedCell(*this);
    outcome.release = true;
    if (!pressed.found) {
        pressedItem = kNoItem;
        pressState = PressNone;
        return outcome;
    }
    if (pressed.cell.Contains(x, y))
        outcome.launch = pressed.launchId;
    outcome.repaint = pressedItem;
    pressedItem = kNoItem;
    pressState = PressNone;
    return outcome;
}

HoverOutcome IconPanel::UpdateHover(bool overPanel, int x, int y)
{
    HoverOutcome outcome;
    const ItemId now = overPanel ? HitTest(x, y) : kNoItem;
    if (now == hoveredItem)
        return outcome;
    outcome.changed = true;
    outcome.previous = hoveredItem;
    outcome.current = now;
    hoveredItem = now;
    return outcome;
}
