#pragma once

#include "delivery/focus/ScreenGeometry.h"

#include <vector>

namespace korvane {

// The screens as Qt knows them, in X11 root coordinates (device pixels, y downwards), the primary
// screen first. Empty without a QGuiApplication or without screens. Main thread.
std::vector<Rect> desktopScreens();

}  // namespace korvane
