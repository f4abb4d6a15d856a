#include <gtest/gtest.h>

#include <cstring>

#include "panel_fixture.h"

namespace {

struct PointCase {
    int x;
    int y;
    ItemId expected;
};

TEST(ItemId, PacksGroupHighAndColumnLow)
{
    EXPECT_EQ(MakeItemId(2, 1), 0x00020001);
    EXPECT_EQ(MakeItemId(8, 8), 0x00080008);
    EXPECT_EQ(ItemIdGroup(0x00030002), 3);
    EXPECT_EQ(ItemIdColumn(0x00030002), 2);
    // "None" unpacks to halves that name no group or slot.
    EXPECT_EQ(ItemIdGroup(kNoItem), 0xFFFF);
    EXPECT_EQ(ItemIdColumn(kNoItem), 0xFFFF);
}

TEST(HitTest, SingleGroupCellEdgesAndGaps)
{
    IconPanel& panel = FreshPanel();
    AddGroup(panel, 0, 3);
    const PointCase cases[] = {
        {2, 2, 0},   {49, 2, 0},  {2, 49, 0},  {49, 49, 0},   // corners of column 0
        {1, 20, -1}, {50, 20, -1}, {51, 20, -1},               // gaps around column 0
        {20, 1, -1}, {20, 50, -1},                             // above and below the row
        {52, 20, 1}, {99, 20, 1},  {102, 2, 2}, {149, 49, 2},  // further columns
        {152, 20, -1},                                          // past the last item
        {40000, 20, -1}, {20, 65535, -1},                       // captured pointer left of or above
    };
    for (const PointCase& c : cases)
        EXPECT_EQ(panel.HitTest(c.x, c.y), c.expected) << "at (" << c.x << ", " << c.y << ")";
}

TEST(HitTest, AllGroupsPacksTheRow)
{
    IconPanel& panel = FreshPanel();
    AddGroup(panel, 0, 2);
    AddGroup(panel, 1, 0);
    AddGroup(panel, 2, 4);
    panel.allGroups = 1;
    const PointCase cases[] = {
        {60, 110, 0x00020001},
        {51, 110, -1},
        {2, 2, 0x00000000},
        {110, 10, -1},         // past group 0's items
        {10, 60, -1},          // empty group 1
        {160, 145, 0x00020003},
        {10, 160, -1},         // row of a group that was never loaded
    };
    for (const PointCase& c : cases)
        EXPECT_EQ(panel.HitTest(c.x, c.y), c.expected) << "at (" << c.x << ", " << c.y << ")";
}

TEST(HitTest, GroupsWithoutItemsShowNoCells)
{
    IconPanel& panel = FreshPanel();
    AddGroup(panel, 0, 2);
    AddGroup(panel, 1, 0);

    panel.currentGroup = 1;
    EXPECT_EQ(panel.SlotsShown(1), 0);
    EXPECT_EQ(panel.HitTest(10, 10), kNoItem);

    // A start-up value may name a slot beyond the loaded groups: all zero,
    // no end mark, yet no phantom cells.
    panel.currentGroup = 5;
    EXPECT_EQ(panel.SlotsShown(5), 0);
    EXPECT_EQ(panel.HitTest(10, 10), kNoItem);
    EXPECT_EQ(panel.SlotsShown(-1), 0);
    EXPECT_EQ(panel.SlotsShown(9), 0);
}

TEST(ItemLookups, CaptionOnlyForLoadedItems)
{
    IconPanel& panel = FreshPanel();
    AddGroup(panel, 0, 3);
    AddGroup(panel, 1, 0);
    AddGroup(panel, 2, 2);

    struct Case {
        int allGroups;
        int currentGroup;
        ItemId id;
        const char* caption;  // null: none
    };
    const Case cases[] = {
        {0, 0, 0, "caption 0.0"},
        {0, 0, 2, "caption 0.2"},
        {0, 0, 3, nullptr},          // the end mark's slot
        {0, 0, 9, nullptr},
        {0, 0, -1, nullptr},
        {0, 1, 0, nullptr},          // empty group
        {0, 2, 1, "caption 2.1"},
        {1, 0, MakeItemId(2, 1), "caption 2.1"},
        {1, 0, MakeItemId(2, 2), nullptr},
        {1, 0, MakeItemId(9, 0), nullptr},
        {1, 0, MakeItemId(0xFFFF, 0), nullptr},
        {1, 0, 0x7FFF0000, nullptr},
    };
    for (const Case& c : cases) {
        panel.allGroups = c.allGroups;
        panel.currentGroup = c.currentGroup;
        const char* caption = panel.GetItemCaption(c.id);
        if (c.caption == nullptr)
            EXPECT_EQ(caption, nullptr) << "id " << c.id;
        else
            EXPECT_STREQ(caption, c.caption) << "id " << c.id;
    }
}

TEST(ItemLookups, TargetCopyStaysInsideTheCatalogue)
{
    IconPanel& panel = FreshPanel();
    AddGroup(panel, 0, 3);
    AddGroup(panel, 1, 1);

    struct Case {
        int allGroups;
        ItemId id;
        const char* target;
    };
    const Case cases[] = {
        {0, 1, "C:\\target01.exe"},
        {0, 5, ""},                       // past the items: the slot's empty target
        {0, 9, ""},
        {0, -1, ""},
        {1, MakeItemId(1, 0), "C:\\target10.exe"},
        {1, MakeItemId(9, 0), ""},
        {1, MakeItemId(0, 9), ""},
        {1, 2, "C:\\target02.exe"},       // a bare index names group 0 in all-groups display
    };
    for (const Case& c : cases) {
        panel.allGroups = c.allGroups;
        char buffer[kTextSize];
        std::memset(buffer, 'x', sizeof buffer);
        panel.CopyItemTarget(c.id, buffer);
        EXPECT_STREQ(buffer, c.target) << "id " << c.id;
    }
}

TEST(ItemLookups, TitleIsGroupNameOrLauncherTitle)
{
    IconPanel& panel = FreshPanel();
    AddGroup(panel, 0, 1);
    AddGroup(panel, 1, 0);
    panel.currentGroup = 1;
    EXPECT_STREQ(panel.GetTitleText(), "Group1");  // even for an empty group
    panel.allGroups = 7;
    EXPECT_STREQ(panel.GetTitleText(), "OrvelAVランチャー");
}

TEST(GroupStepping, WrapsWithinLoadedGroups)
{
    struct Case {
        int groupCount;
        int current;
        bool forward;
        int expected;
    };
    const Case cases[] = {
        {3, 2, true, 0},  {3, 0, true, 1},  {3, 0, false, 2}, {3, 2, false, 1},
        {0, 0, true, 0},  {0, 0, false, 0}, {1, 0, true, 0},  {1, 0, false, 0},
        {3, 7, true, 0},  {3, 7, false, 2},  // from a start-up value beyond the loaded groups
    };
    for (const Case& c : cases) {
        IconPanel& panel = FreshPanel();
        for (int g = 0; g < c.groupCount; ++g)
            AddGroup(panel, g, g == 1 ? 0 : 2);  // stepping lands on empty groups too
        panel.currentGroup = c.current;
        if (c.forward)
            panel.StepToNextGroup();
        else
            panel.StepToPreviousGroup();
        EXPECT_EQ(panel.currentGroup, c.expected)
            << c.groupCount << " groups from " << c.current << (c.forward ? " forward" : " back");
    }
}

TEST(GroupStepping, MaskSelectsHighestLoadedGroup)
{
    struct Case {
        std::uint32_t mask;
        int current;
        int expected;
    };
    const Case cases[] = {
        {0x6, 0, 2},
        {0x5, 0, 2},
        {0x1, 2, 0},
        {0x200, 2, 0},        // bit 9 names no group slot
        {0x80000000u, 2, 0},
        {0x8, 2, 0},          // group 3 is empty
        {0x10, 2, 0},         // group 4 was never loaded
        {0x0, 2, 2},
        {0x0, 3, 0},          // no bit, but the current group is empty
        {0x0, 11, 0},
    };
    for (const Case& c : cases) {
        IconPanel& panel = FreshPanel();
        AddGroup(panel, 0, 1);
        AddGroup(panel, 1, 2);
        AddGroup(panel, 2, 3);
        AddGroup(panel, 3, 0);
        panel.currentGroup = c.current;
        panel.ApplyGroupMask(c.mask);
        EXPECT_EQ(panel.currentGroup, c.expected) << "mask " << std::hex << c.mask;
    }
}

} // namespace
