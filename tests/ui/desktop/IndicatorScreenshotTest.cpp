// SPDX-License-Identifier: MIT
// The listening indicator on a real X server with a window manager: where the panel lands beside a
// focused field of another application, what it shows on screen for recording (with a steady
// level) and for a copied transcript, that it stays on screen on every desktop and over a focused
// full-screen window, that clicks on it reach the window beneath, and that the user's window keeps
// the keyboard focus throughout.
#include "platform/linux/QtMainQueue.h"
#include "tests/platform/desktop/DesktopFixture.h"
#include "tests/support/desktop/FieldsClient.h"
#include "tests/support/desktop/FullScreenClient.h"
#include "tests/support/process/Programs.h"
#include "tests/ui/desktop/WidgetDesktop.h"
#include "ui/indicator/ListeningIndicatorController.h"
#include "ui/indicator/QtIndicatorSurface.h"

#include <QGuiApplication>
#include <QObject>
#include <QWindow>

#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace korvane {
namespace {

using namespace std::chrono_literals;
using testing::describe;
using testing::FieldsClient;
using testing::FullScreenClient;
using testing::near;
using Kind = IndicatorChange::Kind;

const QColor kBackground(30, 30, 32);

// Runs the event loop for `duration`, so timers fire and windows repaint.
void settle(std::chrono::milliseconds duration)
{
    testing::processEventsUntil([] { return false; }, duration);
}

std::string activeWindow()
{
    return testing::xdotool({"getactivewindow"});
}

TEST(IndicatorScreenshot, PanelShowsClearOfTheFocusedFieldWithoutTakingTheFocus)
{
    // A field of another application over the panel's default spot, 130 above the bottom edge.
    FieldsClient client(FieldsClient::Toolkit::qt);
    testing::xdotool({"windowmove", "--sync", std::to_string(client.window()), "380", "560"});
    client.activate();
    client.focus("single");
    const FieldsClient::Geometry field = client.geometry("single");
    ASSERT_LT(field.y, 800 - 130 + 12) << "the field must cover the default spot for this test";
    ASSERT_GT(field.y + field.height, 800 - 130 - 46 - 12) << "the field must cover the default spot";
    const std::string focusedWindow = activeWindow();

    QObject context;
    auto queue = std::make_shared<QtMainQueue>(&context);
    QtIndicatorSurface* surface = nullptr;
    ListeningIndicatorController indicator(queue, [&surface] {
        auto made = std::make_unique<QtIndicatorSurface>();
        surface = made.get();
        return made;
    });
    indicator.setLevelProvider([] { return 1.0F; });
    // The frame as the focus inspector gives it: y-up from the bottom of the 800-high screen.
    indicator.setFocusedFrameProvider([&field]() -> std::optional<Rect> {
        return fromDesktopCoordinates(Rect{double(field.x), double(field.y), double(field.width), double(field.height)},
                                      Rect{0, 0, 1280, 800});
    });
    const QImage before = testing::grabScreen();

    indicator.show({Kind::recording, {}});
    ASSERT_NE(surface, nullptr);
    IndicatorPanel& panel = surface->panel();
    ASSERT_TRUE(testing::processEventsUntil([&] { return panel.windowHandle() && panel.windowHandle()->isExposed(); }));
    settle(1200ms);  // more than 22 meter frames: every bar shows the full level

    // Centred on the screen, just above the field with a 12-pixel margin.
    const QRect frame = panel.geometry();
    EXPECT_EQ(frame, QRect((1280 - 268) / 2, field.y - 12 - 46, 268, 46));
    const QImage recording = testing::grabScreen();
    const QPoint at = frame.topLeft();
    EXPECT_TRUE(near(recording.pixelColor(at + QPoint(18, 23)), QColor(255, 69, 58)))
        << "the red dot: " << describe(recording, at + QPoint(18, 23));
    EXPECT_TRUE(near(recording.pixelColor(at + QPoint(120, 40)), kBackground))
        << "the background: " << describe(recording, at + QPoint(120, 40));
    // The newest bar, 3 wide ending 16 from the right edge, in the dot's colour at 85 % opacity.
    EXPECT_TRUE(near(recording.pixelColor(at + QPoint(268 - 18, 23)), QColor(221, 63, 54), 12))
        << "the newest level bar: " << describe(recording, at + QPoint(268 - 18, 23));
    EXPECT_TRUE(near(recording.pixelColor(at + QPoint(268 - 18, 11)), QColor(221, 63, 54), 12))
        << "a full level fills the bar to 9 from the top: " << describe(recording, at + QPoint(268 - 18, 11));
    // No compositor runs here, so the window is shaped: its corner shows what was there before.
    EXPECT_EQ(recording.pixelColor(at + QPoint(1, 1)), before.pixelColor(at + QPoint(1, 1)))
        << describe(recording, at + QPoint(1, 1));

    EXPECT_EQ(activeWindow(), focusedWindow) << "the indicator took the focus";
    indicator.show({Kind::copiedToClipboard, "Transcript copied — press Ctrl+V"});
    settle(300ms);
    const QRect copiedFrame = panel.geometry();
    EXPECT_EQ(copiedFrame.topLeft().y(), frame.y()) << "the panel stays where it was between states";
    EXPECT_GE(copiedFrame.width(), 268);
    EXPECT_LT(copiedFrame.width(), 400) << "a short message makes a short panel";
    EXPECT_EQ(copiedFrame.x(), std::lround((1280 - copiedFrame.width()) / 2.0));
    EXPECT_EQ(copiedFrame.height(), 46);
    const QImage copied = testing::grabScreen();
    const QPoint copiedAt = copiedFrame.topLeft();
    EXPECT_TRUE(near(copied.pixelColor(copiedAt + QPoint(18, 23)), QColor(255, 214, 10)))
        << "the yellow dot: " << describe(copied, copiedAt + QPoint(18, 23));
    EXPECT_TRUE(near(copied.pixelColor(copiedAt + QPoint(copiedFrame.width() - 18, 23)), kBackground))
        << "no level bars: " << describe(copied, copiedAt + QPoint(copiedFrame.width() - 18, 23));
    int lightPixels = 0;
    for (int x = 34; x < copiedFrame.width() - 20; ++x) {
        for (int y = 13; y < 33; ++y) {
            lightPixels += copied.pixelColor(copiedAt + QPoint(x, y)).lightness() > 160 ? 1 : 0;
        }
    }
    EXPECT_GT(lightPixels, 200) << "the message is written in light text";
    EXPECT_EQ(activeWindow(), focusedWindow) << "the indicator took the focus";

    // The window manager hides the windows of the desktop left behind; the panel stays.
    testing::xdotool({"set_desktop", "1"});
    ASSERT_TRUE(testing::processEventsUntil([] { return testing::xdotool({"get_desktop"}) == "1\n"; }));
    settle(300ms);
    const QImage otherDesktop = testing::grabScreen();
    EXPECT_TRUE(near(otherDesktop.pixelColor(copiedAt + QPoint(18, 23)), QColor(255, 214, 10)))
        << "on another desktop: " << describe(otherDesktop, copiedAt + QPoint(18, 23));
    testing::xdotool({"set_desktop", "0"});

    indicator.hide();
    EXPECT_TRUE(testing::processEventsUntil([&] { return !panel.isVisible(); }));
}

// The indicator as the shell drives it, drawing on the Qt panel (built on the first show).
struct QtIndicator {
    QObject context;
    std::shared_ptr<QtMainQueue> queue = std::make_shared<QtMainQueue>(&context);
    QtIndicatorSurface* surface = nullptr;
    ListeningIndicatorController controller{queue, [this] {
                                                auto made = std::make_unique<QtIndicatorSurface>();
                                                surface = made.get();
                                                return made;
                                            }};

