// SPDX-License-Identifier: MIT
// The General tab as the user works it (offscreen): the model rows against a controller with a
// scripted recogniser and a real model folder, deleting a model, recording a shortcut with key
// events and virtual time, and Start at Login writing a real autostart entry.
#include "ui/settings/GeneralPane.h"
#include "core/settings/SettingsStore.h"
#include "hotkeys/HotkeyValidationMessages.h"
#include "tests/support/process/Programs.h"
#include "tests/ui/SettingsTestWorld.h"
#include "ui/logic/AutostartEntry.h"
#include "ui/logic/ModelRows.h"
#include "ui/settings/HotkeyRecorderWindow.h"
#include "ui/settings/SettingsLook.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using M = ChordModifier;

// What the model rows show, in one line, so a failure shows the whole pane at once.
struct ModelRowsSeen {
    QString status;
    bool statusRed;
    bool retryShown;
    QString disk;
    QString use;
    bool useEnabled;
    bool deleteShown;

    bool operator==(const ModelRowsSeen&) const = default;
};

void PrintTo(const ModelRowsSeen& rows, std::ostream* out)
{
    *out << "{\"" << rows.status.toStdString() << "\"" << (rows.statusRed ? " red" : "") << ", retry "
         << (rows.retryShown ? "shown" : "hidden") << ", \"" << rows.disk.toStdString() << "\", \""
         << rows.use.toStdString() << "\" " << (rows.useEnabled ? "on" : "off") << ", delete "
         << (rows.deleteShown ? "shown" : "hidden") << "}";
}

class GeneralPaneTest : public ::testing::Test {
protected:
    QLabel* label(const char* name) const { return world.find<QLabel>(name); }
    QPushButton* button(const char* name) const { return world.find<QPushButton>(name); }
    QComboBox* popup() const { return world.find<QComboBox>("modelPopup"); }
    QCheckBox* loginCheckbox() const { return world.find<QCheckBox>("loginCheckbox"); }
    QCheckBox* holdCheckbox() const { return world.find<QCheckBox>("holdCheckbox"); }

    bool isRed(const QLabel* shown) const
    {
        return shown->palette().color(QPalette::WindowText) == settingslook::errorRed();
    }

    ModelRowsSeen rows() const
    {
        return {label("modelStatus")->text(),
                isRed(label("modelStatus")),
                button("retryButton")->isVisible(),
                label("modelDisk")->text(),
                button("useModelButton")->text(),
                button("useModelButton")->isEnabled(),
                button("deleteModelButton")->isVisible()};
    }

    void preview(const QString& name)
    {
        const int index = popup()->findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        popup()->setCurrentIndex(index);
        emit popup()->activated(index);
    }

    std::filesystem::path autostartEntry() const
    {
        return world.home.path() / ".config" / "autostart" / "korvane.desktop";
    }

    testing::SettingsTestWorld world;
};

TEST_F(GeneralPaneTest, ModelRowsForTheModelInUseADownloadedOneAndAMissingOne)
{
    world.placeModelFile("small");
    world.placeModelFile("base");
    world.loadModel("small");
    world.show();

    EXPECT_EQ(popup()->currentText(), "small");
    EXPECT_EQ(popup()->itemData(popup()->findText("small"), Qt::CheckStateRole), QVariant(Qt::Checked));
    EXPECT_FALSE(popup()->itemData(popup()->findText("base"), Qt::CheckStateRole).isValid());
    EXPECT_EQ(rows(), (ModelRowsSeen{"Using small", false, false, "Downloaded, 2.5 kB", "In Use", false, false}));

    preview("base");
    EXPECT_EQ(rows(), (ModelRowsSeen{"Using small", false, false, "Downloaded, 1.5 kB", "Use This Model", true, true}));
    EXPECT_EQ(label("modelDescription")->text().toStdString(), modelDescription("base", false));

    preview("medium");
    EXPECT_EQ(rows(), (ModelRowsSeen{"Using small", false, false, "Not downloaded, 3.5 MB download", "Download and Use",
                                     true, false}));
    EXPECT_EQ(world.settings.modelSize(), "small") << "previewing changes nothing";
}

