#include "platform/linux/QtScreens.h"

#include <QGuiApplication>
#include <QScreen>

namespace korvane {

namespace {

Rect devicePixels(const QScreen& screen)
{
    // Accessibility extents and X11 coordinates are device pixels. Qt keeps a screen's top-left
    // corner in device pixels and scales only its size (a 2x screen at 1920,0 is 1920,0 960x540),
    // so only the size goes back to device pixels (to within a pixel at fractional ratios, where
    // Qt rounded the scaled size).
    const double ratio = screen.devicePixelRatio();
    const QRect geometry = screen.geometry();
    return {double(geometry.x()), double(geometry.y()), geometry.width() * ratio, geometry.height() * ratio};
}

}  // namespace

std::vector<Rect> desktopScreens()
{
    std::vector<Rect> screens;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return screens;
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr) {
        return screens;
    }
    screens.push_back(devicePixels(*primary));
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary) {
            screens.push_back(devicePixels(*screen));
        }
    }
    return screens;
}

}  // namespace korvane
