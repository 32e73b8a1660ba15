// SPDX-License-Identifier: MIT
// The shell's alerts on a real (offscreen) Qt desktop: the answer is the button the user chose,
// closing counts as the last one, and afterwards the shell gets to give the keyboard back. Opening
// the accessibility settings starts the desktop's own tool, found on PATH.
#include "app/QtShellAlerts.h"
#include "tests/support/RecordingLog.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempHome.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/qt/QtPrinting.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPoint>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>

namespace korvane {
namespace {

QApplication& application()
{
    static int argc = 1;
    static char name[] = "shell-alerts-test";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication instance(argc, argv);
    return instance;
}

const ShellAlert kAlert{"🌐⌥ is not active", "Why, and what to do.", {"Open Accessibility Settings", "Not Now"}};

// Runs `alert` and, once it shows, does `answer` to the message box; returns the chosen index.
template <class Answer>
std::size_t runAnswering(QtShellAlerts& alerts, const ShellAlert& alert, Answer answer, QMessageBox** seen)
{
    QTimer::singleShot(50, [answer, seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        *seen = box;
        answer(*box);
    });
    return alerts.runWarning(alert);
}

TEST(QtShellAlerts, AnswersWithTheChosenButtonAndClosingMeansTheLast)
{
    application();
    int afterAlerts = 0;
    QtShellAlerts alerts([&afterAlerts] { ++afterAlerts; });

    QMessageBox* box = nullptr;
    QString text;
    QString informative;
    bool onTop = false;
    QStringList buttons;  // left to right, as laid out
    QString defaultButton;
    QString escapeButton;
    const std::size_t chosen = runAnswering(
        alerts, kAlert,
        [&](QMessageBox& shown) {
            text = shown.text();
            informative = shown.informativeText();
            onTop = shown.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            QList<QAbstractButton*> laidOut = shown.buttons();
            std::sort(laidOut.begin(), laidOut.end(), [&shown](QAbstractButton* left, QAbstractButton* right) {
                return left->mapTo(&shown, QPoint()).x() < right->mapTo(&shown, QPoint()).x();
            });
            for (QAbstractButton* button : laidOut) {
                buttons << button->text();
            }
            defaultButton = shown.defaultButton() != nullptr ? shown.defaultButton()->text() : QString();
            escapeButton = shown.escapeButton() != nullptr ? shown.escapeButton()->text() : QString();
            for (QAbstractButton* button : shown.buttons()) {
                if (button->text() == "Open Accessibility Settings") {
                    button->click();
                }
            }
        },
        &box);
    EXPECT_EQ(chosen, 0U);
    EXPECT_EQ(text, "🌐⌥ is not active");
    EXPECT_EQ(informative, "Why, and what to do.");
    EXPECT_TRUE(onTop);
    // The buttons in the order given, the first one the default (Return) and the last one what
    // Escape chooses.
    EXPECT_EQ(buttons, (QStringList{"Open Accessibility Settings", "Not Now"}));
    EXPECT_EQ(defaultButton, QString("Open Accessibility Settings"));
    EXPECT_EQ(escapeButton, QString("Not Now"));
    EXPECT_EQ(afterAlerts, 1);

    EXPECT_EQ(runAnswering(
                  alerts, kAlert, [](QMessageBox& shown) { shown.reject(); }, &box),
              1U);
    EXPECT_EQ(afterAlerts, 2);
}

TEST(QtShellAlerts, OpensTheDesktopsAccessibilitySettingsDetached)
{
    application();
    testing::TemporaryDirectory bin{"korvane-bin"};
    const std::filesystem::path called = bin.path() / "called-with";
    const std::filesystem::path tool = bin.path() / "gnome-control-center";
    testing::writeFile(tool, "#!/bin/sh\necho \"$@\" > '" + called.string() + ".part' && mv '" + called.string() +
                                 ".part' '" + called.string() + "'\n");
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    testing::ScopedEnvironment path("PATH", bin.path().string() + ":/usr/bin:/bin");
    testing::ScopedEnvironment desktop("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");

    testing::RecordingLog log;
    QtShellAlerts alerts({}, log.sink());
    alerts.openAccessibilitySettings();

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!std::filesystem::exists(called) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(testing::readFile(called), "universal-access\n");
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Opened the accessibility settings: gnome-control-center"});
}

}  // namespace
}  // namespace korvane
