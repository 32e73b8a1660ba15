// SPDX-License-Identifier: MIT
// Korvane: local speech-to-text dictation from the system tray.
#include "app/ApplicationShell.h"
#include "app/CommandLine.h"
#include "app/SignalQuitter.h"
#include "app/SingleInstance.h"
#include "app/selftest/SelfTest.h"
#include "base/files/UserDirectories.h"
#include "base/logging/Logger.h"
#include "base/scheduling/ThreadPool.h"
#include "base/version/BuildVersion.h"
#include "base/version/Credits.h"
#include "core/settings/AppSettings.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/QtMainQueue.h"
#include "platform/linux/SessionEnvironment.h"
#include "transcription/models/ModelCatalogue.h"

#include <QApplication>
#include <QIcon>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// How long a start waits for the running instance: it may be starting itself (it holds the lock
// before it listens), and it answers from its event loop.
constexpr auto instancePatience = 5s;

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

std::string instanceSocketText()
{
    std::string problem;
    const std::optional<korvane::InstancePaths> paths = korvane::findInstancePaths(problem);
    return paths ? paths->socket.string() : "none (" + problem + ")";
}

int printHelp()
{
    korvane::HelpLocations locations;
    locations.settingsFile = korvane::AppSettings::defaultFile();
    locations.logFile = korvane::Logger::logFilePath();
    locations.modelsDirectory = korvane::modelsDirFor(std::getenv("XDG_DATA_HOME"), korvane::homeDirectory().c_str());
    locations.autostartFile = korvane::configHome() / "autostart" / "korvane.desktop";
    locations.instanceSocket = instanceSocketText();
    std::fputs(korvane::helpText(locations).c_str(), stdout);
    return 0;
}

// Says on standard error why the running instance could not take the request; the exit status.
int reportUnanswered(korvane::InstanceReply reply, korvane::CommandAction action, const korvane::InstancePaths& paths)
{
    switch (reply) {
    case korvane::InstanceReply::answered:
        return 0;
    case korvane::InstanceReply::notRunning:
        std::fprintf(stderr, "%s\n", korvane::noInstanceMessage(action).c_str());
        break;
    case korvane::InstanceReply::noAnswer:
        std::fprintf(stderr, "korvane: a Korvane is running (it holds %s) but did not answer on %s.\n",
                     paths.lockFile.c_str(), paths.socket.c_str());
        break;
    case korvane::InstanceReply::refused:
        std::fprintf(stderr, "korvane: the running Korvane is an older version that does not know this request; "
                             "quit it and start Korvane again.\n");
        break;
    }
    return korvane::noInstanceStatus;
}

// --toggle, --start, --stop and --copy-last: one request to the running instance.
int askInstance(korvane::CommandAction action)
{
    std::string problem;
    const std::optional<korvane::InstancePaths> paths = korvane::findInstancePaths(problem);
    if (!paths) {
        std::fprintf(stderr, "korvane: no folder to find the running Korvane in: %s\n", problem.c_str());
        return korvane::noInstanceStatus;
    }
    const korvane::InstanceReply reply =
        korvane::askRunningInstance(*paths, {*korvane::requestFor(action), {}}, instancePatience);
    return reportUnanswered(reply, action, *paths);
}

bool instanceRunningElsewhere()
{
    std::string problem;
    const std::optional<korvane::InstancePaths> paths = korvane::findInstancePaths(problem);
    return paths && korvane::InstanceLock(paths->lockFile).heldElsewhere();
}

void handleInstanceRequest(korvane::ApplicationShell& shell, const korvane::InstanceMessage& message)
{
    switch (message.request) {
    case korvane::InstanceRequest::showSettings:
        shell.showSettings(message.tokens);
        break;
    case korvane::InstanceRequest::toggle:
        shell.toggleDictation();
        break;
    case korvane::InstanceRequest::start:
        shell.startDictation();
        break;
    case korvane::InstanceRequest::stop:
        shell.stopDictation();
        break;
    case korvane::InstanceRequest::copyLast:
        shell.copyLastTranscript();
        break;
    }
}

// Ends the tray application without joining its threads or running static destructors: at quit a
// download may still block a worker, and waiting for it would hang the exit. Settings are saved as
// they change, so nothing is left to write.
[[noreturn]] void endAtOnce(int status)
{
    korvane::Logger::log("Korvane exiting");
    std::fflush(nullptr);
    std::_Exit(status);
}

