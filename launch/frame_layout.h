#pragma once

// Geometry and command table of the launcher's frame window: plain values in,
// plain values out, so that they can be checked without a window.

constexpr int kTitleStripHeight = 21;
constexpr int kFrameEdge = 3;
constexpr int kButtonTop = 5;
constexpr int kButtonWidth = 16;
constexpr int kButtonHeight = 13;
constexpr int kHoverTimerId = 6081;
constexpr unsigned int kHoverTimerPeriod = 50;

constexpr int kCloseButtonId = 6071;
constexpr int kMinimizeButtonId = 6072;
constexpr int kGroupButtonId = 6073;
constexpr int kModeButtonId = 6074;

constexpr int kTitleActiveBitmap = 20101;
constexpr int kTitleInactiveBitmap = 20102;

struct FrameSize {
    int width;
    int height;
};

// The frame has no border, so this is its client size too: one 50-pixel
// pitch per item (or per group row) plus the edges and the title strip.
constexpr FrameSize FrameSizeFor(int maxItems, int groupCount, int allGroups)
{
    return FrameSize{maxItems * 50 + 8, allGroups == 0 ? 76 : groupCount * 50 + 26};
}

struct PanelPlace {
    int left;
    int top;
    int right;
    int bottom;
};

// The panel fills the client area inside the edges, below the title strip.
constexpr PanelPlace PanelPlaceFor(int clientWidth, int clientHeight)
{
    return PanelPlace{kFrameEdge, kTitleStripHeight, clientWidth - kFrameEdge, clientHeight - kFrameEdge};
}

struct TitleButton {
    int id;
    int bitmapBase;   // normal look; the pressed look is the next id
    int rightOffset;  // x = client width - rightOffset
    const char* tip;
};

// In creation order; destruction runs the other way round.
inline constexpr TitleButton kTitleButtons[4] = {
    {kCloseButtonId, 20103, 20, "閉じる"},
    {kMinimizeButtonId, 20105, 36, "最小化"},
    {kGroupButtonId, 20107, 58, "ランチャー切替"},
    {kModeButtonId, 20109, 74, "表示切替"},
};

constexpr const TitleButton* FindTitleButton(int id)
{
    for (const TitleButton& button : kTitleButtons) {
        if (button.id == id)
            return &button;
    }
    return nullptr;
}

// Bitmap resource of a title-bar button in a skin, or 0 for a foreign control.
constexpr int ButtonBitmapId(int controlId, int skin, bool pressed)
{
    const TitleButton* button = FindTitleButton(controlId);
    if (button == nullptr)
        return 0;
    return skin * 100 + button->bitmapBase + (pressed ? 1 : 0);
}

constexpr int TitleBitmapId(int skin, bool active)
{
    return skin * 100 + (active ? kTitleActiveBitmap : kTitleInactiveBitmap);
}

// One copy from the title-bar bitmap to the frame, at y = 3, full bitmap height.
struct TitlePiece {
    int destX;
    int destWidth;
    int sourceX;
    int sourceWidth;
};

struct TitlePieces {
    TitlePiece left;     // fixed end, copied as it is
    TitlePiece middle;   // stretched to the frame's width
    TitlePiece right;    // fixed end under the buttons, copied as it is
};

constexpr TitlePieces TitlePiecesFor(int clientWidth, int bitmapWidth)
{
    return TitlePieces{
        {3, 27, 0, 27},
        {30, clientWidth - 110, 27, bitmapWidth - 107},
        {clientWidth - 80, 77, bitmapWidth - 80, 77},
    };
}

// Where the caption text goes, inside the title bar and clear of the buttons.
constexpr PanelPlace CaptionPlaceFor(int clientWidth, int bitmapHeight)
{
    return PanelPlace{33, 3, clientWidth - 65, bitmapHeight + 3};
}

enum class FrameAction {
    None,
    Close,
    Minimize,
    NextGroup,
    PreviousGroup,
    ToggleDisplayMode,
    LaunchItem,
};

struct FrameCommand {
    FrameAction action;
    int item;  // slot index 0 to 8 for LaunchItem
};

// The frame's WM_COMMAND ids: the buttons and the accelerator table's commands.
constexpr FrameCommand FrameCommandFor(int id)
{
    switch (id) {
    case kCloseButtonId: return {FrameAction::Close, 0};
    case kMinimizeButtonId: return {FrameAction::Minimize, 0};
    case kGroupButtonId: return {FrameAction::NextGroup, 0};
    case kModeButtonId: return {FrameAction::ToggleDisplayMode, 0};
    case 40022: return {FrameAction::PreviousGroup, 0};
    case 40023: return {FrameAction::NextGroup, 0};
    default: break;
    }
    if (id >= 40004 && id <= 40012)
        return {FrameAction::LaunchItem, id - 40004};
    return {FrameAction::None, 0};
}
