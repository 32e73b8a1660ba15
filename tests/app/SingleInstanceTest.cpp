// SPDX-License-Identifier: MIT
// One Korvane per user, reached from the command line: the real executable runs (Qt's offscreen
// platform, a temporary home and runtime folder, a private sound server and a generated model), and
// further starts of it either hand their request to the running one or, with none running, say so
// and fail. What the running instance did shows in its debug log.
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempHome.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/desktop/DesktopSession.h"
#include "tests/support/models/GeneratedModels.h"
#include "tests/support/process/ChildProcess.h"
#include "tests/support/process/Programs.h"
#include "tests/support/pulse/PulseTestDaemon.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace korvane {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string output;  // standard output and error together
};

// Runs korvane with `options` to its end.
Outcome runKorvane(const std::string& options)
{
    Outcome outcome;
    const std::string command = "'" KORVANE_APP_PATH "' " + options + " 2>&1 </dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return outcome;
    }
    char chunk[512];
    while (const std::size_t count = std::fread(chunk, 1, sizeof(chunk), pipe)) {
        outcome.output.append(chunk, count);
    }
    const int status = ::pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

std::size_t occurrences(const std::string& text, const std::string& needle)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

constexpr const char* kStarted = "App started -- main run loop active";
constexpr const char* kListening = "Single instance: listening on ";

// A temporary home and session runtime folder for korvane, its debug log switched on; offscreen
// unless a desktop session runs.
class InstanceSession {
public:
    enum class Display { offscreen, desktop };

    explicit InstanceSession(Display display = Display::offscreen)
    {
        if (display == Display::offscreen) {
            platform_.emplace("QT_QPA_PLATFORM", "offscreen");
        }
        fs::create_directories(runtime_);
        fs::permissions(runtime_, fs::perms::owner_all, fs::perm_options::replace);
    }

    const fs::path& home() const { return home_.path(); }
    fs::path log() const { return home_.path() / ".config/korvane/debug.log"; }
    fs::path socket() const { return runtime_ / "korvane.socket"; }
    fs::path lockFile() const { return runtime_ / "korvane.lock"; }
    std::string logText() const { return testing::readFile(log()); }

    void writeSettings(const std::string& json) const
    {
        testing::writeFile(home_.path() / ".config/korvane/settings.json", json);
    }

    // Settings whose one model is missing and would come from a closed loopback port: the start-up
    // load fails at once and nothing reaches the network.
    void writeOfflineSettings() const
    {
        const fs::path catalogue = home_.path() / "offline-models.json";
        testing::writeFile(catalogue, R"({"version": 1, "models": [{"name": "absent", "file": "ggml-absent.bin",
            "bytes": 1000, "sha256": ")" + std::string(64, 'a') +
                                          R"(", "url": "http://127.0.0.1:9/ggml-absent.bin"}]})");
        writeSettings(R"({"debugLogging": true, "modelCatalogue": ")" + catalogue.string() + R"("})");
    }

    // Waits until the log holds `needles` at least `count` times in all.
    bool waitForLog(const std::vector<std::string>& needles, std::size_t count = 1,
                    std::chrono::seconds timeout = 30s) const
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::string text = logText();
            std::size_t found = 0;
            for (const std::string& needle : needles) {
                found += occurrences(text, needle);
            }
            if (found >= count) {
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    bool waitForLog(const std::string& needle, std::size_t count = 1) const
    {
        return waitForLog(std::vector<std::string>{needle}, count);
    }

    // Starts korvane with no sound server and a model that cannot be fetched (nothing reaches the
    // network) and waits until it takes requests; nothing when it never does.
    std::unique_ptr<testing::ChildProcess> startOffline(const std::string& option = {})
    {
        if (!noSound_) {
            noSound_.emplace("PULSE_SERVER", "unix:/nonexistent");
        }
        writeOfflineSettings();
        auto korvane = startKorvane(option);
        return waitForLog(kListening) ? std::move(korvane) : nullptr;
    }

    std::unique_ptr<testing::ChildProcess> startKorvane(const std::string& option = {}) const
    {
        std::vector<std::string> command{KORVANE_APP_PATH};
        if (!option.empty()) {
            command.push_back(option);
        }
        return std::make_unique<testing::ChildProcess>(command);
    }

private:
    testing::TempHome home_;
    fs::path runtime_ = home_.path() / "runtime";
    testing::ScopedEnvironment runtimeDir_{"XDG_RUNTIME_DIR", runtime_.string()};
    std::optional<testing::ScopedEnvironment> platform_;
    std::optional<testing::ScopedEnvironment> noSound_;
};