// The tray application, unless one runs already: then that one opens its settings window. With
// `openSettings` (--settings) this one opens its own at once when it is the first.
int runApplication(int argc, char** argv, bool openSettings)
{
    // Read before Qt starts: its X11 platform takes the startup id out of the environment.
    const korvane::ActivationTokens launchTokens =
        korvane::activationTokensFrom(std::getenv("DESKTOP_STARTUP_ID"), std::getenv("XDG_ACTIVATION_TOKEN"));
    std::string instanceProblem;
    const std::optional<korvane::InstancePaths> instancePaths = korvane::findInstancePaths(instanceProblem);
    std::unique_ptr<korvane::InstanceLock> instanceLock;
    if (instancePaths) {
        instanceLock = std::make_unique<korvane::InstanceLock>(instancePaths->lockFile);
        // The running instance's window comes forward in this start's place: it needs the tokens
        // the launcher gave this start, or a desktop that prevents focus stealing keeps it back.
        const korvane::InstanceMessage message{korvane::InstanceRequest::showSettings, launchTokens};
        const korvane::InstanceReply reply =
            korvane::askRunningInstance(*instancePaths, message, instancePatience, instanceLock.get());
        if (reply == korvane::InstanceReply::answered) {
            std::printf("Korvane is running already; it shows its settings window now.\n");
            return 0;
        }
        if (reply != korvane::InstanceReply::notRunning) {
            return reportUnanswered(reply, korvane::CommandAction::run, *instancePaths);
        }
        // notRunning: this process is the instance, with the lock in hand unless it cannot be had.
        if (!instanceLock->held()) {
            instanceProblem = instancePaths->lockFile.string() + " cannot be opened";
        }
    }

    // Korvane's windows go where this session can place them and share its clipboard: X11
    // wherever an X server runs, XWayland included.
    std::vector<char*> qtArguments =
        korvane::qtArgumentsFor(korvane::sessionFactsFrom(korvane::currentSessionEnvironment()), argc, argv);
    int qtArgumentCount = static_cast<int>(qtArguments.size()) - 1;
    QApplication application(qtArgumentCount, qtArguments.data());
    QApplication::setApplicationName("Korvane");
    QApplication::setQuitOnLastWindowClosed(false);
    // Our windows belong to the installed desktop entry (its name and icon in task switchers).
    QGuiApplication::setDesktopFileName("korvane");
    QApplication::setWindowIcon(QIcon::fromTheme("korvane"));

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

    // Requests are taken only once the shell is up; a start that asks earlier keeps trying while
    // this process holds the lock.
    std::unique_ptr<korvane::InstanceServer> instanceServer;
    if (instanceLock && instanceLock->held()) {
        instanceServer = std::make_unique<korvane::InstanceServer>(
            *instancePaths,
            [&shell](const korvane::InstanceMessage& message) { handleInstanceRequest(shell, message); });
        instanceServer->listen();
    } else {
        korvane::Logger::log("Single instance: off, " + instanceProblem);
    }
    if (openSettings) {
        shell.showSettings(launchTokens);
    }

    // Qt's X11 platform and Xlib call exit() when the display goes away. exit() would run the
    // static destructors while the worker threads still use what they tear down; end the way the
    // normal path below does instead, with the log's last line written. Registered last, once the
    // settings and the rest are up, so that it runs before any of their destructors.
    ::on_exit([](int exitStatus, void*) { endAtOnce(exitStatus); }, nullptr);
    const int status = QApplication::exec();

    shell.shutdown();
    instanceServer.reset();  // takes the socket away: later requests learn at once that none runs
    endAtOnce(status);
}

}  // namespace

int main(int argc, char** argv)
{
    reserveStandardDescriptors();

    const korvane::ParsedCommandLine command =
        korvane::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!command.error.empty()) {
        std::fprintf(stderr, "korvane: %s\nTry 'korvane --help' for the options.\n", command.error.c_str());
        return korvane::usageStatus;
    }
    switch (command.action) {
    case korvane::CommandAction::help:
        return printHelp();
    case korvane::CommandAction::version:
        std::fputs(korvane::versionLine(korvane::korvaneVersion(), korvane::korvaneBuild()).c_str(), stdout);
        if (command.verbose) {
            std::fputs(korvane::creditsText().c_str(), stdout);
        }
        return 0;
    case korvane::CommandAction::selfTest:
        return korvane::runSelfTest(argc, argv, korvane::AppSettings::shared(), instanceRunningElsewhere());
    case korvane::CommandAction::toggle:
    case korvane::CommandAction::start:
    case korvane::CommandAction::stop:
    case korvane::CommandAction::copyLast:
        return askInstance(command.action);
    case korvane::CommandAction::run:
        break;
    }
    return runApplication(argc, argv, command.openSettings);
}
