// SPDX-License-Identifier: MIT
// Renders the tray menu and the listening indicator's states to PNG files for the README:
//   korvane-screenshots [directory]   (default: docs/images)
// Runs on Qt's offscreen platform, so it needs no display; the indicator keeps its translucent
// rounded corners as a compositor would show them.
#include "app/StatusMenu.h"
#include "platform/linux/QtMainQueue.h"
#include "ui/indicator/ListeningIndicatorController.h"
#include "ui/indicator/QtIndicatorSurface.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QMenu>
#include <QPixmap>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

using korvane::IndicatorChange;

void runEventLoopFor(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

bool save(const QPixmap& pixmap, const QDir& directory, const QString& name)
{
    const QString path = directory.filePath(name);
    if (!pixmap.toImage().save(path, "PNG")) {
        std::fprintf(stderr, "korvane-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s (%dx%d)\n", qPrintable(path), pixmap.width(), pixmap.height());
    return true;
}

bool renderTrayMenu(const QDir& directory)
{
    korvane::StatusMenu::Actions actions;
    actions.toggleDictation = [] {};
    actions.lastTranscript = [] { return std::optional<std::string>("Dictated words"); };
    actions.showSettings = [] {};
    actions.quit = [] {};
    korvane::StatusMenu status("Ctrl+Shift+Space", std::move(actions), [](std::string_view) {});
    status.handleStatus(korvane::DictationStatus::ready("small"), " — press Ctrl+Shift+Space");
    QMenu& menu = *status.menu();
    menu.adjustSize();
    return save(menu.grab(), directory, "tray-menu.png");
}

bool renderIndicator(const QDir& directory)
{
    QObject context;
    auto queue = std::make_shared<korvane::QtMainQueue>(&context);
    korvane::QtIndicatorSurface* surface = nullptr;
    korvane::ListeningIndicatorController indicator(queue, [&surface] {
        auto made = std::make_unique<korvane::QtIndicatorSurface>();
        surface = made.get();
        return made;
    });
    // Speech-like level: syllables of varying loudness, so the bars rise and decay as they do live.
    int frame = 0;
    indicator.setLevelProvider([&frame] {
        ++frame;
        const double syllable = std::fabs(std::sin(frame * 0.45)) * (0.55 + 0.4 * std::sin(frame * 0.13));
        return static_cast<float>(std::max(0.0, syllable));
    });

    const struct {
        IndicatorChange state;
        const char* file;
    } shots[] = {
        {{IndicatorChange::Kind::recording, {}}, "indicator-listening.png"},
        {{IndicatorChange::Kind::transcribing, {}}, "indicator-transcribing.png"},
        {{IndicatorChange::Kind::copiedToClipboard, "Transcript copied — press Ctrl+V"}, "indicator-copied.png"},
    };
    bool written = true;
    for (const auto& shot : shots) {
        indicator.show(shot.state);
        runEventLoopFor(1000);  // 30 meter frames: the whole row of bars has history
        written = surface != nullptr && save(surface->panel().grab(), directory, shot.file) && written;
    }
    indicator.hide();
    return written;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QDir directory(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("docs/images"));
    if (!QDir().mkpath(directory.path())) {
        std::fprintf(stderr, "korvane-screenshots: cannot create %s\n", qPrintable(directory.path()));
        return 1;
    }
    const bool menu = renderTrayMenu(directory);
    const bool indicator = renderIndicator(directory);
    return menu && indicator ? 0 : 1;
}
