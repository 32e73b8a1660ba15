#pragma once

#include "delivery/focus/ScreenGeometry.h"

#include <ostream>

namespace korvane {

// Failure messages show a rectangle as "x,y width×height".
inline void PrintTo(const Rect& rect, std::ostream* out)
{
    *out << rect.x << "," << rect.y << " " << rect.width << "×" << rect.height;
}

}  // namespace korvane
