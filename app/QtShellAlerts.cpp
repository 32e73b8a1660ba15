#include "app/QtShellAlerts.h"

#include "core/shell/AccessibilitySettingsCommand.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace korvane {

namespace {

// The README that explains what the permission means on Linux: installed with the package, else
// the one of the source tree this build came from.
QString readmePath()
{
    const QString installed = QDir(QCoreApplication::applicationDirPath()).filePath("../share/doc/korvane/README.md");
    if (QFileInfo::exists(installed)) {
        return QFileInfo(installed).canonicalFilePath();
    }
#ifdef KORVANE_SOURCE_README
    if (QFileInfo::exists(QStringLiteral(KORVANE_SOURCE_README))) {
        return QStringLiteral(KORVANE_SOURCE_README);
    }
#endif
    return {};
}

}  // namespace

QtShellAlerts::QtShellAlerts(std::function<void()> afterAlert, LogSink log)
    : afterAlert_(std::move(afterAlert)), log_(std::move(log))
{
}

std::size_t QtShellAlerts::runWarning(const ShellAlert& alert)
{
    QMessageBox box;
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle("Korvane");
    box.setText(QString::fromStdString(alert.message));
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    std::vector<QPushButton*> buttons;
    for (const std::string& title : alert.buttons) {
        // Buttons in the given order, left to right, whatever the style's role ordering would do.
        buttons.push_back(box.addButton(QString::fromStdString(title), QMessageBox::ActionRole));
    }
    if (!buttons.empty()) {
        box.setDefaultButton(buttons.front());
        box.setEscapeButton(buttons.back());
    }
    // Raised and focused once shown: the alert comes from a tray utility that is never in front.
    QTimer::singleShot(0, &box, [&box] {
        box.raise();
        box.activateWindow();
    });
    box.exec();

    std::size_t chosen = buttons.empty() ? 0 : buttons.size() - 1;
    for (std::size_t index = 0; index < buttons.size(); ++index) {
        if (box.clickedButton() == buttons[index]) {
            chosen = index;
        }
    }
    if (afterAlert_) {
        afterAlert_();
    }
    return chosen;
}

void QtShellAlerts::openAccessibilitySettings()
{
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const auto command =
        accessibilitySettingsCommand(desktop != nullptr ? desktop : "", [](const std::string& program) {
            return !QStandardPaths::findExecutable(QString::fromStdString(program)).isEmpty();
        });
    if (command) {
        QStringList arguments;
        for (std::size_t index = 1; index < command->size(); ++index) {
            arguments << QString::fromStdString((*command)[index]);
        }
        if (QProcess::startDetached(QString::fromStdString(command->front()), arguments)) {
            log_("Opened the accessibility settings: " + command->front());
            return;
        }
        log_("Could not start " + command->front() + "; opening the README instead");
    }
    const QString readme = readmePath();
    if (readme.isEmpty()) {
        log_("No accessibility settings known for this desktop and no README found");
        return;
    }
    QUrl url = QUrl::fromLocalFile(readme);
    url.setFragment("accessibility-and-x11");
    const bool opened = QDesktopServices::openUrl(url);
    log_(std::string(opened ? "Opened " : "Could not open ") + url.toString().toStdString());
}

}  // namespace korvane