    // Shows `kind` and waits until the panel is exposed; its frame in root coordinates.
    QRect show(Kind kind)
    {
        controller.show({kind, {}});
        EXPECT_TRUE(testing::processEventsUntil(
            [&] { return surface->panel().windowHandle() && surface->panel().windowHandle()->isExposed(); }));
        return surface->panel().geometry();
    }
};

// Waits until the screen shows `colour` at `point`: painting lags behind exposure under load.
bool screenShows(QPoint point, QColor colour)
{
    return testing::processEventsUntil([&] { return near(testing::grabScreen().pixelColor(point), colour); });
}

// Where the X server sends key presses now.
xcb_window_t inputFocus()
{
    xcb_connection_t* connection = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&std::free)> reply(
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr), &std::free);
    return reply ? reply->focus : static_cast<xcb_window_t>(XCB_WINDOW_NONE);
}

// Full-screen editors and browsers: the window manager stacks a focused full-screen window above
// every keep-above window, and the panel must show over it all the same.
TEST(IndicatorScreenshot, PanelShowsOverAFocusedFullScreenWindowWithoutTakingTheFocus)
{
    FullScreenClient fullScreen;
    fullScreen.activate();
    const QColor clientColour = QColor::fromRgb(FullScreenClient::kColour);
    ASSERT_TRUE(screenShows(QPoint(640, 700), clientColour)) << "the full-screen window covers the screen";

    QtIndicator indicator;
    const QRect frame = indicator.show(Kind::recording);
    const QPoint background = frame.topLeft() + QPoint(120, 40);
    EXPECT_TRUE(screenShows(background, kBackground)) << describe(testing::grabScreen(), background);
    EXPECT_EQ(inputFocus(), fullScreen.window()) << "the indicator took the keyboard focus";
    EXPECT_EQ(std::stoul(activeWindow()), fullScreen.window()) << "the indicator took the focus";

    // Activated again, the window manager raises the full-screen window to the top of its stack.
    fullScreen.activate();
    settle(300ms);
    const QImage raised = testing::grabScreen();
    EXPECT_TRUE(near(raised.pixelColor(background), kBackground)) << describe(raised, background);
    EXPECT_EQ(inputFocus(), fullScreen.window());
    indicator.controller.hide();
}

