#include <gtest/gtest.h>

#include <vector>

#include "panel_fixture.h"

namespace {

enum class Step { Down, Move, Up };

struct PointerEvent {
    Step step;
    int x;
    int y;
};

// Feeds a sequence of button and move events and collects the launches.
std::vector<ItemId> Launches(IconPanel& panel, const std::vector<PointerEvent>& events)
{
    std::vector<ItemId> launched;
    for (const PointerEvent& e : events) {
        PressOutcome outcome;
        switch (e.step) {
        case Step::Down: outcome = panel.PressAt(e.x, e.y); break;
        case Step::Move: outcome = panel.MoveWhilePressed(e.x, e.y); break;
        case Step::Up: outcome = panel.ReleaseAt(e.x, e.y); break;
        }
        if (outcome.launch != kNoItem)
            launched.push_back(outcome.launch);
    }
    return launched;
}

TEST(PressTracking, LaunchesOnlyWhenReleasedInThePressedCell)
{
    struct Case {
        const char* what;
        std::vector<PointerEvent> events;
        std::vector<ItemId> launched;
    };
    const Case cases[] = {
        {"click", {{Step::Down, 60, 20}, {Step::Up, 60, 20}}, {1}},
        {"out and back in", {{Step::Down, 60, 20}, {Step::Move, 10, 20}, {Step::Move, 60, 30}, {Step::Up, 61, 31}}, {1}},
        {"released on another item", {{Step::Down, 60, 20}, {Step::Up, 10, 20}}, {}},
        {"released in a gap", {{Step::Down, 60, 20}, {Step::Up, 51, 20}}, {}},
        {"released above the panel", {{Step::Down, 60, 20}, {Step::Up, 60, 65535}}, {}},
        {"released at y = 1", {{Step::Down, 10, 20}, {Step::Up, 10, 1}}, {}},
        {"released at y = 50", {{Step::Down, 10, 20}, {Step::Up, 10, 50}}, {}},
        {"released at y = 2", {{Step::Down, 10, 20}, {Step::Up, 10, 2}}, {0}},
        {"released at y = 49", {{Step::Down, 10, 20}, {Step::Up, 10, 49}}, {0}},
        {"pressed in a gap", {{Step::Down, 51, 20}, {Step::Up, 60, 20}}, {}},
        {"pressed past the items", {{Step::Down, 160, 20}, {Step::Up, 160, 20}}, {}},
        // The second click of a double click arrives as its own message and
        // is dropped; its release finds no press.
        {"double click", {{Step::Down, 60, 20}, {Step::Up, 60, 20}, {Step::Up, 60, 20}}, {1}},
    };
    for (const Case& c : cases) {
        IconPanel& panel = FreshPanel();
        AddGroup(panel, 0, 3);
        EXPECT_EQ(Launches(panel, c.events), c.launched) << c.what;
        EXPECT_EQ(panel.pressState, PressNone) << c.what;
        EXPECT_EQ(panel.pressedItem, kNoItem) << c.what;
    }
}

TEST(PressTracking, StateFollowsThePointerAndRepaintsOnlyOnChange)
{
    IconPanel& panel = FreshPanel();
    AddGroup(panel, 0, 3);

    PressOutcome down = panel.PressAt(60, 20);
    EXPECT_EQ(down.repaint, 1);
    EXPECT_TRUE(down.capture);
    EXPECT_EQ(panel.pressedItem, 1);
    EXPECT_EQ(panel.pressState, PressInside);

    struct Move {
        int x;
        int y;
        std::int32_t state;
        bool repaint;
    };
    const Move moves[] = {
        {70, 30, PressInside, false},
        {100, 30, PressOutside, true},   // right edge is exclusive
        {10, 30, PressOutside, false},   // another item does not matter
        {40000, 30, PressOutside, false},
        {99, 49, PressInside, true},
    };
    for (const Move& m : moves) {
        PressOutcome outcome = panel.MoveWhilePressed(m.x, m.y);
        EXPECT_EQ(panel.pressState, m.state) << m.x << "," << m.y;
        EXPECT_EQ(outcome.repaint, m.repaint ? 1 : kNoItem) << m.x << "," << m.y;
        EXPECT_FALSE(outcome.capture || outcome.release);
    }

    PressOutcome up = panel.ReleaseAt(99, 49);
    EXPECT_EQ(up.launch, 1);
    EXPECT_EQ(up.repaint, 1);
    EXPECT_TRUE(up.release);
}

TEST(PressTracking, PressOffEveryItemTakesNoCapture)
{
    IconPanel& panel = FreshPanel();
    AddGroup(panel, 0, 2);
    const PressOutcome outcome = panel.PressAt(51, 20);
    EXPECT_FALSE(outcome.capture);
    EXPECT_EQ(outcome.repaint, kNoItem);
    EXPECT_EQ(panel.pressState, PressNone);
    // Without a press, moves and releases do nothing at all.
    EXPECT_EQ(panel.MoveWhilePressed(10, 10).repaint, kNoItem);
    EXPECT_FALSE(panel.ReleaseAt(10, 10).release);
}

TEST(PressTracking, AllGroupsCellIsFoundByRowAndColumn)
{
    IconPanel& panel = FreshPanel();
    for (int g = 0; g < 4; ++g)
        AddGroup(panel, g, 4);
    panel.allGroups = 1;

    // Column 2 of group 3: x 102..149, y 152..199.
    ASSERT_EQ(panel.PressAt(110, 160).repaint, MakeItemId(3, 2));
    panel.MoveWhilePressed(140, 190);
    EXPECT_EQ(panel.pressState, PressInside);
    panel.MoveWhilePressed(110, 10);  // same column, group 0
    EXPECT_EQ(panel.pressState, PressOutside);
    panel.MoveWhilePressed(110, 160);
    EXPECT_EQ(panel.ReleaseAt(110, 160).launch, MakeItemId(3, 2));
}

TEST(PressTracking, PressWhoseCellVanishedEndsWithoutLaunch)
{
    IconPanel& panel = FreshPanel();
    AddGroup(panel, 0, 4);
    AddGroup(panel, 1, 1);
    panel.PressAt(160, 20);  // column 3 of group 0
    panel.currentGroup = 1;  // a group key while the button is held
    EXPECT_EQ(panel.MoveWhilePressed(160, 20).repaint, kNoItem);
    EXPECT_EQ(panel.pressState, PressInside);
    const PressOutcome up = panel.ReleaseAt(160, 20);
    EXPECT_EQ(up.launch, kNoItem);
    EXPECT_EQ(up.repaint, kNoItem);
    EXPECT_TRUE(up.release);
    EXPECT_EQ(panel.pressState, PressNone);
    EXPECT_EQ(panel.pressedItem, kNoItem);
}

TEST(HoverTracking, ReportsOnlyChangesOfTheItemUnderThePointer)
{
    IconPanel& panel = FreshPanel();
    AddGroup(panel, 0, 3);
    AddGroup(panel, 1, 3);
    AddGroup(panel, 2, 0);

    struct Tick {
        bool overPanel;
        int x;
        int y;
        bool changed;
        ItemId previous;
        ItemId current;
    };
    const Tick ticks[] = {
        {true, 10, 10, true, -1, 0},
        {true, 20, 20, false, -1, -1},
        {true, 60, 10, true, 0, 1},     // straight to the next item
        {true, 51, 10, true, 1, -1},    // into a gap
        {true, 51, 12, false, -1, -1},
        {true, 60, 10, true, -1, 1},
        {false, 60, 10, true, 1, -1},   // covered, or off the panel
        {true, -5, 10, false, -1, -1},
    };
    for (const Tick& t : ticks) {
        const HoverOutcome outcome = panel.UpdateHover(t.overPanel, t.x, t.y);
        EXPECT_EQ(outcome.changed, t.changed) << t.x << "," << t.y;
        if (t.changed) {
            EXPECT_EQ(outcome.previous, t.previous) << t.x << "," << t.y;
            EXPECT_EQ(outcome.current, t.current) << t.x << "," << t.y;
        }
    }

    // A group switch keeps the same column quiet.
    panel.UpdateHover(true, 60, 10);
    panel.StepToNextGroup();
    EXPECT_FALSE(panel.UpdateHover(true, 60, 10).changed);
    panel.StepToNextGroup();  // onto the empty group
    const HoverOutcome outcome = panel.UpdateHover(true, 60, 10);
    EXPECT_TRUE(outcome.changed);
    EXPECT_EQ(outcome.current, kNoItem);
    // The empty group sets no hover of its own.
    EXPECT_FALSE(panel.UpdateHover(true, 10, 10).changed);
}

} // namespace
