#pragma once

#include "delivery/focus/ScreenGeometry.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace korvane {

struct Point {
    double x = 0;
    double y = 0;

    friend bool operator==(const Point&, const Point&) = default;
};

// One monitor: its whole frame, and the part left free of panels and docks.
struct ScreenArea {
    Rect frame;
    Rect visibleFrame;
};

// The screen the indicator goes on (an index into `screens`, the primary first): the one holding
// `anchor` (the focused field's centre, else the mouse), else the primary; none without screens.
std::optional<std::size_t> indicatorScreen(const std::vector<ScreenArea>& screens, Point anchor);

// Where the panel anchors: the centre of the focused field's frame when known, else the mouse.
Point indicatorAnchor(const std::optional<Rect>& focusedFrame, Point mouse);

// The panel's bottom-left corner on a screen's visible frame, all in y-up geometry. The panel is
// centred horizontally, 130 above the bottom; if that would cover the focused field (with a margin
// of 12 around it) it moves just above the field, else just below, and stays at the default spot
// where neither fits.
Point indicatorOrigin(double panelWidth, double panelHeight, const Rect& visibleFrame,
                      const std::optional<Rect>& focusedFrame);

}  // namespace korvane
