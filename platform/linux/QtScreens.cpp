#include "platform/linux/QtScreens.h"

#include <QGuiApplication>
#include <QScreen>

namespace korvane {

namespace {

Rect devicePixels(const QScreen& screen)
{
    // Accessibility extents and X11 coordinates are device pixels; Qt's geometry is scaled.
    const double ratio = screen.devicePixelRatio();
    const QRect geometry = screen.geometry();
    return {geometry.x() * ratio, geometry.y() * ratio, geometry.width() * ratio, geometry.height() * ratio};
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