TEST(GeneralPaneRecommendation, TurboIsRecommendedOnceTheLoadedModelRunsOnAGpu)
{
    bool gpuActive = false;
    testing::SettingsTestWorld world(
        testing::SettingsTestWorld::Panes::withoutUpdates,
        [&gpuActive](SettingsCollaborators& parts) { parts.gpuBackendActive = [&gpuActive] { return gpuActive; }; });
    world.placeModelFile("small");
    world.placeModelFile("base");
    world.loadModel("small");
    world.show();
    QComboBox* popup = world.find<QComboBox>("modelPopup");
    const int turbo = popup->findText("turbo");
    ASSERT_GE(turbo, 0);
    popup->setCurrentIndex(turbo);
    emit popup->activated(turbo);
    const auto shown = [&world] { return world.find<QLabel>("modelDescription")->text().toStdString(); };
    EXPECT_EQ(shown(), modelDescription("turbo", false));
    EXPECT_THAT(shown(), Not(HasSubstr("Recommended"))) << "on the CPU turbo is slow";

    gpuActive = true;
    world.loadModel("base");  // the next load ran on a GPU; its end refreshes the rows
    EXPECT_EQ(shown(), modelDescription("turbo", true));
    EXPECT_THAT(shown(), HasSubstr("Recommended when whisper.cpp runs on a GPU."));
}

TEST_F(GeneralPaneTest, WhileAModelDownloadsThenOnceItLoaded)
{
    world.placeModelFile("small");
    world.placeModelFile("base");
    world.loadModel("small");
    world.show();

    std::vector<ModelRowsSeen> seenDuringDownload;
    std::string storedDuringDownload;
    world.transcriber->setLoadBehaviour([&](const std::string&, const auto& progress) {
        progress(42);
        world.mainQueue->runUntilIdle();
        seenDuringDownload.push_back(rows());
        preview("base");  // whatever is previewed, nothing else can be loaded meanwhile
        seenDuringDownload.push_back(rows());
        storedDuringDownload = world.settings.modelSize();
        return true;
    });

    preview("medium");
    QTest::mouseClick(button("useModelButton"), Qt::LeftButton);
    EXPECT_EQ(rows(), (ModelRowsSeen{"Loading medium…", false, false, "Not downloaded, 3.5 MB download",
                                     "Download and Use", false, false}));
    world.settle();

    EXPECT_THAT(seenDuringDownload,
                ElementsAre(ModelRowsSeen{"Downloading medium 42%", false, false, "Not downloaded, 3.5 MB download",
                                          "Download and Use", false, false},
                            ModelRowsSeen{"Downloading medium 42%", false, false, "Downloaded, 1.5 kB",
                                          "Use This Model", false, true}));
    EXPECT_EQ(storedDuringDownload, "small");
    EXPECT_EQ(world.settings.modelSize(), "medium");
    preview("medium");
    EXPECT_EQ(rows().status, "Using medium");
    EXPECT_EQ(rows().use, "In Use");
}

TEST_F(GeneralPaneTest, AFailedLoadIsShownInRedWithRetry)
{
    world.placeModelFile("small");
    world.loadModel("small");
    world.show();
    world.transcriber->setLoadFailure({ModelLoadFailure::Cause::noConnection, "huggingface.co"});

    preview("turbo");
    QTest::mouseClick(button("useModelButton"), Qt::LeftButton);
    world.settle();
    EXPECT_EQ(rows(), (ModelRowsSeen{"Failed to load turbo", true, true, "Not downloaded, 4.5 MB download",
                                     "Download and Use", true, false}));
    EXPECT_TRUE(label("modelFailureReason")->isVisible());
    EXPECT_EQ(label("modelFailureReason")->text(), "No internet connection: could not reach huggingface.co");
    EXPECT_EQ(world.settings.modelSize(), "small");

    world.transcriber->setLoadResult(true);
    preview("base");
    QTest::mouseClick(button("retryButton"), Qt::LeftButton);
    EXPECT_EQ(popup()->currentText(), "turbo") << "Retry selects the model it loads";
    world.settle();
    EXPECT_THAT(world.transcriber->loadRequests(), ElementsAre("small", "turbo", "turbo"));
    EXPECT_EQ(rows().status, "Using turbo");
    EXPECT_FALSE(label("modelFailureReason")->isVisible());
    EXPECT_EQ(world.settings.modelSize(), "turbo");
}

