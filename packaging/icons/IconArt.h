#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QPainter;

namespace korvane {

// An sRGB colour with its opacity (0 to 1).
struct IconColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    double opacity = 1.0;
};

// One element of an icon, in the icon's own square coordinate space (y down, as in SVG).
struct IconShape {
    enum class Kind {
        roundedRect,  // x, y, width, height, radius
        circle,       // centre (x, y), radius
        line,         // from (x, y) to (x2, y2), round caps
        lowerArc,     // the lower half of the circle around (x, y) with `radius`, round caps
    };
    Kind kind = Kind::circle;
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    double x2 = 0;
    double y2 = 0;
    double radius = 0;
    std::optional<IconColour> fill;
    std::optional<IconColour> stroke;
    double strokeWidth = 0;
};

// An icon as one drawing that both the SVG file and the PNG sizes are made from, so that they can
// never disagree.
struct IconArt {
    std::string name;     // the icon theme name, e.g. "korvane" or "korvane-recording"
    std::string context;  // the theme folder it belongs in: "apps" or "status"
    double canvas = 0;    // the side of the square coordinate space
    std::vector<IconShape> shapes;
};

// The application icon (a microphone on a rounded square) and the tray's state icons (a dot in the
// tray menu's colour for each state: idle, recording, busy, copied, attention).
IconArt applicationIcon();
std::vector<IconArt> trayStateIcons();

// The drawing as an SVG document.
std::string toSvg(const IconArt& art);
// Draws the drawing filling a square of `side` pixels at the painter's origin.
void paint(const IconArt& art, QPainter& painter, int side);

}  // namespace korvane