TEST(SingleInstance, ASecondStartAsksTheRunningOneForItsSettingsAndEnds)
{
    InstanceSession session;
    auto first = session.startOffline();
    ASSERT_TRUE(first) << session.logText();

    const Outcome second = runKorvane("");
    EXPECT_EQ(second.status, 0) << second.output;
    EXPECT_NE(second.output.find("running already"), std::string::npos) << second.output;
    // The settings window has no visible effect offscreen yet: the instance's own log line shows
    // that the request arrived and was taken.
    EXPECT_TRUE(session.waitForLog("Instance request: show-settings")) << session.logText();
    EXPECT_TRUE(first->running());
    // The second start never got as far as starting an application of its own.
    EXPECT_EQ(occurrences(session.logText(), kStarted), 1u) << session.logText();

    // --settings asks the same.
    EXPECT_EQ(runKorvane("--settings").status, 0);
    EXPECT_TRUE(session.waitForLog("Instance request: show-settings", 2)) << session.logText();
    EXPECT_EQ(occurrences(session.logText(), kStarted), 1u) << session.logText();
}

constexpr const char* kGeneralTitle = "General \u2014 Korvane";

// The window whose title is `title` on the test's X server, or "" while there is none.
std::string windowTitled(const std::string& title)
{
    const std::string found = testing::runProgram({"sh", "-c", "xdotool search --name '^" + title + "$' || true"});
    return found.substr(0, found.find('\n'));
}

TEST(SingleInstance, ASecondStartHandsItsStartupIdToTheSettingsWindow)
{
    testing::DesktopSession desktop;
    InstanceSession session(InstanceSession::Display::desktop);
    auto first = session.startOffline();
    ASSERT_TRUE(first) << session.logText();

    // As a launcher starts korvane from a menu: with the id of the launch in the environment.
    const std::string id = "korvane-launcher-4242-0_TIME1000";
    {
        testing::ScopedEnvironment launched("DESKTOP_STARTUP_ID", id);
        const Outcome second = runKorvane("--settings");
        EXPECT_EQ(second.status, 0) << second.output;
    }
    EXPECT_TRUE(session.waitForLog("Instance request: show-settings with a startup id")) << session.logText();
    // The running instance's settings window (titled by its open tab) carries it for the window
    // manager.
    std::string shown;
    EXPECT_TRUE(testing::waitFor(
        [&] {
            const std::string window = windowTitled(kGeneralTitle);
            shown = window.empty() ? "" : testing::runProgram({"xprop", "-id", window, "-notype", "_NET_STARTUP_ID"});
            return shown == "_NET_STARTUP_ID = \"" + id + "\"\n";
        },
        10s))
        << shown;
    EXPECT_TRUE(first->running());
}

TEST(SingleInstance, SettingsWithNoneRunningStartsKorvaneWithItsWindowOpen)
{
    testing::DesktopSession desktop;
    InstanceSession session(InstanceSession::Display::desktop);
    auto korvane = session.startOffline("--settings");
    ASSERT_TRUE(korvane) << session.logText();
    EXPECT_TRUE(testing::waitFor([] { return !windowTitled(kGeneralTitle).empty(); }, 10s)) << session.logText();
    EXPECT_TRUE(korvane->running()) << "it is the instance, not a request to one";
}

// An instance from before the tokens: holds the lock and answers only bare request words, as
// "unknown" to anything else. Records the lines it was sent.
class OlderInstance {
public:
    explicit OlderInstance(const InstanceSession& session)
        : lock_(::open(session.lockFile().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)),
          listener_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        ::flock(lock_, LOCK_EX);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", session.socket().c_str());
        ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        ::listen(listener_, 4);
        thread_ = std::thread([this] { serve(); });
    }
    ~OlderInstance()
    {
        stop_ = true;
        thread_.join();
        ::close(listener_);
        ::close(lock_);
    }
    OlderInstance(const OlderInstance&) = delete;
    OlderInstance& operator=(const OlderInstance&) = delete;

    std::vector<std::string> lines()
    {
        const std::lock_guard<std::mutex> guard(mutex_);
        return lines_;
    }

