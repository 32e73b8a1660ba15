#pragma once

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/process/Programs.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sys/types.h>

namespace korvane::testing {

// A private PulseAudio daemon for tests: started in a temporary runtime directory (its own HOME,
// XDG_RUNTIME_DIR and socket, no configuration from the machine, no autospawn), with a null sink per
// requested format whose monitor serves as an input source. Each sink is kept playing silence, so its
// monitor runs on a steady clock like a microphone does (an idle null sink delivers irregularly and
// drops the first fragment of whatever is played next). While it lives, this process's
// PULSE_SERVER points at it, so the code under test and the pactl/paplay calls below never reach a
// system daemon. Destruction stops the daemon and removes the directory.
class PulseTestDaemon {
public:
    struct Sink {
        std::string name;
        unsigned rate;
        unsigned channels;

        // The input source that records what is played into this sink.
        std::string monitor() const { return name + ".monitor"; }
    };

    // The first sink's monitor becomes the default source. With no sinks there is no source at all.
    explicit PulseTestDaemon(std::vector<Sink> sinks);
    ~PulseTestDaemon();

    PulseTestDaemon(const PulseTestDaemon&) = delete;
    PulseTestDaemon& operator=(const PulseTestDaemon&) = delete;

    const std::string& serverAddress() const { return serverAddress_; }
    const std::filesystem::path& directory() const { return directory_.path(); }

    // Runs pactl against this daemon and returns its output.
    std::string pactl(const std::vector<std::string>& arguments) const;

    void setDefaultSource(const std::string& source) const;

    // Plugs in another sink (and so its monitor source) while the daemon runs, playing silence like
    // those given at the start.
    void addSink(const Sink& sink);

    // Unplugs a sink: the sink and its monitor source go away.
    void removeSink(const std::string& name) const;

    // Plugs in a source named `name` that records what `master` records and carries `properties`
    // ("device.bus=bluetooth ..."), for what a source says about itself.
    void addSource(const std::string& name, const std::string& master, const std::string& properties) const;

    // Plays a sound file into `sink` in real time; returns once it has been played.
    void play(const std::string& sink, const std::filesystem::path& soundFile) const;

    // Ends the daemon at once (SIGKILL), as a crash would.
    void kill();
    // Kills the daemon and starts it again on the same address with the sinks it started with, as a
    // crashed sound server is brought back by the session.
    void restart();

    // What the daemon wrote to its log, for failure messages.
    std::string log() const;

private:
    void launch();
    void waitUntilAccepting();
    void feed(const Sink& sink);
    void stop();

    TemporaryDirectory directory_;
    std::vector<Sink> sinks_;
    std::string serverAddress_;
    pid_t pid_ = -1;
    std::vector<std::unique_ptr<BackgroundProgram>> feeders_;
    std::unique_ptr<ScopedEnvironment> server_;
    std::unique_ptr<ScopedEnvironment> clientConfig_;
};

}  // namespace korvane::testing
