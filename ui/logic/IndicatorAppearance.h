#pragma once

#include "core/dictation/StatusPresentation.h"

#include <cstdint>
#include <string>

namespace korvane {

// A colour as 8-bit red, green, blue and alpha.
struct Rgba {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 255;

    friend bool operator==(const Rgba&, const Rgba&) = default;
};

// The indicator's palette. The panel is a dark translucent pill, so ordinary text is light.
namespace indicator_colours {
inline constexpr Rgba red{255, 69, 58, 255};
inline constexpr Rgba orange{255, 159, 10, 255};
inline constexpr Rgba yellow{255, 214, 10, 255};
inline constexpr Rgba blue{10, 132, 255, 255};
inline constexpr Rgba label{255, 255, 255, 217};
}  // namespace indicator_colours

// How the indicator draws one of its visible states.
struct IndicatorAppearance {
    Rgba dotColour;
    std::string text;
    Rgba textColour;
    bool showsLevels = false;

    friend bool operator==(const IndicatorAppearance&, const IndicatorAppearance&) = default;
};

// The appearance of `state`; for hidden there is nothing to draw and the result is meaningless.
IndicatorAppearance indicatorAppearance(const IndicatorChange& state);

// Panel geometry, in device-independent pixels.
inline constexpr double kIndicatorPanelHeight = 46;
inline constexpr double kIndicatorMinWidth = 268;
inline constexpr double kIndicatorMaxWidth = 520;

// Where the label goes inside the panel (y up from the panel's bottom edge).
struct IndicatorLayout {
    double panelWidth = kIndicatorMinWidth;
    double labelX = 34;
    double labelY = 13;
    double labelWidth = 0;
    double labelHeight = 20;

    friend bool operator==(const IndicatorLayout&, const IndicatorLayout&) = default;
};

// Sizes the panel around a label whose natural width is `textWidth`, leaving room on the right for
// the level bars when they show. A text too long for the widest panel is cut at the label's end.
IndicatorLayout indicatorLayout(double textWidth, bool showsLevels);

}  // namespace korvane
