#include <windows.h>

#include "panel.h"

namespace {

// Cell looks; a look selects the frame bitmap and nothing else.
enum CellLook : int {
    LookNormal = 1,
    LookPressed = 2,
    LookHover = 4,
};

constexpr int kNormalBitmap = 20111;
constexpr int kPressedBitmap = 20112;
constexpr int kHoverBitmap = 20113;
constexpr int kMaskBitmap = 20114;
constexpr int kTileBitmap = 20115;
constexpr int kBackgroundBlock = 32;
constexpr int kIconOffset = 8;

HBITMAP LoadSkinBitmap(const IconPanel& panel, int base)
{
    return LoadBitmapA(panel.instance, MAKEINTRESOURCEA(panel.skin * 100 + base));
}

// The background rebuilt for the panel's current size: the tile repeated from
// the top left corner, one tile taller than the panel at least.
HBITMAP BuildBackground(const IconPanel& panel)
{
    HDC windowDc = GetDC(panel.window);
    RECT client = {};
    GetClientRect(panel.window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    HBITMAP tile = LoadSkinBitmap(panel, kTileBitmap);
    if (tile == nullptr) {
        ReleaseDC(panel.window, windowDc);
        return nullptr;
    }
    BITMAP tileSize = {};
    GetObjectA(tile, sizeof tileSize, &tileSize);
    const int tileWidth = tileSize.bmWidth;
    const int tileHeight = tileSize.bmHeight;
    if (tileWidth <= 0 || tileHeight <= 0) {
        DeleteObject(tile);
        ReleaseDC(panel.window, windowDc);
        return nullptr;
    }
    const int bandCount = (tileHeight + height - 1) / tileHeight + 1;
    const int backgroundHeight = tileHeight * bandCount;
    HBITMAP background = CreateCompatibleBitmap(windowDc, width, backgroundHeight);

    HDC target = CreateCompatibleDC(windowDc);
    HDC source = CreateCompatibleDC(windowDc);
    HGDIOBJ oldTarget = SelectObject(target, background);
    HGDIOBJ oldSource = SelectObject(source, tile);
    for (int x = 0; x < width; x += tileWidth)
        BitBlt(target, x, 0, tileWidth, tileHeight, source, 0, 0, SRCCOPY);
    // The first band is then copied down the bitmap, one band at a time.
    for (int y = 0; y < backgroundHeight; y += tileHeight)
        BitBlt(target, 0, y, width, tileHeight, target, 0, 0, SRCCOPY);
    SelectObject(source, oldSource);
    SelectObject(target, oldTarget);
    DeleteObject(tile);
    DeleteDC(source);
    DeleteDC(target);
    ReleaseDC(panel.window, windowDc);
    return background;
}

// One cell: the look's frame with the item's icon on it, laid onto `dc`
// through the cell mask, where the mask's 0 pixels keep the background.
void DrawItem(const IconPanel& panel, HDC dc, HRGN region, int slot, int group, CellLook look)
{
    if (panel.window == nullptr)
        return;
    HBITMAP frame = look == LookPressed ? panel.pressedBitmap : look == LookHover ? panel.hoverBitmap : panel.normalBitmap;
    int width = kCellSize;
    int height = kCellSize;
    if (frame != nullptr) {
        BITMAP size = {};
        GetObjectA(frame, sizeof size, &size);
        width = size.bmWidth;
        height = size.bmHeight;
    }
    const CellRect cell = CellAt(panel.allGroups != 0 ? group : 0, slot);
    const RECT place = {cell.left, cell.top, cell.left + width, cell.top + height};
    if (!RectInRegion(region, &place))
        return;

    HBITMAP composed = CreateCompatibleBitmap(dc, width, height);
    HDC cellDc = CreateCompatibleDC(dc);
    HDC sourceDc = CreateCompatibleDC(cellDc);
    HGDIOBJ oldComposed = SelectObject(cellDc, composed);
    HGDIOBJ oldSource = nullptr;

    if (frame != nullptr) {
        oldSource = SelectObject(sourceDc, frame);
        BitBlt(cellDc, 0, 0, width, height, sourceDc, 0, 0, SRCCOPY);
    } else {
        // A damaged program file: a plain face still shows the icon.
        const RECT all = {0, 0, width, height};
        FillRect(cellDc, &all, GetSysColorBrush(COLOR_BTNFACE));
    }
    HBITMAP mask = panel.maskBitmap;
    if (mask != nullptr) {
        // Mask 0 turns white in the cell, mask 1 keeps the frame.
        const COLORREF oldText = SetTextColor(cellDc, RGB(255, 255, 255));
        const COLORREF oldBack = SetBkColor(cellDc, RGB(0, 0, 0));
        HGDIOBJ previous = SelectObject(sourceDc, mask);
        if (oldSource == nullptr)
            oldSource = previous;
        BitBlt(cellDc, 0, 0, width, height, sourceDc, 0, 0, SRCPAINT);
        SetTextColor(cellDc, oldText);
        SetBkColor(cellDc, oldBack);
    }
    HICON icon = panel.catalogue[group].items[slot].icon;
    if (icon != nullptr)
        DrawIcon(cellDc, kIconOffset, kIconOffset, icon);

    if (mask != nullptr) {
        // Mask 1 turns the destination white, so that ANDing the cell leaves
        // frame and icon there and the background elsewhere.
        const COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
        const COLORREF oldBack = SetBkColor(dc, RGB(255, 255, 255));
        BitBlt(dc, place.left, place.top, width, height, sourceDc, 0, 0, SRCPAINT);
        SetTextColor(dc, oldText);
        SetBkColor(dc, oldBack);
        BitBlt(dc, place.left, place.top, width, height, cellDc, 0, 0, SRCAND);
    } else {
        BitBlt(dc, place.left, place.top, width, height, cellDc, 0, 0, SRCCOPY);
    }

    if (oldSource != nullptr)
        SelectObject(sourceDc, oldSource);
    SelectObject(cellDc, oldComposed);
    DeleteObject(composed);
    DeleteDC(sourceDc);
    DeleteDC(cellDc);
}

CellLook LookOf(const IconPanel& panel, int group, std::int32_t column)
{
    const bool all = panel.allGroups != 0;
    auto names = [&](ItemId id) {
        if (all)
            return ItemIdGroup(id) == group && ItemIdColumn(id) == column;
        return id == column;
    };
    if (panel.pressState == PressInside && names(panel.pressedItem))
        return LookPressed;
    if (names(panel.hoveredItem))
        return LookHover;
    return LookNormal;
}

void DrawItems(const IconPanel& panel, HDC dc, HRGN region)
{
    if (panel.window == nullptr)
        return;
    const int first = panel.allGroups != 0 ? 0 : panel.currentGroup;
    const int last = panel.allGroups != 0 ? kGroupSlots - 1 : panel.currentGroup;
    for (int group = first; group <= last; ++group) {
        const int shown = panel.SlotsShown(group);
        for (int slot = 0; slot < shown; ++slot) {
            const std::int32_t column = panel.catalogue[group].items[slot].column;
            DrawItem(panel, dc, region, slot, group, LookOf(panel, group, column));
        }
    }
}

} // namespace

void IconPanel::LoadCellBitmaps()
{
    if (normalBitmap == nullptr)
        normalBitmap = LoadSkinBitmap(*this, kNormalBitmap);
    if (pressedBitmap == nullptr)
        pressedBitmap = LoadSkinBitmap(*this, kPressedBitmap);
    if (hoverBitmap == nullptr)
        hoverBitmap = LoadSkinBitmap(*this, kHoverBitmap);
    if (maskBitmap == nullptr)
        maskBitmap = LoadSkinBitmap(*this, kMaskBitmap);
}

LRESULT IconPanel::OnSize()
{
    if (backgroundBitmap != nullptr)
        DeleteObject(backgroundBitmap);
    backgroundBitmap = window != nullptr ? BuildBackground(*this) : nullptr;
    return 0;
}

LRESULT IconPanel::OnPaint()
{
    // BeginPaint validates the window, so the region is taken first; it tells
    // which background blocks and cells need drawing at all.
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    GetUpdateRgn(window, region, FALSE);
    PAINTSTRUCT paint = {};
    HDC dc = BeginPaint(window, &paint);
    const RECT area = paint.rcPaint;
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width > 0 && height > 0) {
        HDC buffer = CreateCompatibleDC(dc);
        HBITMAP pixels = CreateCompatibleBitmap(dc, width, height);
        HGDIOBJ oldPixels = SelectObject(buffer, pixels);
        SetTextColor(buffer, GetTextColor(dc));
        SetBkColor(buffer, GetBkColor(dc));
        // Client coordinates address the buffer from here on.
        SetWindowOrgEx(buffer, area.left, area.top, nullptr);

        if (backgroundBitmap != nullptr) {
            HDC background = CreateCompatibleDC(dc);
            HGDIOBJ oldBackground = SelectObject(background, backgroundBitmap);
            RECT client = {};
            GetClientRect(window, &client);
            for (int y = client.top; y < client.bottom; y += kBackgroundBlock) {
                for (int x = client.left; x < client.right; x += kBackgroundBlock) {
                    const RECT block = {x, y, x + kBackgroundBlock, y + kBackgroundBlock};
                    if (RectInRegion(region, &block))
                        BitBlt(buffer, x, y, kBackgroundBlock, kBackgroundBlock, background, x, y, SRCCOPY);
                }
            }
            SelectObject(background, oldBackground);
            DeleteDC(background);
        }
        DrawItems(*this, buffer, region);

        SetWindowOrgEx(buffer, 0, 0, nullptr);
        BitBlt(dc, area.left, area.top, width, height, buffer, 0, 0, SRCCOPY);
        SelectObject(buffer, oldPixels);
        DeleteObject(pixels);
        DeleteDC(buffer);
    }
    EndPaint(window, &paint);
    DeleteObject(region);
    return 0;
}

void IconPanel::Destroy()
{
    if (window != nullptr)
        DestroyWindow(window);
    window = nullptr;
    HBITMAP* const owned[] = {&backgroundBitmap, &normalBitmap, &pressedBitmap, &hoverBitmap, &maskBitmap};
    for (HBITMAP* bitmap : owned) {
        if (*bitmap != nullptr)
            DeleteObject(*bitmap);
        *bitmap = nullptr;
    }
}
