// SPDX-License-Identifier: MIT
// The settings window (offscreen): its tabs and the one remembered across restarts, fitting the
// window to the selected pane with the top edge kept, its keys, and closing without losing it.
#include "tests/ui/SettingsTestWorld.h"
#include "ui/settings/AboutPane.h"
#include "ui/settings/GeneralPane.h"
#include "ui/settings/SettingsWindowFrame.h"
#include "ui/settings/UpdatesPane.h"

#include <QAction>
#include <QClipboard>
#include <QLineEdit>
#include <QMenuBar>
#include <QTableView>
#include <QTest>
#include <QToolBar>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace korvane {

inline void PrintTo(SettingsTab tab, std::ostream* out)
{
    *out << storedForm(tab);
}

namespace {

using ::testing::ElementsAre;

// A pane of a fixed size, standing in for panes of other heights.
std::unique_ptr<QWidget> paneOfSize(int width, int height)
{
    auto pane = std::make_unique<QWidget>();
    pane->setFixedSize(width, height);
    return pane;
}

class SettingsWindowTest : public ::testing::Test {
protected:
    SettingsWindowTest() { testing::offscreenApplication(); }

    // A window with three panes of different heights, as a restart builds it: from the stored tab.
    std::unique_ptr<SettingsWindowFrame> makeFrame(AppSettings& store)
    {
        auto frame = std::make_unique<SettingsWindowFrame>(store);
        frame->addPane(SettingsTab::about, paneOfSize(480, 300));  // out of order on purpose
        frame->addPane(SettingsTab::general, paneOfSize(480, 200));
        frame->addPane(SettingsTab::vocabulary, paneOfSize(480, 420));
        frame->showTab(store.settingsTab());
        return frame;
    }

