#pragma once

#include <QRect>
#include <QString>

#include <ostream>

// Failure messages show Qt's texts as text and its rectangles as "x,y width×height", not as bytes.
// Qt's own namespace (the global one), where GoogleTest looks for the printers.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QRect& rect, std::ostream* out)
{
    *out << rect.x() << "," << rect.y() << " " << rect.width() << "×" << rect.height();
}