TEST_F(GeneralPaneTest, DeletingAModelAsksFirstAndARefusalIsShown)
{
    world.placeModelFile("small");
    world.placeModelFile("base");
    world.loadModel("small");
    world.show();
    preview("base");

    auto confirm = [this](const char* choice) {
        QTest::mouseClick(button("deleteModelButton"), Qt::LeftButton);
        auto* alert = world.find<QMessageBox>("deleteModelAlert");
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->text(), "Delete the base model?");
        EXPECT_EQ(alert->informativeText(), "This frees 1.5 kB. You can download it again from here later.");
        for (QAbstractButton* choiceButton : alert->buttons()) {
            if (choiceButton->text() == choice) {
                choiceButton->click();
            }
        }
        QApplication::processEvents();
    };

    confirm("Cancel");
    EXPECT_THAT(world.transcriber->deletedModels(), ::testing::IsEmpty());

    world.transcriber->failDeletionWith("Permission denied");
    confirm("Delete");
    EXPECT_EQ(label("modelStatus")->text(), "Could not delete base");
    EXPECT_TRUE(isRed(label("modelStatus")));
    EXPECT_EQ(rows().use, "Use This Model") << "the rest of the pane is unchanged";

    world.transcriber->failDeletionWith(std::nullopt);
    confirm("Delete");
    EXPECT_THAT(world.transcriber->deletedModels(), ElementsAre("base"));
    EXPECT_EQ(label("modelStatus")->text(), "Using small");
}

