#include <gtest/gtest.h>

#include <climits>

#include "settings.h"

namespace {

TEST(WindowPosition, KeptOnTheWorkArea)
{
    struct Case {
        int x, y, width, height;
        int expectedX, expectedY;
    };
    // Work area 1024 x 738.
    const Case cases[] = {
        {-50, 10, 308, 76, 0, 10},
        {900, 10, 308, 76, 716, 10},
        {716, 662, 308, 76, 716, 662},  // exactly flush
        {717, 663, 308, 76, 716, 662},
        {100, -1, 308, 76, 100, 0},
        {0, 0, 1100, 800, -76, -62},    // larger than the area: flush right and bottom
        {-5, -5, 1100, 800, -76, -62},
        {INT_MAX, INT_MAX, 308, 76, 716, 662},
        {INT_MIN, INT_MIN, 8, 76, 0, 0},
    };
    for (const Case& c : cases) {
        const WindowPosition p = ClampWindowPosition(c.x, c.y, c.width, c.height, 1024, 738);
        EXPECT_EQ(p.x, c.expectedX) << c.x << "," << c.y;
        EXPECT_EQ(p.y, c.expectedY) << c.x << "," << c.y;
    }
}

TEST(WindowPosition, MovedInsideASmallerReportedWorkArea)
{
    struct Case {
        WindowPosition from;
        int width, height;
        WorkArea area;
        WindowPosition expected;
    };
    const Case cases[] = {
        {{100, 200}, 308, 76, {0, 0, 1280, 1024}, {100, 200}},     // already inside: stands
        {{0, 978}, 258, 76, {0, 0, 1280, 1024}, {0, 948}},         // metrics limit past the screen
        {{1100, 10}, 258, 76, {0, 0, 1280, 1024}, {1022, 10}},
        {{0, 0}, 258, 76, {60, 30, 1280, 1024}, {60, 30}},         // task bar at the left and top
        {{-76, -62}, 1100, 800, {0, 0, 1024, 738}, {-76, -62}},    // larger: flush right and bottom as before
        {{-76, -62}, 1100, 800, {0, 0, 1000, 700}, {-100, -100}},
    };
    for (const Case& c : cases) {
        const WindowPosition p = KeepInWorkArea(c.from, c.width, c.height, c.area);
        EXPECT_EQ(p.x, c.expected.x) << c.from.x << "," << c.from.y;
        EXPECT_EQ(p.y, c.expected.y) << c.from.x << "," << c.from.y;
    }
}

TEST(LaunchNum, OutsideTheNineSlotsBecomesZero)
{
    const std::int32_t cases[][2] = {{0, 0}, {8, 8}, {5, 5}, {9, 0}, {12, 0}, {-1, 0}, {INT_MIN, 0}, {INT_MAX, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(ClampLaunchNum(c[0]), c[1]) << c[0];
}

} // namespace
