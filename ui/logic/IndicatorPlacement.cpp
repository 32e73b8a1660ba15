#include "ui/logic/IndicatorPlacement.h"

namespace korvane {

namespace {

bool contains(const Rect& rect, Point point)
{
    return point.x >= rect.x && point.x < rect.maxX() && point.y >= rect.y && point.y < rect.maxY();
}

}  // namespace

std::optional<std::size_t> indicatorScreen(const std::vector<ScreenArea>& screens, Point anchor)
{
    for (std::size_t index = 0; index < screens.size(); ++index) {
        if (contains(screens[index].frame, anchor)) {
            return index;
        }
    }
    if (screens.empty()) {
        return std::nullopt;
    }
    return 0;
}

Point indicatorAnchor(const std::optional<Rect>& focusedFrame, Point mouse)
{
    if (!focusedFrame) {
        return mouse;
    }
    return {focusedFrame->x + focusedFrame->width / 2, focusedFrame->y + focusedFrame->height / 2};
}

Point indicatorOrigin(double panelWidth, double panelHeight, const Rect& visibleFrame,
                      const std::optional<Rect>& focusedFrame)
{
    constexpr double kDefaultLift = 130;
    constexpr double kMargin = 12;
    const double x = visibleFrame.x + visibleFrame.width / 2 - panelWidth / 2;
    const Point fallback{x, visibleFrame.y + kDefaultLift};
    if (!focusedFrame) {
        return fallback;
    }
    const Rect grown{focusedFrame->x - kMargin, focusedFrame->y - kMargin, focusedFrame->width + 2 * kMargin,
                     focusedFrame->height + 2 * kMargin};
    if (!grown.intersects(Rect{fallback.x, fallback.y, panelWidth, panelHeight})) {
        return fallback;
    }
    if (grown.maxY() + panelHeight <= visibleFrame.maxY()) {
        return {x, grown.maxY()};
    }
    if (visibleFrame.y <= grown.y - panelHeight) {
        return {x, grown.y - panelHeight};
    }
    return fallback;
}

}  // namespace korvane
