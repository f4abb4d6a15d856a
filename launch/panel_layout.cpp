#include <cstring>

#include "panel.h"

namespace {

bool IsGroupSlot(std::int32_t group) { return group >= 0 && group < kGroupSlots; }

} // namespace

int IconPanel::SlotsShown(int group) const
{
    if (!IsGroupSlot(group))
        return 0;
    const LaunchGroup& g = catalogue[group];
    int shown = 0;
    // The item count bounds the walk as well as the end mark does: a group
    // that was never loaded is all zero, with no end mark, and must not show
    // nine phantom cells.
    while (shown < kItemSlots && shown < g.count && g.items[shown].column != kEndOfGroup)
        ++shown;
    return shown;
}

CellRect IconPanel::SlotCell(int group, int slot) const
{
    const int row = allGroups != 0 ? group : 0;
    return CellAt(row, catalogue[group].items[slot].column);
}

ItemId IconPanel::HitTest(int x, int y) const
{
    if (allGroups == 0) {
        const int shown = SlotsShown(currentGroup);
        for (int j = 0; j < shown; ++j) {
            if (SlotCell(currentGroup, j).Contains(x, y))
                return catalogue[currentGroup].items[j].column;
        }
        return kNoItem;
    }
    for (int g = 0; g < kGroupSlots; ++g) {
        const int shown = SlotsShown(g);
        for (int j = 0; j < shown; ++j) {
            if (SlotCell(g, j).Contains(x, y))
                return MakeItemId(g, catalogue[g].items[j].column);
        }
    }
    return kNoItem;
}

ItemLocation IconPanel::LocateItem(ItemId id) const
{
    ItemLocation where{false, 0, 0};
    if (id < 0)
        return where;
    if (allGroups != 0) {
        where.group = ItemIdGroup(id);
        where.slot = ItemIdColumn(id);
    } else {
        where.group = currentGroup;
        where.slot = id;
    }
    where.found = IsGroupSlot(where.group) && where.slot >= 0 && where.slot < kItemSlots &&
                  where.slot < catalogue[where.group].count;
    return where;
}

const char* IconPanel::GetTitleText() const
{
    if (allGroups != 0)
        return kLauncherTitle;
    if (!IsGroupSlot(currentGroup))
        return "";
    return catalogue[currentGroup].name;
}

const char* IconPanel::GetItemCaption(ItemId id) const
{
    const ItemLocation where = LocateItem(id);
    if (!where.found)
        return nullptr;
    return catalogue[where.group].items[where.slot].caption;
}

void IconPanel::CopyItemTarget(ItemId id, char* buffer) const
{
    buffer[0] = '\0';
    if (id < 0)
        return;
    const int group = allGroups != 0 ? ItemIdGroup(id) : currentGroup;
    const int slot = allGroups != 0 ? ItemIdColumn(id) : id;
    if (!IsGroupSlot(group) || slot < 0 || slot >= kItemSlots)
        return;
    const char* target = catalogue[group].items[slot].target;
    // The stored target always fits; the bound keeps a damaged one from
    // running past the caller's buffer.
    std::size_t length = 0;
    while (length < kTextSize - 1 && target[length] != '\0')
        ++length;
    std::memcpy(buffer, target, length);
    buffer[length] = '\0';
}

void IconPanel::StepToNextGroup()
{
    ++currentGroup;
    if (currentGroup >= groupCount)
        currentGroup = 0;
}

void IconPanel::StepToPreviousGroup()
{
    --currentGroup;
    // A start-up value beyond the loaded groups steps back onto the last one
    // rather than onto another unloaded slot.
    if (currentGroup < 0 || currentGroup >= groupCount)
        currentGroup = groupCount > 0 ? groupCount - 1 : 0;
}

void IconPanel::ApplyGroupMask(std::uint32_t mask)
{
    for (int bit = 0; bit < 32; ++bit) {
        if ((mask >> bit) & 1u)
            currentGroup = bit;
    }
    if (currentGroup >= kGroupSlots || currentGroup < 0)
        currentGroup = 0;
    if (catalogue[currentGroup].count == 0)
        currentGroup = 0;
}
