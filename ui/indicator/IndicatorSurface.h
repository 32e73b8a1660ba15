#pragma once

#include "delivery/focus/ScreenGeometry.h"
#include "ui/logic/IndicatorAppearance.h"
#include "ui/logic/IndicatorPlacement.h"
#include "ui/logic/LevelMeter.h"

#include <array>
#include <string>
#include <vector>

namespace korvane {

// One monitor as the indicator places itself on it: frames in the y-up geometry of the focus
// logic (device pixels, origin at the primary screen's bottom-left corner), and how many device
// pixels one device-independent pixel of the panel takes there.
struct IndicatorScreen {
    ScreenArea area;
    double pixelRatio = 1;
};

// The window the listening indicator draws into. The controller decides what to show, where and
// when; the surface only paints and moves. The Qt panel implements it; unit tests record calls.
class IndicatorSurface {
public:
    virtual ~IndicatorSurface() = default;

    // The natural width of `text` in the panel's label font, in device-independent pixels.
    virtual double textWidth(const std::string& text) = 0;

    // Paints the dot, the text and (when the appearance says so) the level bars at `layout`.
    virtual void draw(const IndicatorAppearance& appearance, const IndicatorLayout& layout) = 0;

    // New bar heights, oldest first, each 0 to 1.
    virtual void drawLevels(const std::array<double, LevelMeter::kBars>& history) = 0;

    // The screens, the primary first; empty when none is known.
    virtual std::vector<IndicatorScreen> screens() = 0;
    // The mouse pointer in the same geometry.
    virtual Point mousePosition() = 0;

    // Moves the panel to `frame` (y-up, device pixels).
    virtual void place(const Rect& frame) = 0;
    // Puts the panel on screen above other windows without taking the keyboard focus.
    virtual void showWithoutActivating() = 0;
    virtual void hide() = 0;
};

}  // namespace korvane
