#pragma once

#include "tests/support/TemporaryDirectory.h"
#include "tests/support/desktop/DesktopSession.h"
#include "tests/support/http/LoopbackHttpServer.h"
#include "tests/support/process/ChildProcess.h"
#include "tests/support/pulse/PulseTestDaemon.h"
#include "tests/support/pulse/SpeechClip.h"
#include "tools/modelgen/ModelRecipe.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace korvane::testing {

// Everything outside Korvane that a dictation goes through, started for real: a private desktop
// (Xvfb, openbox, session bus, AT-SPI bus) with a tray host (trayer), and a private PulseAudio
// daemon whose default source is the monitor of a sink that plays a spoken sentence on request.
// While it lives, DISPLAY, DBUS_SESSION_BUS_ADDRESS and PULSE_SERVER point at these.
class DictationDesktop {
public:
    // `sentence` is what speak() says (espeak-ng).
    explicit DictationDesktop(const std::string& sentence);
    ~DictationDesktop();

    DictationDesktop(const DictationDesktop&) = delete;
    DictationDesktop& operator=(const DictationDesktop&) = delete;

    // Plays the sentence into the microphone in real time; returns once it has been played.
    void speak() const;
    double sentenceSeconds() const { return clip_.seconds; }
    // The tray host's window, 0 when none was found.
    unsigned long trayWindow() const { return trayWindow_; }
    // Lets a client of another user reach the sound server: its socket takes anyone, only the
    // private folders above it keep other users out.
    void letOtherUsersReachSoundServer() const;

private:
    TemporaryDirectory files_{"korvane-dictation"};
    DesktopSession session_;
    std::unique_ptr<ChildProcess> tray_;
    unsigned long trayWindow_ = 0;
    PulseTestDaemon pulse_;
    SpeechClip clip_;
};

// A generated model offered through a model catalogue file. With `served`, the file is downloaded
// from a loopback HTTP server when Korvane first loads it (the catalogue's address points there);
// otherwise it is placed in the models folder of `home` beforehand, where the store takes it as it
// is. Nothing ever reaches the internet.
class CatalogueModel {
public:
    CatalogueModel(const std::string& name, const modelgen::ModelRecipe& recipe, const std::filesystem::path& home,
                   bool served);

    const std::string& name() const { return name_; }
    const std::filesystem::path& catalogueFile() const { return catalogueFile_; }
    // How often the model file was requested from the loopback server.
    std::size_t downloads() const;

private:
    std::string name_;
    std::string fileName_;
    TemporaryDirectory files_{"korvane-model"};
    std::filesystem::path catalogueFile_;
    std::unique_ptr<LoopbackHttpServer> server_;
};

// The korvane executable under test, runnable by any user: the libraries it loads from folders
// other users may not enter (a whisper.cpp built in root's home) are copied into a folder of its
// own, which LD_LIBRARY_PATH names.
class AppForAnyUser {
public:
    AppForAnyUser();

    const std::string& path() const { return path_; }
    // "NAME=value" to run it with; empty when it needs none.
    const std::vector<std::string>& environment() const { return environment_; }
    // A shell command line that runs it with `arguments`, as a compositor's binding runs one.
    std::string commandLine(const std::string& arguments) const;

private:
    TemporaryDirectory libraries_{"korvane-libraries"};
    std::string path_;
    std::vector<std::string> environment_;
};

// One line Korvane wrote to standard output or standard error, with the moment it arrived here.
struct ArrivedLine {
    std::chrono::steady_clock::time_point arrived;
    std::string text;
};

// The korvane executable, started on the current desktop and sound server with `home` as its home
// and XDG folders, `settingsJson` as its settings document and `catalogueFile` as its model
// catalogue. Its output is read on a thread as it comes, each line stamped with its arrival, so a
// caller can time the steps it logs (the log's own clock shows whole seconds only). Ended with
// SIGTERM on destruction.
class RunningKorvane {
public:
    struct Options {
        // Another user to run it as, as in a session of that user: its home (with the model placed
        // there) then belongs to that user, and the catalogue is copied into it. Empty: this
        // process's user.
        std::string user;
        // Variables of this process it does not get, and "NAME=value" it gets besides.
        std::vector<std::string> unset;
        std::vector<std::string> set;
    };

    // Without `settingsJson` whatever is at the settings file's place stays as it is.
    RunningKorvane(const std::filesystem::path& home, const std::optional<std::string>& settingsJson,
                   const std::filesystem::path& catalogueFile);
    RunningKorvane(const std::filesystem::path& home, const std::optional<std::string>& settingsJson,
                   const std::filesystem::path& catalogueFile, const Options& options);
    ~RunningKorvane();

    RunningKorvane(const RunningKorvane&) = delete;
    RunningKorvane& operator=(const RunningKorvane&) = delete;

    int pid() const { return process_->pid(); }
    bool running() { return process_->running(); }
    std::filesystem::path debugLog() const { return home_ / ".config/korvane/debug.log"; }

    // The index of the first line from index `from` on that contains `text`; nothing when none came
    // within `timeout`.
    std::optional<std::size_t> waitForLine(const std::string& text, std::chrono::milliseconds timeout,
                                           std::size_t from = 0) const;
    // The same for the first line that contains any of `texts`.
    std::optional<std::size_t> waitForAnyLine(const std::vector<std::string>& texts, std::chrono::milliseconds timeout,
                                              std::size_t from = 0) const;
    std::size_t lineCount() const;
    ArrivedLine line(std::size_t index) const;
    // Everything so far, for failure messages.
    std::string output() const;

private:
    void readOutput();

    std::filesystem::path home_;
    std::unique_ptr<AppForAnyUser> forUser_;
    std::unique_ptr<ChildProcess> process_;
    mutable std::mutex mutex_;
    std::vector<ArrivedLine> lines_;
    std::atomic<bool> stopping_{false};
    std::thread reader_;
};

// The CPU time (user + system, in clock ticks) and context switches (voluntary + involuntary, over
// all threads) of a process so far, from /proc.
struct ProcessActivity {
    long long cpuTicks = 0;
    long long contextSwitches = 0;
    long long residentKiB = 0;  // VmRSS at the moment of reading
};
ProcessActivity readProcessActivity(int pid);

}  // namespace korvane::testing