TEST(IndicatorScreenshot, ClickOnThePanelReachesTheWindowBeneath)
{
    FullScreenClient fullScreen;
    fullScreen.activate();
    QtIndicator indicator;
    const QRect frame = indicator.show(Kind::recording);
    const QPoint spot = frame.topLeft() + QPoint(120, 40);
    ASSERT_TRUE(screenShows(spot, kBackground))
        << "the panel covers the spot: " << describe(testing::grabScreen(), spot);

    testing::xdotool({"mousemove", "--sync", std::to_string(spot.x()), std::to_string(spot.y())});
    testing::xdotool({"click", "1"});
    const std::optional<FullScreenClient::Press> press = fullScreen.nextPress(5s);
    ASSERT_TRUE(press) << "the click stopped at the panel";
    EXPECT_EQ(press->button, 1);
    EXPECT_EQ(QPoint(press->x, press->y), spot);
    indicator.controller.hide();
}

// Plays a compositing manager as far as the panel can tell: owns the _NET_WM_CM_S0 selection.
class CompositorSelection {
public:
    CompositorSelection()
        : connection_(qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection()),
          window_(xcb_generate_id(connection_))
    {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        const char name[] = "_NET_WM_CM_S0";
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, sizeof name - 1, name), nullptr);
        xcb_set_selection_owner(connection_, window_, reply->atom, XCB_CURRENT_TIME);
        std::free(reply);
        xcb_flush(connection_);
    }
    ~CompositorSelection()
    {
        xcb_destroy_window(connection_, window_);  // the selection goes with its owner
        xcb_flush(connection_);
    }

private:
    xcb_connection_t* connection_;
    xcb_window_t window_;
};

std::string windowDepth(const QWidget& widget)
{
    const std::string info = testing::runProgram({"xwininfo", "-id", std::to_string(widget.winId())});
    const auto at = info.find("Depth: ");
    return at == std::string::npos ? info : info.substr(at + 7, info.find('\n', at) - at - 7);
}

TEST(IndicatorScreenshot, PanelTurnsTranslucentWhileACompositorRuns)
{
    QObject context;
    auto queue = std::make_shared<QtMainQueue>(&context);
    QtIndicatorSurface* surface = nullptr;
    ListeningIndicatorController indicator(queue, [&surface] {
        auto made = std::make_unique<QtIndicatorSurface>();
        surface = made.get();
        return made;
    });
    const auto showAndWait = [&] {
        indicator.show({Kind::transcribing, {}});
        return testing::processEventsUntil(
            [&] { return surface->panel().windowHandle() && surface->panel().windowHandle()->isExposed(); });
    };

    const auto windowState = [&] {
        const std::string id = std::to_string(surface->panel().winId());
        return testing::runProgram({"xwininfo", "-id", id}) + testing::runProgram({"xprop", "-id", id}) +
               testing::runProgram({"xwininfo", "-root", "-tree"}) + "visible " +
               std::to_string(surface->panel().isVisible());
    };

    ASSERT_TRUE(showAndWait()) << windowState();
    EXPECT_FALSE(surface->panel().translucent());
    EXPECT_EQ(windowDepth(surface->panel()), "24") << "an opaque window, shaped to the pill";
    indicator.hide();
    {
        const CompositorSelection compositor;
        ASSERT_TRUE(showAndWait());
        EXPECT_TRUE(surface->panel().translucent());
        EXPECT_EQ(windowDepth(surface->panel()), "32") << "a window with alpha, for the compositor to blend";
        EXPECT_EQ(surface->panel().geometry().size(), QSize(268, 46));
        indicator.hide();
    }
    ASSERT_TRUE(showAndWait());
    EXPECT_FALSE(surface->panel().translucent()) << "back to the shaped panel once the compositor is gone";
    indicator.hide();
}

}  // namespace
}  // namespace korvane
