#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <vector>

#include "frame_layout.h"

namespace {

TEST(FrameSizeFor, FollowsItemsGroupsAndDisplayMode)
{
    struct Case {
        int maxItems, groupCount, allGroups;
        int width, height;
    } const cases[] = {
        {5, 3, 0, 258, 76}, {5, 3, 1, 258, 176}, {0, 0, 0, 8, 76},   {0, 0, 1, 8, 26},
        {9, 9, 0, 458, 76}, {9, 9, 1, 458, 476},
        {5, 3, 5, 258, 176},  // any non-zero DispMode means all groups
    };
    for (const Case& c : cases) {
        const FrameSize size = FrameSizeFor(c.maxItems, c.groupCount, c.allGroups);
        EXPECT_EQ(size.width, c.width) << c.maxItems << " items, " << c.groupCount << " groups";
        EXPECT_EQ(size.height, c.height) << c.maxItems << " items, " << c.groupCount << " groups";
    }
}

TEST(PanelPlaceFor, LeavesOnePitchPerCellPlusTwo)
{
    // The panel must hold maxItems cells on the 50-pixel pitch with the
    // 2-pixel margin, and one row (or one row per group).
    for (int items = 0; items <= 9; ++items) {
        for (int groups = 1; groups <= 9; ++groups) {
            for (int all = 0; all <= 1; ++all) {
                const FrameSize frame = FrameSizeFor(items, groups, all);
                const PanelPlace panel = PanelPlaceFor(frame.width, frame.height);
                EXPECT_EQ(panel.right - panel.left, items * 50 + 2);
                EXPECT_EQ(panel.bottom - panel.top, (all ? groups : 1) * 50 + 2);
            }
        }
    }
}

TEST(TitlePiecesFor, CoverTheTitleBarWithoutGapsOrOverlap)
{
    for (int width : {58, 158, 258, 458}) {
        const TitlePieces p = TitlePiecesFor(width, 174);
        EXPECT_EQ(p.left.destX, 3);
        EXPECT_EQ(p.left.destX + p.left.destWidth, p.middle.destX) << width;
        EXPECT_EQ(p.middle.destX + p.middle.destWidth, p.right.destX) << width;
        EXPECT_EQ(p.right.destX + p.right.destWidth, width - 3) << width;
        // The fixed ends are copied at their own size, and the stretched part
        // lies between them in the bitmap.
        EXPECT_EQ(p.left.sourceWidth, p.left.destWidth);
        EXPECT_EQ(p.right.sourceWidth, p.right.destWidth);
        EXPECT_EQ(p.left.sourceX + p.left.sourceWidth, p.middle.sourceX);
        EXPECT_LE(p.middle.sourceX + p.middle.sourceWidth, p.right.sourceX);
        EXPECT_LE(p.right.sourceX + p.right.sourceWidth, 174);
    }
}

TEST(TitleButtons, SitInsideTheTitleBarRightEndWithoutOverlap)
{
    const int width = 258;
    const TitlePieces p = TitlePiecesFor(width, 174);
    for (const TitleButton& a : kTitleButtons) {
        const int ax = width - a.rightOffset;
        EXPECT_GE(ax, p.right.destX) << a.id;
        EXPECT_LE(ax + kButtonWidth, width - kFrameEdge) << a.id;
        EXPECT_LE(kButtonTop + kButtonHeight, kTitleStripHeight) << a.id;
        for (const TitleButton& b : kTitleButtons) {
            const int bx = width - b.rightOffset;
            if (a.id != b.id) {
                EXPECT_TRUE(ax + kButtonWidth <= bx || bx + kButtonWidth <= ax) << a.id << " " << b.id;
            }
        }
    }
}

TEST(BitmapIds, PressedLookIsNextIdAndSkinOneAddsHundred)
{
    struct Case {
        int control, skin;
        bool pressed;
        int bitmap;
    } const cases[] = {
        {6071, 0, false, 20103}, {6071, 0, true, 20104}, {6072, 0, false, 20105}, {6072, 0, true, 20106},
        {6073, 0, false, 20107}, {6073, 0, true, 20108}, {6074, 0, false, 20109}, {6074, 1, true, 20210},
        {6071, 1, false, 20203}, {6161, 0, false, 0},    {0, 1, true, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ButtonBitmapId(c.control, c.skin, c.pressed), c.bitmap) << c.control;
    EXPECT_EQ(TitleBitmapId(0, true), 20101);
    EXPECT_EQ(TitleBitmapId(0, false), 20102);
    EXPECT_EQ(TitleBitmapId(1, true), 20201);
    EXPECT_EQ(TitleBitmapId(1, false), 20202);
}

TEST(FrameCommandFor, MapsButtonsAndAcceleratorCommands)
{
    struct Case {
        int id;
        FrameAction action;
        int item;
    } cases[] = {
        {6071, FrameAction::Close, 0},       {6072, FrameAction::Minimize, 0},
        {6073, FrameAction::NextGroup, 0},   {6074, FrameAction::ToggleDisplayMode, 0},
        {40004, FrameAction::LaunchItem, 0}, {40008, FrameAction::LaunchItem, 4},
        {40012, FrameAction::LaunchItem, 8}, {40022, FrameAction::PreviousGroup, 0},
        {40023, FrameAction::NextGroup, 0},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    for (int id : {40002, 40003, 40013, 40024, 40025, 40031, 6161})  // commands of the table with no handler
        all.push_back({id, FrameAction::None, 0});
    for (const Case& c : all) {
        const FrameCommand command = FrameCommandFor(c.id);
        EXPECT_EQ(command.action, c.action) << c.id;
        EXPECT_EQ(command.item, c.item) << c.id;
    }
}

} // namespace
