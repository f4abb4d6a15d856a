#pragma once

#include <cstdint>

#include "catalogue.h"
#include "handles.h"

#ifdef _WIN32
#include <windows.h>
#endif

// The launcher's name: the frame's window title, the title bar's text when
// all groups are shown, and the title of its one warning box.
constexpr char kLauncherTitle[] = "OrvelAVランチャー";

// Names one item: -1 for none. In all-groups display the group index is in
// the high 16 bits and the column in the low 16; in one-group display it is
// the column alone and the group is the current one.
using ItemId = std::int32_t;
constexpr ItemId kNoItem = -1;

constexpr ItemId MakeItemId(std::int32_t group, std::int32_t column)
{
    return static_cast<ItemId>((static_cast<std::uint32_t>(group) << 16) + static_cast<std::uint32_t>(column));
}
constexpr std::int32_t ItemIdGroup(ItemId id) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(id) >> 16); }
constexpr std::int32_t ItemIdColumn(ItemId id) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(id) & 0xFFFFu); }

// Private messages of the launcher's frame.
constexpr unsigned int LaunchRequest = 0x8000;       // wParam kPanelControlId, lParam ItemId
constexpr unsigned int HoverChanged = 0x8001;        // wParam 0, lParam hovered ItemId or -1
constexpr unsigned int SelectGroupRequest = 0x8002;  // wParam 0, lParam group bit mask

constexpr int kPanelControlId = 6161;
constexpr int kCellSize = 48;
constexpr int kCellPitch = 50;
constexpr int kCellMargin = 2;

enum PressState : std::int32_t {
    PressNone = 0,
    PressOutside = 1,
    PressInside = 2,
};

// A cell in panel client coordinates; right and bottom are exclusive.
struct CellRect {
    int left;
    int top;
    int right;
    int bottom;

    bool Contains(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
};

constexpr CellRect CellAt(int row, int column)
{
    return CellRect{kCellMargin + kCellPitch * column, kCellMargin + kCellPitch * row,
                    kCellMargin + kCellPitch * column + kCellSize, kCellMargin + kCellPitch * row + kCellSize};
}

// A slot of the catalogue, as found from an ItemId.
struct ItemLocation {
    bool found;
    int group;
    int slot;
};

// What the window code does after a pointer event, in this order: post
// LaunchRequest for `launch` (when not -1), repaint the cell of `repaint`
// (when not -1) at once, then take or release the mouse capture.
struct PressOutcome {
    ItemId launch = kNoItem;
    ItemId repaint = kNoItem;
    bool capture = false;
    bool release = false;
};

// A change of the hovered item, from one timer tick.
struct HoverOutcome {
    bool changed = false;  // post HoverChanged with `current`
    ItemId previous = kNoItem;  // repaint first when not -1
    ItemId current = kNoItem;   // repaint second when not -1
};

class IconPanel {
public:
    HWND window = nullptr;
    HINSTANCE instance = nullptr;
    std::int32_t classRegistered = 0;
    ItemId pressedItem = kNoItem;
    std::int32_t pressState = PressNone;
    ItemId hoveredItem = kNoItem;
    std::int32_t currentGroup = 0;
    std::int32_t groupCount = 0;
    std::int32_t maxItems = 0;
    std::int32_t allGroups = 0;
    std::int32_t skin = 0;
    LaunchCatalogue catalogue = {};
    HBITMAP backgroundBitmap = nullptr;
    HBITMAP normalBitmap = nullptr;
    HBITMAP pressedBitmap = nullptr;
    HBITMAP hoverBitmap = nullptr;
    HBITMAP maskBitmap = nullptr;

    // --- Layout and lookups (portable: panel_layout.cpp) ---

    // How many slots of group g are laid out, painted and hit: up to the end
    // mark, the item count and nine. A group that was never loaded shows none.
    int SlotsShown(int group) const;
    // The cell of slot `slot` of group `group` in the display mode in force.
    CellRect SlotCell(int group, int slot) const;
    // Item under a point in client coordinates, or -1.
    ItemId HitTest(int x, int y) const;
    // The group and slot an ItemId names in the display mode in force; not
    // found when they lie outside the nine groups or past the group's items.
    ItemLocation LocateItem(ItemId id) const;
    const char* GetTitleText() const;
    const char* GetItemCaption(ItemId id) const;
    // Copies the item's target with its terminator; `buffer` holds kTextSize
    // bytes. An id that names no slot gives an empty string.
    void CopyItemTarget(ItemId id, char* buffer) const;

    // Group changes without repainting; the window versions below repaint.
    void StepToNextGroup();
    void StepToPreviousGroup();
    void ApplyGroupMask(std::uint32_t mask);

    // --- Press and hover rules (portable: panel_state.cpp) ---
    // Coordinates for the button and move handlers are the two unsigned
    // 16-bit halves of the message's lParam, so a captured pointer left of or
    // above the panel arrives as a large value and lies outside every cell.

    PressOutcome PressAt(int x, int y);
    PressOutcome MoveWhilePressed(int x, int y);
    PressOutcome ReleaseAt(int x, int y);
    // `overPanel`: the panel window is the window under the pointer; x and y
    // are then the pointer in client coordinates (signed).
    HoverOutcome UpdateHover(bool overPanel, int x, int y);

#ifdef _WIN32
    // --- Window side (panel.cpp, panel_window.cpp) ---
    int Create(HINSTANCE moduleInstance, HWND parent, const RECT& rect, WNDPROC procedure);
    void Move(const RECT& rect);
    LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void InvalidateItem(ItemId id);
    LRESULT RequestLaunch(ItemId id);
    void NextGroup();
    void PreviousGroup();
    void SelectGroupByMask(std::uint32_t mask);

    // --- Painting (panel_paint.cpp) ---
    void LoadCellBitmaps();
    LRESULT OnSize();
    LRESULT OnPaint();
    void Destroy();

    // --- Pointer tracking (panel_track.cpp) ---
    LRESULT OnLButtonDown(LPARAM lParam);
    LRESULT OnMouseMove(LPARAM lParam);
    LRESULT OnLButtonUp(LPARAM lParam);
    int TrackHover(POINT screenPoint);

private:
    // Repaints the frame's title and the whole panel after a group change.
    void InvalidateAfterGroupChange();
#endif
};

#ifdef _WIN32
// Window procedure of "iconWndClass": forwards to the one panel.
LRESULT CALLBACK IconPanelWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
#endif
