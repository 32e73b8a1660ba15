// SPDX-License-Identifier: MIT
// The tray menu as the user sees it: its items (with no key equivalents, since a tray menu never
// has the keyboard focus) after a sequence of statuses, Copy Last Transcript,
// and a desktop without a tray host (offscreen).
#include "app/StatusMenu.h"
#include "tests/support/RecordingLog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

namespace korvane {
namespace {

using ::testing::ElementsAre;

QApplication& application()
{
    static int argc = 1;
    static char name[] = "status-menu-test";
    static char* argv[] = {name, nullptr};
    static QApplication instance(argc, argv);
    return instance;
}

QStringList itemsOf(const QMenu& menu)
{
    QStringList items;
    for (const QAction* action : menu.actions()) {
        if (!action->isVisible()) {
            continue;
        }
        // A key equivalent would show beside the item's text, as " [Ctrl+Q]".
        const QString shortcut = action->shortcut().isEmpty() ? QString() : " [" + action->shortcut().toString() + "]";
        items << (action->isSeparator() ? QString("---")
                                        : action->text() + shortcut + (action->isEnabled() ? "" : " (off)"));
    }
    return items;
}

class StatusMenuTest : public ::testing::Test {
protected:
    StatusMenuTest()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application();
        StatusMenu::Actions actions;
        actions.toggleDictation = [this] { ++toggles; };
        actions.cancelDictation = [this] { ++cancels; };
        actions.lastTranscript = [this] { return transcript; };
        actions.menuWillOpen = [this] { ++opened; };
        menu = std::make_unique<StatusMenu>("⌃⇧Space", std::move(actions), log.sink());
    }

    testing::RecordingLog log;
    int toggles = 0;
    int cancels = 0;
    int opened = 0;
    std::optional<std::string> transcript;
    std::unique_ptr<StatusMenu> menu;
};

TEST_F(StatusMenuTest, ShowsTheItemsAndFollowsADictation)
{
    EXPECT_EQ(itemsOf(*menu->menu()),
              (QStringList{"Status: Idle — press ⌃⇧Space (off)", "Start Dictation", "Copy Last Transcript (off)", "---",
                           "Settings… (off)", "---", "Quit Korvane"}));
    EXPECT_EQ(menu->texts().menuBarTitle, "[mic off]");

    menu->handleStatus(DictationStatus::recording(), " — press ⌃⇧Space");
    EXPECT_EQ(menu->menu()->actions().at(1)->text(), "Stop Dictation");
    EXPECT_EQ(menu->texts().menuBarTitle, "[recording...]");
    menu->menu()->actions().at(1)->trigger();
    EXPECT_EQ(toggles, 1);
    ASSERT_EQ(itemsOf(*menu->menu()).at(2), "Cancel Dictation");
    menu->menu()->actions().at(2)->trigger();
    EXPECT_EQ(cancels, 1);

    transcript = "hello";
    menu->handleStatus(DictationStatus::copiedToClipboard(DeliveryFallbackReason::targetNotFrontmost), "");
    EXPECT_EQ(itemsOf(*menu->menu()).mid(0, 3),
              (QStringList{"Status: Transcript copied -- press Ctrl+V (Target app not in front) (off)",
                           "Start Dictation", "Copy Last Transcript"}));
    EXPECT_EQ(menu->texts().menuBarTitle, "[on clipboard]");
}

TEST_F(StatusMenuTest, CopyLastTranscriptPutsItBackOnTheClipboardOrSaysThereIsNone)
{
    menu->copyLastTranscript();
    EXPECT_EQ(menu->texts().statusLine, "Status: No transcript to copy");

    transcript = "dictated words";
    menu->copyLastTranscript();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "dictated words");
    EXPECT_EQ(menu->texts().statusLine, "Status: Transcript copied -- press Ctrl+V");
}

// The shell re-checks the shortcut's permission each time the menu opens, before it shows.
TEST_F(StatusMenuTest, EachColourOfTheTrayIconIsDrawnOnce)
{
    // A fresh icon at every status change would leave a scaled copy in Qt's pixmap cache each time.
    using Kind = DictationStatus::Kind;
    const qint64 recording = menu->trayIcon(Kind::recording).cacheKey();
    EXPECT_EQ(menu->trayIcon(Kind::transcribing).cacheKey(), menu->trayIcon(Kind::loading).cacheKey());
    EXPECT_NE(menu->trayIcon(Kind::ready).cacheKey(), recording);
    EXPECT_EQ(menu->trayIcon(Kind::recordingLimitReached).cacheKey(), recording);
}

TEST_F(StatusMenuTest, OpeningTheMenuTellsTheShellEachTime)
{
    EXPECT_EQ(opened, 0);
    for (int time = 1; time <= 2; ++time) {
        menu->menu()->popup(QPoint(10, 10));
        EXPECT_EQ(opened, time);
        menu->menu()->hide();
    }
}

TEST_F(StatusMenuTest, WithoutATrayHostItSaysSoOnce)
{
    EXPECT_THAT(log.lines(), ElementsAre("No system tray found: Korvane keeps working from its shortcut"));
}

}  // namespace
}  // namespace korvane
