#include "settings.h"

WindowPosition ClampWindowPosition(int x, int y, int width, int height, int limitX, int limitY)
{
    if (x < 0)
        x = 0;
    // Wide arithmetic: a stored position may be any 32-bit value.
    if (static_cast<long long>(x) + width > limitX)
        x = limitX - width;
    if (y < 0)
        y = 0;
    if (static_cast<long long>(y) + height > limitY)
        y = limitY - height;
    return {x, y};
}

namespace {

int KeepOnAxis(int start, int size, int low, int high)
{
    if (start >= low && static_cast<long long>(start) + size <= high)
        return start;
    if (start < low)
        start = low;
    if (static_cast<long long>(start) + size > high)
        start = high - size;
    return start;
}

} // namespace

WindowPosition KeepInWorkArea(WindowPosition position, int width, int height, const WorkArea& area)
{
    return {KeepOnAxis(position.x, width, area.left, area.right),
            KeepOnAxis(position.y, height, area.top, area.bottom)};
}

std::int32_t ClampLaunchNum(std::int32_t value)
{
    return value < 0 || value > 8 ? 0 : value;
}
