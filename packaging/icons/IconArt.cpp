#include "packaging/icons/IconArt.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <cstdio>

namespace korvane {

namespace {

using Kind = IconShape::Kind;

constexpr IconColour white{255, 255, 255, 1.0};
constexpr IconColour indigo{63, 81, 181, 1.0};
constexpr IconColour deepIndigo{40, 53, 147, 1.0};

IconShape roundedRect(double x, double y, double width, double height, double radius, IconColour fill)
{
    IconShape shape;
    shape.kind = Kind::roundedRect;
    shape.x = x;
    shape.y = y;
    shape.width = width;
    shape.height = height;
    shape.radius = radius;
    shape.fill = fill;
    return shape;
}

IconShape circle(double x, double y, double radius, std::optional<IconColour> fill, std::optional<IconColour> stroke,
                 double strokeWidth)
{
    IconShape shape;
    shape.kind = Kind::circle;
    shape.x = x;
    shape.y = y;
    shape.radius = radius;
    shape.fill = fill;
    shape.stroke = stroke;
    shape.strokeWidth = strokeWidth;
    return shape;
}

IconShape line(double x, double y, double x2, double y2, IconColour stroke, double strokeWidth)
{
    IconShape shape;
    shape.kind = Kind::line;
    shape.x = x;
    shape.y = y;
    shape.x2 = x2;
    shape.y2 = y2;
    shape.stroke = stroke;
    shape.strokeWidth = strokeWidth;
    return shape;
}

IconShape lowerArc(double x, double y, double radius, IconColour stroke, double strokeWidth)
{
    IconShape shape;
    shape.kind = Kind::lowerArc;
    shape.x = x;
    shape.y = y;
    shape.radius = radius;
    shape.stroke = stroke;
    shape.strokeWidth = strokeWidth;
    return shape;
}

// Shortest decimal text of a coordinate ("64", "12.5").
std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

std::string hex(IconColour colour)
{
    char text[8];
    std::snprintf(text, sizeof(text), "#%02x%02x%02x", colour.red, colour.green, colour.blue);
    return text;
}

std::string paintAttributes(const IconShape& shape)
{
    std::string text;
    if (shape.fill) {
        text += " fill=\"" + hex(*shape.fill) + "\"";
        if (shape.fill->opacity < 1.0) {
            text += " fill-opacity=\"" + number(shape.fill->opacity) + "\"";
        }
    } else {
        text += " fill=\"none\"";
    }
    if (shape.stroke) {
        text += " stroke=\"" + hex(*shape.stroke) + "\" stroke-width=\"" + number(shape.strokeWidth) + "\"";
        if (shape.stroke->opacity < 1.0) {
            text += " stroke-opacity=\"" + number(shape.stroke->opacity) + "\"";
        }
        if (shape.kind == Kind::line || shape.kind == Kind::lowerArc) {
            text += " stroke-linecap=\"round\"";
        }
    }
    return text;
}

QColor qtColour(IconColour colour)
{
    QColor result(colour.red, colour.green, colour.blue);
    result.setAlphaF(static_cast<float>(colour.opacity));
    return result;
}

IconArt stateIcon(const std::string& state, IconColour colour)
{
    // The dot the tray menu draws: a filled dot with a light ring, readable on light and dark
    // panels, and a thin dark outline.
    IconArt art{"korvane-" + state, "status", 64, {}};
    art.shapes.push_back(circle(32, 32, 26, colour, IconColour{255, 255, 255, 220.0 / 255.0}, 6));
    art.shapes.push_back(circle(32, 32, 30, std::nullopt, IconColour{0, 0, 0, 160.0 / 255.0}, 2));
    return art;
}

}  // namespace

IconArt applicationIcon()
{
    IconArt art{"korvane", "apps", 128, {}};
    // The tile.
    art.shapes.push_back(roundedRect(8, 8, 112, 112, 26, indigo));
    // The microphone: a pill-shaped head with three grille slots, the cradle, the stand and its foot.
    art.shapes.push_back(roundedRect(46, 18, 36, 60, 18, white));
    for (const double slot : {36.0, 47.0, 58.0}) {
        art.shapes.push_back(line(56, slot, 72, slot, deepIndigo, 4));
    }
    art.shapes.push_back(lowerArc(64, 56, 30, white, 8));
    art.shapes.push_back(line(64, 86, 64, 102, white, 8));
    art.shapes.push_back(line(48, 104, 80, 104, white, 8));
    return art;
}

std::vector<IconArt> trayStateIcons()
{
    // The colours of the tray menu's drawn icon for each kind of state.
    return {
        stateIcon("idle", IconColour{142, 142, 147, 1.0}),     stateIcon("recording", IconColour{255, 69, 58, 1.0}),
        stateIcon("busy", IconColour{255, 159, 10, 1.0}),      stateIcon("copied", IconColour{10, 132, 255, 1.0}),
        stateIcon("attention", IconColour{255, 214, 10, 1.0}),
    };
}

std::string toSvg(const IconArt& art)
{
    const std::string side = number(art.canvas);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + side + "\" height=\"" + side + "\" viewBox=\"0 0 " +
           side + " " + side + "\">\n";
    for (const IconShape& shape : art.shapes) {
        switch (shape.kind) {
        case Kind::roundedRect:
            svg += "  <rect x=\"" + number(shape.x) + "\" y=\"" + number(shape.y) + "\" width=\"" +
                   number(shape.width) + "\" height=\"" + number(shape.height) + "\" rx=\"" + number(shape.radius) +
                   "\" ry=\"" + number(shape.radius) + "\"";
            break;
        case Kind::circle:
            svg += "  <circle cx=\"" + number(shape.x) + "\" cy=\"" + number(shape.y) + "\" r=\"" +
                   number(shape.radius) + "\"";
            break;
        case Kind::line:
            svg += "  <line x1=\"" + number(shape.x) + "\" y1=\"" + number(shape.y) + "\" x2=\"" + number(shape.x2) +
                   "\" y2=\"" + number(shape.y2) + "\"";
            break;
        case Kind::lowerArc:
            // From the left end to the right end through the bottom: counter-clockwise on screen,
            // which is sweep flag 0 in SVG's y-down space.
            svg += "  <path d=\"M " + number(shape.x - shape.radius) + " " + number(shape.y) + " A " +
                   number(shape.radius) + " " + number(shape.radius) + " 0 0 0 " + number(shape.x + shape.radius) +
                   " " + number(shape.y) + "\"";
            break;
        }
        svg += paintAttributes(shape) + "/>\n";
    }
    svg += "</svg>\n";
    return svg;
}

void paint(const IconArt& art, QPainter& painter, int side)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / art.canvas, side / art.canvas);
    for (const IconShape& shape : art.shapes) {
        painter.setBrush(shape.fill ? QBrush(qtColour(*shape.fill)) : QBrush(Qt::NoBrush));
        if (shape.stroke) {
            painter.setPen(QPen(qtColour(*shape.stroke), shape.strokeWidth, Qt::SolidLine, Qt::RoundCap));
        } else {
            painter.setPen(Qt::NoPen);
        }
        switch (shape.kind) {
        case Kind::roundedRect:
            painter.drawRoundedRect(QRectF(shape.x, shape.y, shape.width, shape.height), shape.radius, shape.radius);
            break;
        case Kind::circle:
            painter.drawEllipse(QPointF(shape.x, shape.y), shape.radius, shape.radius);
            break;
        case Kind::line:
            painter.drawLine(QPointF(shape.x, shape.y), QPointF(shape.x2, shape.y2));
            break;
        case Kind::lowerArc: {
            // Qt counts angles counter-clockwise on screen from three o'clock: from nine o'clock,
            // half a turn through six o'clock.
            const QRectF bounds(shape.x - shape.radius, shape.y - shape.radius, 2 * shape.radius, 2 * shape.radius);
            QPainterPath path;
            path.arcMoveTo(bounds, 180);
            path.arcTo(bounds, 180, 180);
            painter.drawPath(path);
            break;
        }
        }
    }
    painter.restore();
}

}  // namespace korvane
