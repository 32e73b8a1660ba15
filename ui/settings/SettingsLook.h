#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QWidget>

namespace korvane::settingslook {

// The settings window's colours and type: errors in red, notes and secondary text greyed from the
// palette's own text colour so they follow light and dark themes.

inline QColor errorRed()
{
    return QColor(0xda, 0x44, 0x53);
}

inline QColor secondaryText(const QPalette& palette)
{
    QColor colour = palette.color(QPalette::WindowText);
    colour.setAlphaF(0.6F);
    return colour;
}

inline QColor tertiaryText(const QPalette& palette)
{
    QColor colour = palette.color(QPalette::WindowText);
    colour.setAlphaF(0.4F);
    return colour;
}

inline void setTextColour(QWidget& widget, const QColor& colour)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget.setPalette(palette);
}

// The desktop's font scaled as a size in points relates to 13, the usual body size those sizes
// were chosen against (11 for notes, 30 for the big modifier glyphs).
inline QFont scaledFont(const QFont& base, double points, QFont::Weight weight = QFont::Normal)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * points / 13.0);
    font.setWeight(weight);
    return font;
}

}  // namespace korvane::settingslook
