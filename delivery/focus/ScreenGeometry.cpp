#include "delivery/focus/ScreenGeometry.h"

#include <algorithm>

namespace korvane {

bool Rect::intersects(const Rect& other) const
{
    return std::max(x, other.x) < std::min(maxX(), other.maxX()) &&
           std::max(y, other.y) < std::min(maxY(), other.maxY());
}

Rect fromTopLeftOrigin(double x, double y, double width, double height, const Rect& primaryScreen)
{
    return {x, primaryScreen.maxY() - y - height, width, height};
}

Rect fromDesktopCoordinates(const Rect& yDown, const Rect& primaryYDown)
{
    return {yDown.x - primaryYDown.x, primaryYDown.maxY() - yDown.maxY(), yDown.width, yDown.height};
}

}  // namespace korvane
