#pragma once

#include <cstdint>

#include "handles.h"

#ifdef _WIN32
#include <windows.h>
#endif

constexpr char kSettingsKey[] = "SOFTWARE\\KORVAX\\Orvel Launcher\\Settings";

struct WindowPosition {
    int x;
    int y;
};

// Keeps a frame of the given size inside a work area from (0, 0) to
// (limitX, limitY): first off the left and top edges, then off the right and
// bottom ones, so a frame larger than the area ends flush with its right or
// bottom edge at a negative position.
WindowPosition ClampWindowPosition(int x, int y, int width, int height, int limitX, int limitY);

// The primary display's work area in screen coordinates, right and bottom
// exclusive.
struct WorkArea {
    int left;
    int top;
    int right;
    int bottom;
};

// Moves a position that ClampWindowPosition gave back inside `area` on each
// axis where the frame does not already lie inside it, by the same rule:
// first off the left or top edge, then off the right or bottom one.
WindowPosition KeepInWorkArea(WindowPosition position, int width, int height, const WorkArea& area);

// A stored LaunchNum outside the nine group slots names group 0.
std::int32_t ClampLaunchNum(std::int32_t value);

#ifdef _WIN32
class IconPanel;

// The stored value, or `fallback` when the key or a 4-byte REG_DWORD value
// cannot be read.
std::int32_t ReadSettingDword(HKEY root, const char* keyPath, const char* valueName, std::int32_t fallback);
bool WriteSettingDword(HKEY root, const char* keyPath, const char* valueName, std::int32_t value);
bool CreateSettingsKey(HKEY root, const char* keyPath);

// Where the frame of that size goes, from WinPosX and WinPosY, kept on the
// primary display's work area (the smaller of the one the window metrics give
// and the one the system reports). The clamped position is not written back.
WindowPosition LoadWindowPosition(int width, int height);
void SaveWindowPosition(int x, int y);

// DispMode and LaunchNum to and from the panel's allGroups and currentGroup.
void LoadViewSettings(IconPanel& panel);
void SaveViewSettings(const IconPanel& panel);
// The same for the launcher's own panel.
void LoadViewSettings();
void SaveViewSettings();
#endif
