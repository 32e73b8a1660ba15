#pragma once

#include <optional>
#include <vector>

namespace korvane {

// A rectangle in the geometry the placement and focus logic works in: origin at the bottom left of
// the primary screen, y growing upwards. Adapters convert from the y-down coordinates of X11 and Qt
// at their boundary (see fromTopLeftOrigin).
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    // True when the two share some area (touching edges do not count).
    bool intersects(const Rect& other) const;

    friend bool operator==(const Rect&, const Rect&) = default;
};

// Converts a rectangle given with its origin at the top left of the primary screen, y growing
// downwards (X11 and accessibility coordinates relative to the primary screen), into the y-up
// geometry, given the primary screen's frame in y-up geometry.
Rect fromTopLeftOrigin(double x, double y, double width, double height, const Rect& primaryScreen);

// Converts a y-down desktop rectangle (X11 root coordinates) into y-up geometry, given the primary
// screen's y-down rectangle: the primary screen's bottom-left corner becomes the origin.
Rect fromDesktopCoordinates(const Rect& yDown, const Rect& primaryYDown);

}  // namespace korvane
