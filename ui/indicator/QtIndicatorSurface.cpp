#include "ui/indicator/QtIndicatorSurface.h"

#include "ui/indicator/X11PanelHints.h"

#include <QCursor>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace korvane {

namespace {

// Qt keeps each screen's top-left corner in device pixels and scales only the distances from it
// (QScreen::geometry() of a 2x screen at 1920,0 is 1920,0 960x540), so a point converts relative
// to the corner of the screen it lies on.
QPointF toDevicePixels(const QScreen& screen, QPointF point)
{
    const QPointF origin = screen.geometry().topLeft();
    return origin + (point - origin) * screen.devicePixelRatio();
}

QPointF fromDevicePixels(const QScreen& screen, QPointF point)
{
    const QPointF origin = screen.geometry().topLeft();
    return origin + (point - origin) / screen.devicePixelRatio();
}

Rect devicePixels(const QScreen& screen, const QRect& rect)
{
    const QPointF topLeft = toDevicePixels(screen, rect.topLeft());
    const double ratio = screen.devicePixelRatio();
    return {topLeft.x(), topLeft.y(), rect.width() * ratio, rect.height() * ratio};
}

// The screens primary first, as the placement logic expects.
QList<QScreen*> orderedScreens()
{
    QList<QScreen*> screens;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr) {
        return screens;
    }
    screens << primary;
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary) {
            screens << screen;
        }
    }
    return screens;
}

Rect primaryDevicePixels()
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary != nullptr ? devicePixels(*primary, primary->geometry()) : Rect{};
}

// A y-down device-pixel point back into y-up geometry and the other way round; the primary
// screen's bottom-left corner is the origin of y-up geometry.
Point toYUp(QPointF yDown, const Rect& primary)
{
    return {yDown.x() - primary.x, primary.maxY() - yDown.y()};
}

}  // namespace

QtIndicatorSurface::QtIndicatorSurface() : panel_(std::make_unique<IndicatorPanel>(X11PanelHints::compositorRunning()))
{
}

QtIndicatorSurface::~QtIndicatorSurface() = default;

double QtIndicatorSurface::textWidth(const std::string& text)
{
    return QFontMetricsF(IndicatorPanel::labelFont()).horizontalAdvance(QString::fromStdString(text));
}

void QtIndicatorSurface::draw(const IndicatorAppearance& appearance, const IndicatorLayout& layout)
{
    IndicatorPanel::Content content = panel_->content();
    content.appearance = appearance;
    content.layout = layout;
    panel_->setContent(content);
}

void QtIndicatorSurface::drawLevels(const std::array<double, LevelMeter::kBars>& history)
{
    panel_->setHistory(history);
}

std::vector<IndicatorScreen> QtIndicatorSurface::screens()
{
    std::vector<IndicatorScreen> screens;
    const Rect primary = primaryDevicePixels();
    for (const QScreen* screen : orderedScreens()) {
        IndicatorScreen area;
        area.area.frame = fromDesktopCoordinates(devicePixels(*screen, screen->geometry()), primary);
        area.area.visibleFrame = fromDesktopCoordinates(devicePixels(*screen, screen->availableGeometry()), primary);
        area.pixelRatio = screen->devicePixelRatio();
        screens.push_back(area);
    }
    return screens;
}

Point QtIndicatorSurface::mousePosition()
{
    const QPoint position = QCursor::pos();
    const QScreen* screen = QGuiApplication::screenAt(position);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return {};
    }
    return toYUp(toDevicePixels(*screen, position), primaryDevicePixels());
}

void QtIndicatorSurface::place(const Rect& frame)
{
    const Rect primary = primaryDevicePixels();
    const QPointF topLeft(primary.x + frame.x, primary.maxY() - frame.maxY());
    const QPointF centre = topLeft + QPointF(frame.width / 2, frame.height / 2);
    const QScreen* target = nullptr;
    for (const QScreen* screen : orderedScreens()) {
        const Rect device = devicePixels(*screen, screen->geometry());
        if (centre.x() >= device.x && centre.x() < device.maxX() && centre.y() >= device.y &&
            centre.y() < device.maxY()) {
            target = screen;
            break;
        }
    }
    if (target == nullptr) {
        target = QGuiApplication::primaryScreen();
    }
    if (target == nullptr) {
        return;
    }
    const double ratio = target->devicePixelRatio();
    const QPointF logical = fromDevicePixels(*target, topLeft);
    panel_->setGeometry(static_cast<int>(std::lround(logical.x())), static_cast<int>(std::lround(logical.y())),
                        static_cast<int>(std::lround(frame.width / ratio)),
                        static_cast<int>(std::lround(frame.height / ratio)));
}

void QtIndicatorSurface::showWithoutActivating()
{
    // On Wayland's own platform the panel would be an ordinary toplevel, which the compositor
    // places among the user's windows and gives the keyboard focus: the target would lose its
    // field. The tray's icon and status line say the same there.
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        return;
    }
    if (!panel_->isVisible()) {
        // A compositor may have started or stopped since the panel was built; its kind of
        // background is fixed when the native window is made, so build it afresh.
        const bool translucent = X11PanelHints::compositorRunning();
        if (translucent != panel_->translucent()) {
            auto rebuilt = std::make_unique<IndicatorPanel>(translucent);
            rebuilt->setContent(panel_->content());
            rebuilt->setGeometry(panel_->geometry());
            panel_ = std::move(rebuilt);
        }
        panel_->show();
    }
    // Windows mapped or raised since the panel came up may cover it; no window manager raises it.
    panel_->raise();
}

void QtIndicatorSurface::hide()
{
    panel_->hide();
}

}  // namespace korvane
