#include <gtest/gtest.h>

#include "panel.h"
#include "settings.h"
#include "win_fixture.h"

namespace {

class Settings : public ::testing::Test {
protected:
    void SetUp() override { DeleteRegistryTree(HKEY_CURRENT_USER, kSettingsKey); }
    void TearDown() override { DeleteRegistryTree(HKEY_CURRENT_USER, kSettingsKey); }

    static void Store(const char* name, std::int32_t value)
    {
        ASSERT_TRUE(CreateSettingsKey(HKEY_CURRENT_USER, kSettingsKey));
        ASSERT_TRUE(WriteSettingDword(HKEY_CURRENT_USER, kSettingsKey, name, value));
    }

    // The value as the registry holds it, read without the code under test.
    static bool Stored(const char* name, DWORD& type, std::int32_t& value)
    {
        DWORD size = sizeof value;
        return RegGetValueA(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_ANY, &type, &value, &size) ==
                   ERROR_SUCCESS &&
               size == sizeof value;
    }

    // The right and bottom edges a frame is kept inside: those of the
    // window metrics, or of the reported work area where it is smaller (the
    // cases below start at 0, so its left and top edges must be 0 here).
    static WindowPosition Limits()
    {
        RECT area = {};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
        EXPECT_EQ(area.left, 0);
        EXPECT_EQ(area.top, 0);
        const int x = GetSystemMetrics(SM_CXMAXIMIZED) - 2 * GetSystemMetrics(SM_CXFRAME);
        const int y = GetSystemMetrics(SM_CYMAXIMIZED) - 2 * GetSystemMetrics(SM_CYFRAME);
        return {x < area.right ? x : static_cast<int>(area.right), y < area.bottom ? y : static_cast<int>(area.bottom)};
    }

    IconPanel panel_;
};

TEST_F(Settings, FirstRunGivesTheDefaults)
{
    panel_.allGroups = 3;
    panel_.currentGroup = 4;
    LoadViewSettings(panel_);
    EXPECT_EQ(panel_.allGroups, 0);
    EXPECT_EQ(panel_.currentGroup, 0);
    const WindowPosition p = LoadWindowPosition(308, 76);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(ReadSettingDword(HKEY_CURRENT_USER, kSettingsKey, "WinPosX", 1234), 1234);
    // Loading creates nothing; writing without the key fails quietly.
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_FALSE(WriteSettingDword(HKEY_CURRENT_USER, kSettingsKey, "WinPosX", 5));
}

TEST_F(Settings, ViewSettingsRoundTrip)
{
    struct Case {
        std::int32_t allGroups;
        std::int32_t currentGroup;
    };
    const Case cases[] = {{0, 0}, {1, 8}, {5, 3}};
    for (const Case& c : cases) {
        panel_.allGroups = c.allGroups;
        panel_.currentGroup = c.currentGroup;
        SaveViewSettings(panel_);
        DWORD type = 0;
        std::int32_t raw = -1;
        ASSERT_TRUE(Stored("DispMode", type, raw));
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(raw, c.allGroups);
        ASSERT_TRUE(Stored("LaunchNum", type, raw));
        EXPECT_EQ(raw, c.currentGroup);

        IconPanel loaded;
        LoadViewSettings(loaded);
        EXPECT_EQ(loaded.allGroups, c.allGroups);
        EXPECT_EQ(loaded.currentGroup, c.currentGroup);
    }
}

TEST_F(Settings, LaunchNumOutsideTheNineGroupsStartsOnGroupZero)
{
    const std::int32_t cases[][2] = {{12, 0}, {-1, 0}, {9, 0}, {8, 8}, {6, 6}};
    for (const auto& c : cases) {
        Store("LaunchNum", c[0]);
        LoadViewSettings(panel_);
        EXPECT_EQ(panel_.currentGroup, c[1]) << c[0];
    }
}

TEST_F(Settings, PositionRoundTripsAndIsKeptOnScreen)
{
    SaveWindowPosition(120, 80);
    DWORD type = 0;
    std::int32_t raw = 0;
    ASSERT_TRUE(Stored("WinPosX", type, raw));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw, 120);
    ASSERT_TRUE(Stored("WinPosY", type, raw));
    EXPECT_EQ(raw, 80);

    const WindowPosition limit = Limits();
    ASSERT_GT(limit.x, 400);
    ASSERT_GT(limit.y, 200);
    struct Case {
        std::int32_t x, y;
        int width, height;
        int expectedX, expectedY;
    };
    const Case cases[] = {
        {120, 80, 308, 76, 120, 80},
        {-50, -3, 308, 76, 0, 0},
        {limit.x, limit.y, 308, 76, limit.x - 308, limit.y - 76},
        {0, 0, limit.x + 10, 76, -10, 0},
    };
    for (const Case& c : cases) {
        SaveWindowPosition(c.x, c.y);
        const WindowPosition p = LoadWindowPosition(c.width, c.height);
        EXPECT_EQ(p.x, c.expectedX) << c.x << "," << c.y;
        EXPECT_EQ(p.y, c.expectedY) << c.x << "," << c.y;
        // The clamped position is not written back.
        ASSERT_TRUE(Stored("WinPosX", type, raw));
        EXPECT_EQ(raw, c.x);
    }
}

TEST_F(Settings, ValuesOfOtherTypesCountAsMissing)
{
    ASSERT_TRUE(CreateSettingsKey(HKEY_CURRENT_USER, kSettingsKey));
    ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, kSettingsKey, "DispMode", REG_SZ, "1"));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_WRITE, &key), ERROR_SUCCESS);
    const unsigned char eight[8] = {7, 0, 0, 0, 0, 0, 0, 0};
    RegSetValueExA(key, "LaunchNum", 0, REG_BINARY, eight, sizeof eight);
    RegCloseKey(key);

    EXPECT_EQ(ReadSettingDword(HKEY_CURRENT_USER, kSettingsKey, "DispMode", 0), 0);
    EXPECT_EQ(ReadSettingDword(HKEY_CURRENT_USER, kSettingsKey, "LaunchNum", 2), 2);
}

TEST_F(Settings, KeyRemovedWhileRunningIsCreatedAgain)
{
    SaveWindowPosition(1, 2);
    DeleteRegistryTree(HKEY_CURRENT_USER, kSettingsKey);
    panel_.allGroups = 1;
    panel_.currentGroup = 2;
    SaveViewSettings(panel_);
    EXPECT_EQ(ReadSettingDword(HKEY_CURRENT_USER, kSettingsKey, "DispMode", -1), 1);
    EXPECT_EQ(ReadSettingDword(HKEY_CURRENT_USER, kSettingsKey, "LaunchNum", -1), 2);
    EXPECT_EQ(ReadSettingDword(HKEY_CURRENT_USER, kSettingsKey, "WinPosX", -1), -1);
}

} // namespace
