#pragma once

#include <QRect>

#include <ostream>

// Failure messages show Qt's rectangles as "x,y width×height". Qt's own namespace, where
// GoogleTest looks for the printer.
inline void PrintTo(const QRect& rect, std::ostream* out)
{
    *out << rect.x() << "," << rect.y() << " " << rect.width() << "×" << rect.height();
}
