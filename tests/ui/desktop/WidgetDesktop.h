#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>

#include <string>

namespace korvane::testing {

// The test binary's private desktop (Xvfb with openbox, 1280 × 800) with a QApplication on it,
// set up once for all its tests: widgets need a QApplication, which DesktopEnvironment does not
// make.

// What the X server shows now: the root window, every mapped window on it.
QImage grabScreen();

// True when each channel of `actual` is within `tolerance` of `expected`; anti-aliasing and the
// font rasteriser make exact equality brittle at edges, not at the spots the tests probe.
bool near(QColor actual, QColor expected, int tolerance = 8);

// The colour at `point` written out for failure messages.
std::string describe(const QImage& image, QPoint point);

}  // namespace korvane::testing
