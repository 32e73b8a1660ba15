// Korvane: local speech-to-text dictation from the system tray.
#include "app/QtMainQueue.h"
#include "app/SignalQuitter.h"
#include "app/wiring/InterimDelivery.h"
#include "app/wiring/VocabularyCleaner.h"
#include "core/dictation/DictationController.h"
#include "core/logging/Logger.h"
#include "core/scheduling/ThreadPool.h"
#include "core/settings/AppSettings.h"
#include "platform/linux/pulse/SystemAudioRecorder.h"
#include "transcription/whisper/AppSettingsPromptSettings.h"
#include "transcription/whisper/ModelStoreFiles.h"
#include "transcription/whisper/WhisperTranscriber.h"

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

    korvane::AppSettings& settings = korvane::AppSettings::shared();
    korvane::Logger::log(std::string(40, '='));
    korvane::Logger::log("Korvane (C++) starting");
    settings.migrateHotkeyBindingIfNeeded();

    auto mainQueue = std::make_shared<korvane::QtMainQueue>(&application);
    // Deliberately never destroyed: at quit a download may still block a worker, and waiting for
    // it would hang the exit. The process ends without joining (see below).
    auto* pool = new korvane::ThreadPool(backgroundThreadCount());
    auto backgroundQueue = std::shared_ptr<korvane::BackgroundQueue>(pool, [](korvane::BackgroundQueue*) {});

    auto transcriber = std::make_shared<korvane::WhisperTranscriber>(
        settings.modelSize(), std::make_shared<korvane::ModelStoreFiles>(korvane::ModelStore()),
        std::make_shared<korvane::AppSettingsPromptSettings>(settings));
    auto focus = std::make_shared<korvane::NoFocusTracking>();

    korvane::DictationCollaborators collaborators;
    collaborators.mainQueue = mainQueue;
    collaborators.backgroundQueue = backgroundQueue;
    collaborators.recorder = korvane::makeSystemAudioRecorder(*mainQueue);
    collaborators.transcriber = transcriber;
    collaborators.cleaner = std::make_shared<korvane::VocabularyCleaner>(settings);
    collaborators.focusTracker = focus;
    collaborators.accessibility = focus;
    collaborators.delivery = std::make_shared<korvane::ClipboardOnlyDelivery>();
    auto controller = korvane::DictationController::create(settings.modelSize(), std::move(collaborators));
    controller->setOnStatusChange(
        [](const korvane::DictationStatus& status) { korvane::Logger::log("Status changed: " + toString(status)); });

    korvane::Logger::log("App started -- main run loop active");
    controller->preloadModel(settings.modelSize());

    const int status = QApplication::exec();

    // Only the recogniser is shut down, so no load or transcription starts while the process
    // exits; pending timers and background work end with the process.
    transcriber->unload();
    korvane::Logger::log("Korvane exiting");
    std::fflush(nullptr);
    std::_Exit(status);
}
