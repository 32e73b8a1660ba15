// SPDX-License-Identifier: MIT
// The tray menu as it pops up on a real X server: at the point asked, at its own size, on top of
// everything, with the items of a running dictation.
#include "app/StatusMenu.h"
#include "tests/platform/desktop/DesktopFixture.h"
#include "tests/support/qt/QtPrinting.h"
#include "tests/ui/desktop/WidgetDesktop.h"

#include <QAction>
#include <QMenu>
#include <QWindow>

#include <gtest/gtest.h>

namespace korvane {
namespace {

using namespace std::chrono_literals;
using testing::describe;
using testing::near;

TEST(TrayMenuScreenshot, PopsUpWhereAskedWithTheItemsOfARunningDictation)
{
    StatusMenu::Actions actions;
    actions.toggleDictation = [] {};
    actions.lastTranscript = [] { return std::optional<std::string>("earlier words"); };
    actions.showSettings = [] {};
    actions.quit = [] {};
    StatusMenu status("Ctrl+Shift+Space", std::move(actions), [](std::string_view) {});
    status.handleStatus(DictationStatus::ready("small"), " — press Ctrl+Shift+Space");
    status.handleStatus(DictationStatus::recording(), " — press Ctrl+Shift+Space");

    QStringList items;
    for (const QAction* action : status.menu()->actions()) {
        if (!action->isSeparator()) {
            items << action->text();
        }
    }
    EXPECT_EQ(items, (QStringList{"Status: Recording...", "Stop Dictation", "Cancel Dictation", "Copy Last Transcript",
                                  "Settings…", "Quit Korvane"}));

    QMenu& menu = *status.menu();
    const QImage before = testing::grabScreen();
    menu.popup(QPoint(200, 150));
    ASSERT_TRUE(testing::processEventsUntil([&] { return menu.windowHandle() && menu.windowHandle()->isExposed(); }));
    testing::processEventsUntil([] { return false; }, 300ms);

    const QRect frame = menu.geometry();
    EXPECT_EQ(frame.topLeft(), QPoint(200, 150));
    EXPECT_EQ(frame.size(), menu.sizeHint());
    EXPECT_GT(frame.width(), 150);
    EXPECT_GT(frame.height(), 5 * 20) << "five items and two separators";

    // The screen shows the menu as the menu draws itself: nothing covers it and it is all there.
    const QImage screen = testing::grabScreen();
    const QImage drawn = menu.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(drawn.size(), frame.size());
    int differing = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            differing += near(screen.pixelColor(frame.topLeft() + QPoint(x, y)), drawn.pixelColor(x, y), 2) ? 0 : 1;
        }
    }
    EXPECT_LT(differing, drawn.width() * drawn.height() / 100) << "pixels that differ from the menu's own drawing";

    // Its background is the palette's base colour (the style's menu panel), and it changed what was
    // on the screen there.
    const QPoint margin = frame.topLeft() + QPoint(frame.width() - 4, frame.height() / 2);
    EXPECT_TRUE(near(screen.pixelColor(margin), menu.palette().color(QPalette::Base), 12)) << describe(screen, margin);
    EXPECT_NE(screen.pixelColor(margin), before.pixelColor(margin));

    // The text of each line is drawn: dark pixels in the upper rows where the items are.
    int dark = 0;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width() / 2; ++x) {
            dark += screen.pixelColor(frame.topLeft() + QPoint(x, y)).lightness() < 100 ? 1 : 0;
        }
    }
    EXPECT_GT(dark, 300) << "item texts on the screen";
    menu.hide();
}

}  // namespace
}  // namespace korvane
