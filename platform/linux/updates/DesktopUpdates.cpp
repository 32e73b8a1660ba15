#include "platform/linux/updates/DesktopUpdates.h"

#include "base/version/BuildVersion.h"
#include "core/updates/ExecutableIdentity.h"
#include "platform/linux/net/CurlFeedFetcher.h"
#include "platform/linux/updates/ExecutableWatch.h"
#include "platform/linux/updates/ProcessRelaunch.h"

#include <QCoreApplication>

namespace korvane {

namespace {

// The relaunch action: refuses (and keeps running) when the installed file cannot be run, since the
// shutdown before it cannot be undone; after a failed exec the process quits rather than limp on
// without its recogniser.
std::function<void()> relaunchAction(ProcessRelaunch relaunch, std::function<void()> shutdown, LogSink log)
{
    return [relaunch = std::move(relaunch), shutdown = std::move(shutdown), log = std::move(log)] {
        if (!identifyExecutable(relaunch.executable())) {
            log("Refusing to relaunch: " + relaunch.executable().string() + " is not an executable file");
            return;
        }
        if (shutdown) {
            shutdown();
        }
        const std::string error = relaunch.exec();
        log("Relaunch failed: " + error);
        QCoreApplication::exit(1);
    };
}

}  // namespace

DesktopUpdates::DesktopUpdates(AppSettings& settings, Parts parts)
{
    ProcessRelaunch relaunch = ProcessRelaunch::ofThisProcess();
    const std::filesystem::path executable = relaunch.executable();
    UpdateCollaborators collaborators;
    collaborators.mainQueue = std::move(parts.mainQueue);
    collaborators.backgroundQueue = std::move(parts.backgroundQueue);
    collaborators.fetcher = std::make_shared<CurlFeedFetcher>();
    collaborators.prompts = std::move(parts.prompts);
    collaborators.isBusy = std::move(parts.isBusy);
    collaborators.relaunch = relaunchAction(std::move(relaunch), std::move(parts.shutdown), parts.log);
    collaborators.log = parts.log;
    collaborators.currentVersion = std::string(korvaneVersion());
    controller_ = UpdateController::create(settings, std::move(collaborators));

    std::weak_ptr<UpdateController> weak = controller_;
    watch_ = std::make_unique<ExecutableWatch>(executable, [weak] {
        if (auto controller = weak.lock()) {
            controller->executableReplaced();
        }
    });
    if (!watch_->isWatching()) {
        parts.log("Cannot watch " + executable.parent_path().string() + " for upgrades; no relaunch will be offered");
    }
}

DesktopUpdates::~DesktopUpdates() = default;

void DesktopUpdates::start()
{
    controller_->start();
}

}  // namespace korvane