TEST_F(GeneralPaneTest, RecordingAShortcutWithKeysAndAHeldChord)
{
    world.show();
    EXPECT_EQ(label("hotkeyLabel")->text(), "Ctrl+Shift+Space");

    QTest::mouseClick(button("changeHotkeyButton"), Qt::LeftButton);
    HotkeyRecorderWindow* recorder = world.window->generalPane()->recorder();
    ASSERT_NE(recorder, nullptr);
    EXPECT_EQ(world.pauses, 1);
    EXPECT_TRUE(recorder->isVisible());
    EXPECT_EQ(recorder->findChild<QLabel*>("currentLabel")->text(), "Current: Ctrl+Shift+Space");

    // Control, Shift, then W: Ctrl+W is recorded, not taken by the settings window's Close item.
    QTest::keyPress(recorder, Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(recorder->heldLabel()->text(), "Ctrl+Shift");
    EXPECT_EQ(recorder->candidateLabel()->text(), "Shortcut: Ctrl+Shift+W");
    EXPECT_TRUE(recorder->useButton()->isEnabled());
    EXPECT_TRUE(world.frame().isVisible());
    QTest::keyRelease(recorder, Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(recorder->heldLabel()->text(), "—");

    // A refusal is said once the key is up, not while the user may still be reaching for more.
    QTest::keyPress(recorder, Qt::Key_A);
    EXPECT_EQ(recorder->messageLabel()->text(), "");
    QTest::keyRelease(recorder, Qt::Key_A);
    EXPECT_EQ(recorder->messageLabel()->text(), "Add at least one modifier key.");
    EXPECT_FALSE(recorder->useButton()->isEnabled());

    // Super (🌐) and Alt held still: nothing before 0.6 s, the chord after. The Super key's own
    // event does not carry its modifier yet, as on X11.
    QTest::keyPress(recorder, Qt::Key_Super_L);
    EXPECT_EQ(recorder->heldLabel()->text(), "Super");
    QTest::keyPress(recorder, Qt::Key_Alt, Qt::MetaModifier);
    EXPECT_EQ(recorder->heldLabel()->text(), "Alt+Super");
    world.mainQueue->advance(0.59);
    EXPECT_EQ(recorder->candidateLabel()->text(), "");
    world.mainQueue->advance(0.01);
    EXPECT_EQ(recorder->candidateLabel()->text(), "Shortcut: Alt+Super");
    EXPECT_EQ(recorder->messageLabel()->text().toStdString(), std::string(kFunctionKeyNoteMessage));
    EXPECT_FALSE(isRed(recorder->messageLabel()));

    QTest::mouseClick(recorder->useButton(), Qt::LeftButton);
    EXPECT_THAT(world.applied, ElementsAre(HotkeyBinding::modifierChord({M::function, M::option})));
    EXPECT_EQ(label("hotkeyLabel")->text(), "Alt+Super");
    EXPECT_EQ(world.window->generalPane()->recorder(), nullptr);
    EXPECT_FALSE(recorder->isVisible());
}

TEST_F(GeneralPaneTest, EscapeCancelsAndTheShortcutIsRegisteredAgain)
{
    world.show();
    QTest::mouseClick(button("changeHotkeyButton"), Qt::LeftButton);
    HotkeyRecorderWindow* recorder = world.window->generalPane()->recorder();
    ASSERT_NE(recorder, nullptr);
    QTest::keyClick(recorder, Qt::Key_Space, Qt::AltModifier);
    EXPECT_EQ(recorder->candidateLabel()->text(), "Shortcut: Alt+Space");

    QTest::keyClick(recorder, Qt::Key_Escape);
    EXPECT_THAT(world.applied, ElementsAre(std::nullopt));
    EXPECT_EQ(label("hotkeyLabel")->text(), "Ctrl+Shift+Space");
    EXPECT_EQ(world.settings.hotkeyBinding(), HotkeyBinding::fallback());
    EXPECT_FALSE(recorder->isVisible());
    recorder->onCancel();
    EXPECT_EQ(world.applied.size(), 1U) << "the completion runs once";
}

TEST_F(GeneralPaneTest, HoldCheckboxShowsTheStoredModeAndWritesHoldOrToggle)
{
    auto stored = [] { return AppSettings(AppSettings::defaultFile()).defaults().string("hotkeyMode"); };

    // Each time the window opens it shows what the settings file holds now.
    const std::vector<std::pair<std::optional<std::string>, bool>> shown{
        {std::nullopt, false}, {"hold", true}, {"toggle", false}, {"Hold", false}};
    for (const auto& [mode, checked] : shown) {
        SCOPED_TRACE(mode.value_or("(nothing)"));
        if (world.window->window() != nullptr) {
            world.frame().close();
        }
        if (mode) {
            world.settings.defaults().setString("hotkeyMode", *mode);
        } else {
            world.settings.defaults().remove("hotkeyMode");
        }
        world.show();
        EXPECT_EQ(holdCheckbox()->isChecked(), checked);
    }
    EXPECT_EQ(holdCheckbox()->text(), "Hold Hotkey to Dictate");

    holdCheckbox()->click();
    EXPECT_TRUE(holdCheckbox()->isChecked());
    EXPECT_EQ(stored(), std::optional<std::string>("hold"));
    holdCheckbox()->click();
    EXPECT_FALSE(holdCheckbox()->isChecked());
    EXPECT_EQ(stored(), std::optional<std::string>("toggle"));
}

TEST(GeneralPaneShortcutTest, WhereTheCompositorBindsTheShortcutItsLineIsShownForTheModeAndCopied)
{
    testing::SettingsTestWorld world(testing::SettingsTestWorld::Panes::withoutUpdates,
                                     [](SettingsCollaborators& wiring) {
                                         wiring.compositorBinding = [](HotkeyMode mode) -> std::optional<std::string> {
                                             return mode == HotkeyMode::hold ? "bind start" : "bind toggle";
                                         };
                                     });
    world.show();
    EXPECT_EQ(world.find<QPushButton>("changeHotkeyButton"), nullptr);
    EXPECT_EQ(world.find<QLabel>("hotkeyLabel")->text(), "Add to your compositor's configuration:\nbind toggle");
    world.find<QCheckBox>("holdCheckbox")->click();
    EXPECT_EQ(world.find<QLabel>("hotkeyLabel")->text(), "Add to your compositor's configuration:\nbind start");
    world.find<QPushButton>("copyBindingButton")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "bind start");
}

TEST(GeneralPaneShortcutTest, WhereTheDesktopBindsTheShortcutItsKeysAreShownAndChordsAreRefused)
{
    testing::SettingsTestWorld world(testing::SettingsTestWorld::Panes::withoutUpdates,
                                     [](SettingsCollaborators& wiring) {
                                         wiring.shownShortcut = [] { return std::string("Ctrl+Alt+D"); };
                                         wiring.modifierChordsAllowed = false;
                                     });
    world.show();
    EXPECT_EQ(world.find<QLabel>("hotkeyLabel")->text(), "Ctrl+Alt+D");
    QTest::mouseClick(world.find<QPushButton>("changeHotkeyButton"), Qt::LeftButton);
    HotkeyRecorderWindow* recorder = world.window->generalPane()->recorder();
    ASSERT_NE(recorder, nullptr);
    QTest::keyPress(recorder, Qt::Key_Super_L);
    QTest::keyPress(recorder, Qt::Key_Alt, Qt::MetaModifier);
    world.mainQueue->advance(0.6);
    EXPECT_EQ(recorder->candidateLabel()->text(), "");
    QTest::keyRelease(recorder, Qt::Key_Alt, Qt::MetaModifier);
    QTest::keyRelease(recorder, Qt::Key_Super_L, Qt::MetaModifier);
    EXPECT_EQ(recorder->messageLabel()->text().toStdString(), std::string(kChordForDesktopMessage));
}

TEST_F(GeneralPaneTest, StartAtLoginWritesAndRemovesAValidAutostartEntry)
{
    world.show();
    EXPECT_FALSE(loginCheckbox()->isChecked());

    loginCheckbox()->click();
    ASSERT_TRUE(std::filesystem::exists(autostartEntry()));
    EXPECT_EQ(testing::runProgram({"desktop-file-validate", autostartEntry().string()}), "");
    const AutostartEntry written = parseAutostartEntry(testing::readFile(autostartEntry()));
    ASSERT_TRUE(written.exec.has_value());
    EXPECT_EQ(splitExec(*written.exec), std::optional(std::vector<std::string>{world.executable.string()}));
    EXPECT_TRUE(loginCheckbox()->isChecked());
    EXPECT_FALSE(label("loginNote")->isVisible());

    loginCheckbox()->click();
    EXPECT_FALSE(std::filesystem::exists(autostartEntry()));
    EXPECT_FALSE(loginCheckbox()->isChecked());
    EXPECT_THAT(world.log->linesStartingWith("Start at Login"),
                ElementsAre("Start at Login: registered", "Start at Login: unregistered"));
}

TEST_F(GeneralPaneTest, AnEntryFromTheSystemIsSwitchedOffWithAHiddenOne)
{
    testing::writeFile(world.systemConfig.path() / "autostart" / "korvane.desktop",
                       autostartEntryText("/usr/bin/korvane"));
    world.show();
    EXPECT_TRUE(loginCheckbox()->isChecked()) << "the status is read from the files";

    loginCheckbox()->click();
    EXPECT_FALSE(loginCheckbox()->isChecked());
    EXPECT_TRUE(parseAutostartEntry(testing::readFile(autostartEntry())).hidden);
    EXPECT_EQ(testing::runProgram({"desktop-file-validate", autostartEntry().string()}), "");

    loginCheckbox()->click();
    EXPECT_TRUE(loginCheckbox()->isChecked());
    EXPECT_TRUE(parseAutostartEntry(testing::readFile(autostartEntry())).isActive());
}

TEST_F(GeneralPaneTest, AFailedChangeIsShownInRedAndThePaneGrowsForIt)
{
    // A file where the autostart folder should be: no entry can be written, even by root.
    testing::writeFile(autostartEntry().parent_path(), "not a folder");
    world.show();
    const int heightBefore = world.frame().height();

    loginCheckbox()->click();
    EXPECT_FALSE(loginCheckbox()->isChecked()) << "the checkbox shows the real state again";
    EXPECT_TRUE(label("loginNote")->isVisible());
    EXPECT_THAT(label("loginNote")->text().toStdString(), StartsWith("Could not change Start at Login: "));
    EXPECT_TRUE(isRed(label("loginNote")));
    EXPECT_GT(world.frame().height(), heightBefore);
    EXPECT_THAT(world.log->linesStartingWith("Start at Login change failed: "), ::testing::SizeIs(1));
}

}  // namespace
}  // namespace korvane