    testing::TempHome home;
    AppSettings settings{AppSettings::defaultFile()};
};

TEST_F(SettingsWindowTest, TabsKeepTheirOrderAndTheSelectedOneIsRememberedAcrossARestart)
{
    auto frame = makeFrame(settings);
    EXPECT_THAT(frame->tabs(), ElementsAre(SettingsTab::general, SettingsTab::vocabulary, SettingsTab::about));
    QStringList labels;
    for (QAction* action : frame->findChild<QToolBar*>("settingsTabs")->actions()) {
        labels << action->text();
        EXPECT_FALSE(action->icon().isNull()) << action->text().toStdString();
    }
    EXPECT_EQ(labels, (QStringList{"General", "Vocabulary", "About"}));
    EXPECT_EQ(frame->selectedTab(), SettingsTab::general) << "nothing stored opens General";

    frame->tabAction(SettingsTab::vocabulary)->trigger();
    EXPECT_EQ(frame->selectedTab(), SettingsTab::vocabulary);
    EXPECT_EQ(frame->windowTitle(), "Vocabulary \u2014 Korvane");
    frame.reset();

    AppSettings afterRestart(AppSettings::defaultFile());
    EXPECT_EQ(makeFrame(afterRestart)->selectedTab(), SettingsTab::vocabulary);
}

TEST_F(SettingsWindowTest, SwitchingTabsKeepsTheTopEdgeAndFitsTheHeight)
{
    auto frame = makeFrame(settings);
    frame->show();
    frame->move(140, 160);
    QApplication::processEvents();
    const QRect general = frame->geometry();

    frame->tabAction(SettingsTab::vocabulary)->trigger();
    QApplication::processEvents();
    const QRect vocabulary = frame->geometry();
    EXPECT_EQ(vocabulary.top(), general.top());
    EXPECT_EQ(vocabulary.left(), general.left());
    EXPECT_EQ(vocabulary.height() - general.height(), 220) << "grown by the difference of the panes";

    frame->tabAction(SettingsTab::about)->trigger();
    QApplication::processEvents();
    EXPECT_EQ(frame->geometry().top(), general.top());
    EXPECT_EQ(frame->geometry().height() - general.height(), 100);
}

TEST_F(SettingsWindowTest, WithoutAMenuBarFieldsKeepTheirEditingKeysAndEscapeOrCtrlWCloses)
{
    auto frame = std::make_unique<SettingsWindowFrame>(settings);
    auto pane = std::make_unique<QLineEdit>("heard text");
    QLineEdit* field = pane.get();
    frame->addPane(SettingsTab::vocabulary, std::move(pane));
    frame->showTab(SettingsTab::vocabulary);
    frame->show();
    frame->activateWindow();
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    EXPECT_EQ(frame->findChild<QMenuBar*>(), nullptr);

    // The field's own keys, each followed by what the field and the clipboard then hold.
    struct Step {
        QKeyCombination keys;
        QString text;
        QString clipboard;
    };
    const Step steps[] = {
        {Qt::CTRL | Qt::Key_A, "heard text", ""},  {Qt::CTRL | Qt::Key_C, "heard text", "heard text"},
        {Qt::CTRL | Qt::Key_X, "", "heard text"},  {Qt::CTRL | Qt::Key_Z, "heard text", "heard text"},
        {Qt::Key_End, "heard text", "heard text"}, {Qt::CTRL | Qt::Key_V, "heard textheard text", "heard text"}};
    QApplication::clipboard()->clear();
    for (const Step& step : steps) {
        QTest::keyClick(field, step.keys.key(), step.keys.keyboardModifiers());
        EXPECT_EQ(field->text(), step.text) << QKeySequence(step.keys).toString().toStdString();
        EXPECT_EQ(QApplication::clipboard()->text(), step.clipboard)
            << QKeySequence(step.keys).toString().toStdString();
    }
    EXPECT_TRUE(frame->isVisible());

    for (const QKeyCombination keys : {QKeyCombination(Qt::Key_Escape), Qt::CTRL | Qt::Key_W}) {
        frame->show();
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
        QTest::keyClick(field, keys.key(), keys.keyboardModifiers());
        EXPECT_FALSE(frame->isVisible()) << QKeySequence(keys).toString().toStdString();
    }
}

TEST_F(SettingsWindowTest, TabsAreChosenFromTheKeyboardAndStoredLikeAClick)
{
    auto frame = makeFrame(settings);
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    auto* toolbar = frame->findChild<QToolBar*>("settingsTabs");
    auto button = [&](SettingsTab tab) { return toolbar->widgetForAction(frame->tabAction(tab)); };

    // From General, with the keys of a tab dialog; the row wraps around at both ends.
    struct Step {
        QKeyCombination keys;
        SettingsTab selected;
    };
    const Step steps[] = {{Qt::CTRL | Qt::Key_Tab, SettingsTab::vocabulary},
                          {Qt::CTRL | Qt::Key_PageDown, SettingsTab::about},
                          {Qt::CTRL | Qt::Key_Tab, SettingsTab::general},
                          {Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, SettingsTab::about},
                          {Qt::CTRL | Qt::Key_PageUp, SettingsTab::vocabulary},
                          {Qt::CTRL | Qt::Key_PageUp, SettingsTab::general}};
    for (const Step& step : steps) {
        QTest::keyClick(QApplication::focusWidget(), step.keys.key(), step.keys.keyboardModifiers());
        EXPECT_EQ(frame->selectedTab(), step.selected) << QKeySequence(step.keys).toString().toStdString();
        EXPECT_EQ(settings.settingsTab(), step.selected) << QKeySequence(step.keys).toString().toStdString();
    }

    // The row is one stop in the Tab order, at the selected tab; Right and Left move along it.
    frame->setFocus();
    QTest::keyClick(frame.get(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), button(SettingsTab::general));
    QTest::keyClick(button(SettingsTab::general), Qt::Key_Right);
    EXPECT_EQ(frame->selectedTab(), SettingsTab::vocabulary);
    EXPECT_EQ(settings.settingsTab(), SettingsTab::vocabulary);
    EXPECT_EQ(QApplication::focusWidget(), button(SettingsTab::vocabulary));
    QTest::keyClick(button(SettingsTab::vocabulary), Qt::Key_Left);
    EXPECT_EQ(frame->selectedTab(), SettingsTab::general);
    EXPECT_EQ(QApplication::focusWidget(), button(SettingsTab::general));
    EXPECT_EQ(button(SettingsTab::vocabulary)->focusPolicy(), Qt::NoFocus);
}

TEST_F(SettingsWindowTest, TheWindowIsBuiltOnFirstShowAndKeptWhenClosed)
{
    testing::SettingsTestWorld world;
    world.window->refreshModelStatus();  // nothing to refresh yet, and no harm done
    EXPECT_EQ(world.window->window(), nullptr);

    world.show();
    QMainWindow* first = world.window->window();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    ASSERT_NE(world.window->generalPane(), nullptr);

    first->close();
    EXPECT_FALSE(first->isVisible());
    world.show();
    EXPECT_EQ(world.window->window(), first);
    EXPECT_TRUE(first->isVisible());

    // Escape in a vocabulary cell being edited ends that edit only; the next Escape closes.
    dynamic_cast<SettingsWindowFrame&>(*first).selectTab(SettingsTab::vocabulary);
    auto* table = world.find<QTableView>("vocabularyTable");
    ASSERT_NE(table, nullptr);
    table->edit(table->model()->index(0, 0));
    QWidget* editor = table->indexWidget(table->model()->index(0, 0));
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(table->indexWidget(table->model()->index(0, 0)), nullptr) << "the edit is over";
    QTest::keyClick(table, Qt::Key_Escape);
    EXPECT_FALSE(first->isVisible());
}

TEST_F(SettingsWindowTest, TheTabChosenInTheWindowIsOpenAfterARestart)
{
    auto world = std::make_unique<testing::SettingsTestWorld>();
    world->show();
    auto* frame = dynamic_cast<SettingsWindowFrame*>(world->window->window());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->selectedTab(), SettingsTab::general) << "nothing stored opens General";
    ASSERT_NE(frame->tabAction(SettingsTab::vocabulary), nullptr);
    frame->tabAction(SettingsTab::vocabulary)->trigger();
    frame->close();
    world->show();
    EXPECT_EQ(frame->selectedTab(), SettingsTab::vocabulary) << "closing and showing again";