private:
    void serve()
    {
        while (!stop_) {
            pollfd waiting{listener_, POLLIN, 0};
            if (::poll(&waiting, 1, 50) <= 0) {
                continue;
            }
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            std::string line;
            char c = 0;
            while (::recv(client, &c, 1, 0) == 1 && c != '\n') {
                line += c;
            }
            const std::string answer = line == "show-settings" ? "ok\n" : "unknown\n";
            ::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
            ::close(client);
            const std::lock_guard<std::mutex> guard(mutex_);
            lines_.push_back(line);
        }
    }

    int lock_;
    int listener_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> lines_;
    std::thread thread_;
};

TEST(SingleInstance, AnInstanceFromBeforeTheTokensIsAskedAgainWithoutThem)
{
    InstanceSession session;
    OlderInstance older(session);
    testing::ScopedEnvironment launched("DESKTOP_STARTUP_ID", "launcher-1_TIME5");
    const Outcome outcome = runKorvane("--settings");
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_EQ(older.lines(), (std::vector<std::string>{"show-settings startup-id=launcher-1_TIME5", "show-settings"}));
}

TEST(SingleInstance, AStartAfterACrashTakesOverTheSocketItLeftBehind)
{
    InstanceSession session;
    auto crashed = session.startOffline();
    ASSERT_TRUE(crashed) << session.logText();
    crashed->signal(SIGKILL);
    while (crashed->running()) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(fs::exists(fs::symlink_status(session.socket()))) << "the killed instance left no socket behind";

    // Nobody answers on the left socket: a verb says so at once instead of waiting.
    const auto asked = std::chrono::steady_clock::now();
    const Outcome unanswered = runKorvane("--toggle");
    EXPECT_EQ(unanswered.status, 1) << unanswered.output;
    EXPECT_NE(unanswered.output.find("Korvane is not running"), std::string::npos) << unanswered.output;
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 3s);

    auto successor = session.startKorvane();
    ASSERT_TRUE(session.waitForLog(kListening, 2)) << session.logText();
    EXPECT_EQ(occurrences(session.logText(), kStarted), 2u) << session.logText();
    const Outcome toggled = runKorvane("--copy-last");
    EXPECT_EQ(toggled.status, 0) << toggled.output;
    EXPECT_TRUE(session.waitForLog("Instance request: copy-last")) << session.logText();
    EXPECT_TRUE(successor->running());
}

