#include "settings.h"

#include "app.h"
#include "panel.h"

std::int32_t ReadSettingDword(HKEY root, const char* keyPath, const char* valueName, std::int32_t fallback)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return fallback;
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    const LONG status = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    RegCloseKey(key);
    // Only a whole REG_DWORD counts: the bytes of a short string or binary
    // value are no position or mode.
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data)
        return fallback;
    return static_cast<std::int32_t>(data);
}

bool WriteSettingDword(HKEY root, const char* keyPath, const char* valueName, std::int32_t value)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
        return false;
    const DWORD data = static_cast<DWORD>(value);
    const LONG set = RegSetValueExA(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    const LONG closed = RegCloseKey(key);
    return set == ERROR_SUCCESS && closed == ERROR_SUCCESS;
}

bool CreateSettingsKey(HKEY root, const char* keyPath)
{
    HKEY key = nullptr;
    if (RegCreateKeyA(root, keyPath, &key) != ERROR_SUCCESS)
        return false;
    return RegCloseKey(key) == ERROR_SUCCESS;
}

WindowPosition LoadWindowPosition(int width, int height)
{
    const int x = ReadSettingDword(HKEY_CURRENT_USER, kSettingsKey, "WinPosX", 0);
    const int y = ReadSettingDword(HKEY_CURRENT_USER, kSettingsKey, "WinPosY", 0);
    const int limitX = GetSystemMetrics(SM_CXMAXIMIZED) - 2 * GetSystemMetrics(SM_CXFRAME);
    const int limitY = GetSystemMetrics(SM_CYMAXIMIZED) - 2 * GetSystemMetrics(SM_CYFRAME);
    const WindowPosition position = ClampWindowPosition(x, y, width, height, limitX, limitY);
    // The metrics can describe more than the screen shows (under Wine they
    // do); the work area the system reports is what keeps the frame reachable.
    RECT area = {};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0) || area.right <= area.left || area.bottom <= area.top)
        return position;
    return KeepInWorkArea(position, width, height, {area.left, area.top, area.right, area.bottom});
}

void SaveWindowPosition(int x, int y)
{
    CreateSettingsKey(HKEY_CURRENT_USER, kSettingsKey);
    WriteSettingDword(HKEY_CURRENT_USER, kSettingsKey, "WinPosX", x);
    WriteSettingDword(HKEY_CURRENT_USER, kSettingsKey, "WinPosY", y);
}

void LoadViewSettings(IconPanel& panel)
{
    panel.allGroups = ReadSettingDword(HKEY_CURRENT_USER, kSettingsKey, "DispMode", 0);
    panel.currentGroup = ClampLaunchNum(ReadSettingDword(HKEY_CURRENT_USER, kSettingsKey, "LaunchNum", 0));
}

void SaveViewSettings(const IconPanel& panel)
{
    CreateSettingsKey(HKEY_CURRENT_USER, kSettingsKey);
    WriteSettingDword(HKEY_CURRENT_USER, kSettingsKey, "DispMode", panel.allGroups);
    WriteSettingDword(HKEY_CURRENT_USER, kSettingsKey, "LaunchNum", panel.currentGroup);
}

void LoadViewSettings()
{
    LoadViewSettings(theApp.panel);
}

void SaveViewSettings()
{
    SaveViewSettings(theApp.panel);
}
