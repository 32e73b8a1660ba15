// SPDX-License-Identifier: MIT
// Starts the real korvane executable (Qt's offscreen platform, a temporary home) and checks what a
// user or a session manager relies on: the start banner, settings taken over, and a clean exit on
// SIGTERM and SIGINT.
#include "tests/support/TempHome.h"
#include "tests/support/desktop/DesktopSession.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace korvane {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class RunningApp {
public:
    // With an empty `stderrFile` the application starts with standard error closed. Offscreen
    // unless `onDisplay`: then on the X server the environment names.
    RunningApp(const fs::path& home, const fs::path& stderrFile, bool onDisplay = false)
    {
        pid_ = ::fork();
        if (pid_ == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, STDIN_FILENO);
            ::dup2(null, STDOUT_FILENO);
            if (null > STDERR_FILENO) {
                ::close(null);
            }
            if (stderrFile.empty()) {
                ::close(STDERR_FILENO);
            } else {
                const int err = ::open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                ::dup2(err, STDERR_FILENO);
            }
            ::setenv("HOME", home.c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
            ::setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
            ::setenv("XDG_RUNTIME_DIR", (home / "runtime").c_str(), 1);
            if (!onDisplay) {
                ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            }
            ::setenv("PULSE_SERVER", "unix:/nonexistent", 1);  // never reach a real sound server
            ::execl(KORVANE_APP_PATH, KORVANE_APP_PATH, static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }

    ~RunningApp()
    {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    void signal(int number) { ::kill(pid_, number); }

    // What the process's descriptor `fd` refers to, as /proc shows it; empty when it is not open.
    std::string descriptorTarget(int fd) const
    {
        std::error_code error;
        const auto target = fs::read_symlink("/proc/" + std::to_string(pid_) + "/fd/" + std::to_string(fd), error);
        return error ? std::string() : target.string();
    }

    // The exit status, or -1 when the process did not end within the timeout.
    int waitForExit(std::chrono::seconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
};

// Polls `path` until it contains `needle`; false after the timeout.
bool waitForText(const fs::path& path, const std::string& needle, std::chrono::seconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (testing::readFile(path).find(needle) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

// A session's runtime directory, private as the desktop makes it (Qt warns about any other mode).
void makeRuntimeDir(const fs::path& home)
{
    fs::create_directories(home / "runtime");
    fs::permissions(home / "runtime", fs::perms::owner_all, fs::perm_options::replace);
}

// What the process wrote to standard error, less the offscreen platform's own notes: here the model
// cannot be fetched, and when the listening indicator shows that error before the signal arrives,
// Qt says that this platform cannot raise it ("This plugin does not support raise()").
std::string ownErrorOutput(const fs::path& path)
{
    std::istringstream lines(testing::readFile(path));
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("This plugin does not support ")) {
            kept += line + "\n";
        }
    }
    return kept;
}

class AppLifecycle : public ::testing::TestWithParam<int> {};

TEST_P(AppLifecycle, WritesTheBannerAndEndsCleanlyOnSignal)
{
    testing::TempHome home;
    makeRuntimeDir(home.path());
    const fs::path settings = home.path() / ".config/korvane/settings.json";
    testing::writeFile(settings, R"({"debugLogging": true, "modelSize": "base"})");
    const fs::path log = home.path() / ".config/korvane/debug.log";

    RunningApp app(home.path(), home.path() / "stderr.txt");
    ASSERT_TRUE(waitForText(log, "App started -- main run loop active", 30s)) << testing::readFile(log);
    app.signal(GetParam());
    EXPECT_EQ(app.waitForExit(30s), 0);

    const std::string lines = testing::readFile(log);
    EXPECT_NE(lines.find(" " + std::string(40, '=') + "\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find(" Korvane (C++) starting\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("Korvane exiting"), std::string::npos) << lines;
    // The stored model choice is the one the application loads first.
    EXPECT_NE(lines.find("loading(\"base\")"), std::string::npos) << lines;
    // The legacy shortcut settings were converted once, and the user's own keys kept.
    const std::string stored = testing::readFile(settings);
    EXPECT_NE(stored.find("hotkeyBindingV2"), std::string::npos) << stored;
    EXPECT_NE(stored.find("\"debugLogging\": true"), std::string::npos) << stored;
}

INSTANTIATE_TEST_SUITE_P(Signals, AppLifecycle, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return param.param == SIGTERM ? "SIGTERM" : "SIGINT";
                         });

TEST(AppLifecycleDisplay, TheXServerGoingAwayEndsKorvaneWithItsLastLineAndItsSettingsKept)
{
    testing::DesktopSession desktop;
    testing::TempHome home;
    makeRuntimeDir(home.path());
    const fs::path settings = home.path() / ".config/korvane/settings.json";
    testing::writeFile(settings, R"({"debugLogging": true, "modelSize": "base", "someLaterKey": [1, 2]})");
    const fs::path log = home.path() / ".config/korvane/debug.log";

    RunningApp app(home.path(), home.path() / "stderr.txt", true);
    ASSERT_TRUE(waitForText(log, "Carbon hotkey registered", 30s)) << testing::readFile(log);
    const std::string stored = testing::readFile(settings);  // as the launch left them
    desktop.killDisplay();

    // Ended by its own exit, not by a signal (a crash, with a core dump).
    const int status = app.waitForExit(30s);
    EXPECT_TRUE(status > 0 && status < 128) << "exit status " << status;
    const std::string lines = testing::readFile(log);
    EXPECT_TRUE(lines.ends_with("Korvane exiting\n")) << lines;
    EXPECT_EQ(testing::readFile(settings), stored);
    EXPECT_NE(stored.find("someLaterKey"), std::string::npos) << stored;
}

// Started with standard error closed, the application must not let the next file it opens take
// descriptor 2: log lines would then be written into that file.
TEST(AppLifecycleClosedStandardError, ParksTheMissingDescriptorOnDevNull)
{
    testing::TempHome home;
    makeRuntimeDir(home.path());
    const fs::path settings = home.path() / ".config/korvane/settings.json";
    testing::writeFile(settings, R"({"debugLogging": true, "modelSize": "base"})");
    const fs::path log = home.path() / ".config/korvane/debug.log";

    RunningApp app(home.path(), {});
    ASSERT_TRUE(waitForText(log, "App started -- main run loop active", 30s)) << testing::readFile(log);
    EXPECT_EQ(app.descriptorTarget(STDERR_FILENO), "/dev/null");
    app.signal(SIGTERM);
    EXPECT_EQ(app.waitForExit(30s), 0);
    const std::string stored = testing::readFile(settings);
    EXPECT_EQ(stored.find("Korvane"), std::string::npos) << stored;
    EXPECT_NE(stored.find("hotkeyBindingV2"), std::string::npos) << stored;
}

// Offscreen there is no X server, so Korvane is not trusted: a stored modifier-only shortcut cannot
// be registered at launch, and the shell starts waiting for the permission before the run loop.
TEST(AppLifecycleShortcut, AChordWithoutThePermissionStartsTheWait)
{
    testing::TempHome home;
    makeRuntimeDir(home.path());
    const fs::path settings = home.path() / ".config/korvane/settings.json";
    testing::writeFile(settings, R"({"debugLogging": true, "modelSize": "base", "hotkeyBindingV2":
        "{\"version\":2,\"kind\":\"modifierChord\",\"modifiers\":[\"function\",\"option\"]}"})");
    const fs::path log = home.path() / ".config/korvane/debug.log";

    RunningApp app(home.path(), home.path() / "stderr.txt");
    ASSERT_TRUE(waitForText(log, "App started -- main run loop active", 30s)) << testing::readFile(log);
    app.signal(SIGTERM);
    EXPECT_EQ(app.waitForExit(30s), 0);

    const std::string lines = testing::readFile(log);
    const auto waiting = lines.find(" Waiting for Accessibility before registering modifier-only hotkey\n");
    EXPECT_NE(waiting, std::string::npos) << lines;
    EXPECT_LT(waiting, lines.find("App started -- main run loop active")) << lines;
    EXPECT_NE(lines.find("Accessibility trusted: false"), std::string::npos) << lines;
}

TEST(AppLifecycleQuiet, SaysNothingWhileTheDebugLogIsOff)
{
    testing::TempHome home;
    makeRuntimeDir(home.path());
    const fs::path errors = home.path() / "stderr.txt";
    RunningApp app(home.path(), errors);
    // The first settings write (the shortcut conversion) shows that start-up has run.
    ASSERT_TRUE(waitForText(home.path() / ".config/korvane/settings.json", "hotkeyBindingV2", 30s));
    app.signal(SIGTERM);
    EXPECT_EQ(app.waitForExit(30s), 0);
    EXPECT_FALSE(fs::exists(home.path() / ".config/korvane/debug.log"));
    EXPECT_EQ(ownErrorOutput(errors), "");
}

}  // namespace
}  // namespace korvane