// Sends `bytes` on a fresh connection to `socket` and returns all that comes back before the
// instance closes it (or two seconds pass); nothing when no connection could be made.
std::optional<std::string> exchangeRaw(const fs::path& socket, const std::string& bytes)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", socket.c_str());
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    // The instance may answer and close before it has read everything: stop sending then.
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t count = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(count);
    }
    std::string received;
    char chunk[256];
    pollfd waiting{fd, POLLIN, 0};
    while (::poll(&waiting, 1, 2000) > 0) {
        const ssize_t count = ::recv(fd, chunk, sizeof(chunk), 0);
        if (count <= 0) {
            break;
        }
        received.append(chunk, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return received;
}

TEST(SingleInstance, AnOverLongRequestIsRefusedAndTheInstanceAnswersTheNext)
{
    InstanceSession session;
    auto korvane = session.startOffline();
    ASSERT_TRUE(korvane) << session.logText();

    EXPECT_EQ(exchangeRaw(session.socket(), "copy-last" + std::string(64 * 1024, ' ')), "unknown\n");
    EXPECT_TRUE(session.waitForLog("Refusing to act on an instance request that is not one")) << session.logText();
    EXPECT_EQ(exchangeRaw(session.socket(), "copy-last\n"), "ok\n");
    EXPECT_TRUE(session.waitForLog("Instance request: copy-last")) << session.logText();
    EXPECT_EQ(occurrences(session.logText(), "Instance request: "), 1u) << session.logText();
    EXPECT_TRUE(korvane->running());
}

TEST(SingleInstance, AnotherUserIsRefusedEvenWhereTheSocketIsOpenToThem)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "connecting as another user needs root";
    }
    InstanceSession session;
    auto korvane = session.startOffline();
    ASSERT_TRUE(korvane) << session.logText();
    // Loosened by hand after the start: only the peer check stands in the way now.
    fs::permissions(session.home(), fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(session.socket().parent_path(), fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(session.socket(), fs::perms::all, fs::perm_options::replace);

    const pid_t child = ::fork();
    if (child == 0) {
        constexpr uid_t nobody = 65534;
        if (::setgid(nobody) != 0 || ::setuid(nobody) != 0) {
            ::_exit(3);
        }
        const auto answer = exchangeRaw(session.socket(), "copy-last\n");
        ::_exit(!answer ? 2 : answer->empty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    EXPECT_TRUE(session.waitForLog("Single instance: refusing a connection from user 65534")) << session.logText();
    EXPECT_EQ(occurrences(session.logText(), "Instance request: "), 0u) << session.logText();
    EXPECT_TRUE(korvane->running());
}

TEST(SingleInstance, VerbsDriveTheRunningDictationAndFailWhenNoneRuns)
{
    // On a real X server, where Korvane also holds its shortcut: the verbs work beside it.
    testing::DesktopSession desktop;
    testing::PulseTestDaemon pulse({{"microphone", 48000, 1}});
    InstanceSession session(InstanceSession::Display::desktop);
    // A generated model already in the models folder, named by a catalogue file: it loads without
    // any download.
    const fs::path models = session.home() / ".local/share/Korvane/models";
    const ModelDefinition model =
        testing::writeGeneratedModel(models, "ggml-scripted.bin", testing::scriptedModel(" Hello there."));
    const fs::path catalogue = session.home() / "models.json";
    testing::writeFile(catalogue, R"({"version": 1, "models": [{"name": "scripted", "file": ")" + model.fileName +
                                      R"(", "bytes": )" + std::to_string(model.expectedBytes) + R"(, "sha256": ")" +
                                      model.sha256 + R"(", "url": "http://127.0.0.1:9/ggml-scripted.bin"}]})");
    session.writeSettings(R"({"debugLogging": true, "modelSize": "scripted", "modelCatalogue": ")" +
                          catalogue.string() + R"("})");

    auto korvane = session.startKorvane();
    ASSERT_TRUE(session.waitForLog("Status changed: ready(\"scripted\")")) << session.logText();
    ASSERT_TRUE(session.waitForLog(kListening)) << session.logText();
    ASSERT_TRUE(session.waitForLog("Carbon hotkey registered")) << session.logText();

    struct Step {
        const char* option;
        const char* status;  // the status the running dictation must reach
        std::size_t count;   // its number of occurrences by then
    };
    const Step steps[] = {
        {"--toggle", "Status changed: recording", 1},
        {"--toggle", "Status changed: transcribing", 1},
        {"--start", "Status changed: recording", 2},
        {"--stop", "Status changed: transcribing", 2},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.option);
        const Outcome outcome = runKorvane(step.option);
        EXPECT_EQ(outcome.status, 0) << outcome.output;
        ASSERT_TRUE(session.waitForLog(step.status, step.count)) << session.logText();
        // Each dictation ends before the next verb: with no speech, or with no audio at all when
        // the stop came before the first block was captured.
        if (std::string(step.status).find("transcribing") != std::string::npos) {
            ASSERT_TRUE(session.waitForLog(
                std::vector<std::string>{"Status changed: noSpeech", "Status changed: error(\"No audio\")"},
                step.count))
                << session.logText();
        }
    }
    EXPECT_EQ(runKorvane("--copy-last").status, 0);
    EXPECT_TRUE(session.waitForLog("Instance request: copy-last")) << session.logText();

    korvane->signal(SIGTERM);
    ASSERT_TRUE(session.waitForLog("Korvane exiting")) << session.logText();
    while (korvane->running()) {
        std::this_thread::sleep_for(10ms);
    }
    for (const char* option : {"--toggle", "--start", "--stop", "--copy-last"}) {
        const Outcome outcome = runKorvane(option);
        EXPECT_EQ(outcome.status, 1) << option << ": " << outcome.output;
        EXPECT_EQ(outcome.output.rfind("korvane: Korvane is not running, so it cannot ", 0), 0u)
            << option << ": " << outcome.output;
    }
}

}  // namespace
}  // namespace korvane
