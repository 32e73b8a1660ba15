#include "tests/ui/desktop/WidgetDesktop.h"

#include "tests/support/desktop/DesktopSession.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace korvane::testing {

namespace {

class WidgetDesktopEnvironment final : public ::testing::Environment {
public:
    void SetUp() override
    {
        DesktopSession::Options options;
        options.accessibilityBus = false;
        session_ = std::make_unique<DesktopSession>(options);
        // Pixel checks need one device pixel per pixel and the xcb platform, whatever the
        // developer's own session says.
        qputenv("QT_QPA_PLATFORM", "xcb");
        qputenv("QT_SCALE_FACTOR", "1");
        qunsetenv("QT_SCREEN_SCALE_FACTORS");
        static int argc = 1;
        static char name[] = "korvane-ui-desktop-test";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override
    {
        application_.reset();
        session_.reset();
    }

private:
    std::unique_ptr<DesktopSession> session_;
    std::unique_ptr<QApplication> application_;
};

::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new WidgetDesktopEnvironment);

}  // namespace

QImage grabScreen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}

bool near(QColor actual, QColor expected, int tolerance)
{
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

std::string describe(const QImage& image, QPoint point)
{
    const QColor colour = image.pixelColor(point);
    return "(" + std::to_string(point.x()) + "," + std::to_string(point.y()) + ") is rgb(" +
           std::to_string(colour.red()) + "," + std::to_string(colour.green()) + "," + std::to_string(colour.blue()) +
           ")";
}

}  // namespace korvane::testing
