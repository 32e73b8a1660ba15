// Korvane: local speech-to-text dictation from the system tray.
#include "app/ApplicationShell.h"
#include "app/SignalQuitter.h"
#include "core/logging/Logger.h"
#include "core/scheduling/ThreadPool.h"
#include "core/settings/AppSettings.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/QtMainQueue.h"

#include <QApplication>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

namespace {

// A process started with standard input, output or error closed would hand those numbers to the
// next files it opens, and log lines written to "standard error" would land in a settings or model
// file. Park /dev/null on any of them that is missing.
void reserveStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1) {
            const int null = ::open("/dev/null", O_RDWR);
            if (null >= 0 && null != fd) {
                ::dup2(null, fd);
                ::close(null);
            }
        }
    }
}

std::size_t backgroundThreadCount()
{
    // Model loads and transcriptions are few and long; a small pool keeps a download from ever
    // holding up a transcription.
    return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 2, 4);
}

}  // namespace

int main(int argc, char** argv)
{
    reserveStandardDescriptors();
    QApplication application(argc, argv);
    QApplication::setApplicationName("Korvane");
    QApplication::setQuitOnLastWindowClosed(false);

    korvane::SignalQuitter quitter;  // SIGTERM and SIGINT end the event loop cleanly

    auto mainQueue = std::make_shared<korvane::QtMainQueue>(&application);
    // Deliberately never destroyed: at quit a download may still block a worker, and waiting for
    // it would hang the exit. The process ends without joining (see below).
    auto* pool = new korvane::ThreadPool(backgroundThreadCount());
    auto backgroundQueue = std::shared_ptr<korvane::BackgroundQueue>(pool, [](korvane::BackgroundQueue*) {});

    // The only place that names the settings store's shared instance; everything else is handed it.
    korvane::AppSettings& settings = korvane::AppSettings::shared();
    korvane::LinuxPlatform platform;
    korvane::ApplicationShell shell(settings, platform, mainQueue, backgroundQueue);
    shell.launch();

    const int status = QApplication::exec();

    shell.shutdown();
    korvane::Logger::log("Korvane exiting");
    std::fflush(nullptr);
    std::_Exit(status);
}