    // A new run: a new window over the same settings file.
    world->window.reset();
    AppSettings afterRestart(AppSettings::defaultFile());
    EXPECT_EQ(afterRestart.settingsTab(), SettingsTab::vocabulary);
    SettingsCollaborators parts;
    parts.dictation = world->dictation;
    parts.mainQueue = world->mainQueue;
    parts.models = world->models;
    SettingsWindow restarted(afterRestart, std::move(parts));
    restarted.show();
    auto* again = dynamic_cast<SettingsWindowFrame*>(restarted.window());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->selectedTab(), SettingsTab::vocabulary);
}

TEST_F(SettingsWindowTest, AsTheApplicationBuildsItTheWindowHasFourTabsWithTheUpdatesAndAboutPanes)
{
    testing::SettingsTestWorld world(testing::SettingsTestWorld::Panes::allFour);
    world.settings.setSettingsTab(SettingsTab::about);
    world.show();
    auto* frame = dynamic_cast<SettingsWindowFrame*>(world.window->window());
    ASSERT_NE(frame, nullptr);
    EXPECT_THAT(frame->tabs(),
                ElementsAre(SettingsTab::general, SettingsTab::vocabulary, SettingsTab::updates, SettingsTab::about));
    QStringList labels;
    for (QAction* action : frame->findChild<QToolBar*>("settingsTabs")->actions()) {
        labels << action->text();
    }
    EXPECT_EQ(labels, (QStringList{"General", "Vocabulary", "Updates", "About"}));

    // Each tab shows its own pane: the stored one at once, the others when chosen.
    EXPECT_EQ(frame->selectedTab(), SettingsTab::about);
    EXPECT_NE(frame->centralWidget()->findChild<AboutPane*>(), nullptr);
    EXPECT_TRUE(frame->findChild<AboutPane*>()->isVisible());
    frame->tabAction(SettingsTab::updates)->trigger();
    EXPECT_EQ(frame->windowTitle(), "Updates \u2014 Korvane");
    ASSERT_NE(frame->findChild<UpdatesPane*>(), nullptr);
    EXPECT_TRUE(frame->findChild<UpdatesPane*>()->isVisible());
    EXPECT_FALSE(frame->findChild<AboutPane*>()->isVisible());
}

TEST_F(SettingsWindowTest, AStoredTabWithoutAPaneOpensGeneralAndStaysStored)
{
    testing::SettingsTestWorld world;
    world.settings.setSettingsTab(SettingsTab::updates);  // no update controller: no Updates pane
    world.show();
    auto* frame = dynamic_cast<SettingsWindowFrame*>(world.window->window());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->selectedTab(), SettingsTab::general);
    EXPECT_EQ(world.settings.settingsTab(), SettingsTab::updates);
}

}  // namespace
}  // namespace korvane
