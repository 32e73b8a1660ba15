#include "tests/support/pulse/PulseTestDaemon.h"

#include "tests/support/TempHome.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace korvane::testing {

namespace {

void writeText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream file(path);
    file << text;
    if (!file) {
        throw std::runtime_error("could not write " + path.string());
    }
}

bool acceptsConnections(const std::filesystem::path& socketPath)
{
    const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    const bool connected = connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(probe);
    return connected;
}

// The environment for the daemon: ours, but with every directory it might write pointed into `home`.
std::vector<std::string> daemonEnvironment(const std::filesystem::path& home)
{
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view variable(*entry);
        if (variable.starts_with("HOME=") || variable.starts_with("XDG_") || variable.starts_with("PULSE_") ||
            variable.starts_with("DBUS_SESSION_BUS_ADDRESS=")) {
            continue;
        }
        variables.emplace_back(variable);
    }
    variables.push_back("HOME=" + home.string());
    variables.push_back("XDG_RUNTIME_DIR=" + (home / "runtime").string());
    variables.push_back("XDG_CONFIG_HOME=" + (home / "config").string());
    variables.push_back("PULSE_RUNTIME_PATH=" + (home / "runtime").string());
    variables.push_back("PULSE_STATE_PATH=" + (home / "state").string());
    return variables;
}

}  // namespace

PulseTestDaemon::PulseTestDaemon(std::vector<Sink> sinks) : directory_("korvane-pulse"), sinks_(std::move(sinks))
{
    const std::filesystem::path& home = directory_.path();
    std::filesystem::create_directories(home / "runtime");
    std::filesystem::permissions(home / "runtime", std::filesystem::perms::owner_all);
    const std::filesystem::path socketPath = home / "runtime" / "native";
    serverAddress_ = "unix:" + socketPath.string();

    // The socket is opened last, so a daemon that accepts connections already has every device.
    std::ostringstream script;
    for (const Sink& sink : sinks_) {
        script << "load-module module-null-sink sink_name=" << sink.name << " rate=" << sink.rate
               << " channels=" << sink.channels << " format=float32le\n";
    }
    if (!sinks_.empty()) {
        script << "set-default-source " << sinks_.front().monitor() << "\n";
    }
    script << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << socketPath.string() << "\n";
    writeText(home / "daemon.pa", script.str());
    writeText(home / "client.conf", "autospawn = no\n");

    launch();
    server_ = std::make_unique<ScopedEnvironment>("PULSE_SERVER", serverAddress_);
    clientConfig_ = std::make_unique<ScopedEnvironment>("PULSE_CLIENTCONFIG", (home / "client.conf").string());
}

void PulseTestDaemon::launch()
{
    const std::filesystem::path& home = directory_.path();
    std::vector<std::string> arguments = {"pulseaudio",
                                          "-n",
                                          "--daemonize=no",
                                          "--exit-idle-time=-1",
                                          "--use-pid-file=no",
                                          "--realtime=no",
                                          "--high-priority=no",
                                          "--disallow-module-loading=no",
                                          "--log-target=stderr",
                                          "--log-level=info",
                                          "-F",
                                          (home / "daemon.pa").string()};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> environment = daemonEnvironment(home);
    std::vector<char*> envp;
    for (std::string& variable : environment) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);

    const std::string logPath = (home / "daemon.log").string();
    const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int output = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (input < 0 || output < 0) {
        throw std::runtime_error("could not open the daemon's standard streams");
    }
    pid_ = fork();
    if (pid_ == 0) {
        // Only async-signal-safe calls until exec. The daemon must not outlive a test process that
        // crashes or is killed, or it would keep running with nobody to stop it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(input, STDIN_FILENO);
        dup2(output, STDOUT_FILENO);
        dup2(output, STDERR_FILENO);
        execvpe("pulseaudio", argv.data(), envp.data());
        _exit(127);
    }
    const int forkError = errno;
    close(input);
    close(output);
    if (pid_ < 0) {
        pid_ = -1;
        throw std::runtime_error(std::string("could not start pulseaudio: ") + std::strerror(forkError));
    }

    try {
        waitUntilAccepting();
    } catch (...) {
        stop();
        throw;
    }
    try {
        for (const Sink& sink : sinks_) {
            feed(sink);
        }
    } catch (...) {
        feeders_.clear();
        stop();
        throw;
    }
}

PulseTestDaemon::~PulseTestDaemon()
{
    feeders_.clear();
    stop();
}

void PulseTestDaemon::waitUntilAccepting()
{
    const std::filesystem::path socketPath = directory() / "runtime" / "native";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!acceptsConnections(socketPath)) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("pulseaudio exited while starting:\n" + log());
        }
        if (std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error("pulseaudio did not open its socket in time:\n" + log());
        }
        // Start-up takes a few hundred milliseconds; check again shortly.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void PulseTestDaemon::stop()
{
    if (pid_ <= 0) {
        return;
    }
    ::kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
}

void PulseTestDaemon::restart()
{
    feeders_.clear();
    kill();
    launch();
}

void PulseTestDaemon::kill()
{
    if (pid_ <= 0) {
        return;
    }
    ::kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

std::string PulseTestDaemon::pactl(const std::vector<std::string>& arguments) const
{
    std::vector<std::string> command = {"pactl", "--server=" + serverAddress_};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return runProgram(command);
}

void PulseTestDaemon::setDefaultSource(const std::string& source) const
{
    pactl({"set-default-source", source});
}

void PulseTestDaemon::play(const std::string& sink, const std::filesystem::path& soundFile) const
{
    // A short client buffer: the default one makes paplay wait most of a second after the end.
    runProgram({"paplay", "--server=" + serverAddress_, "--latency-msec=100", "--device=" + sink, soundFile.string()});
}

void PulseTestDaemon::feed(const Sink& sink)
{
    feeders_.push_back(std::make_unique<BackgroundProgram>(
        std::vector<std::string>{"pacat", "--server=" + serverAddress_, "--playback", "--device=" + sink.name,
                                 "--format=float32le", "--rate=" + std::to_string(sink.rate),
                                 "--channels=" + std::to_string(sink.channels), "--latency-msec=20"},
        "/dev/zero"));
}

void PulseTestDaemon::addSink(const Sink& sink)
{
    pactl({"load-module", "module-null-sink", "sink_name=" + sink.name, "rate=" + std::to_string(sink.rate),
           "channels=" + std::to_string(sink.channels), "format=float32le"});
    const std::string sinks = pactl({"list", "short", "sinks"});
    const std::size_t named = sinks.find("\t" + sink.name + "\t");
    const std::size_t line = named == std::string::npos ? std::string::npos : sinks.rfind('\n', named);
    const std::string index = named == std::string::npos
                                  ? std::string()
                                  : sinks.substr(line == std::string::npos ? 0 : line + 1,
                                                 named - (line == std::string::npos ? 0 : line + 1));
    feed(sink);
    // Until the silence plays, the new sink is idle and would drop the start of the next sound
    // played into it; wait for the feeder's stream ("<id>\t<sink index>\t...").
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!index.empty() && std::chrono::steady_clock::now() < deadline) {
        if (pactl({"list", "short", "sink-inputs"}).find("\t" + index + "\t") != std::string::npos) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // And let it play for a moment, as the sinks given at the start have before any test plays.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

void PulseTestDaemon::removeSink(const std::string& name) const
{
    // Each module line reads "<index>\t<module>\t<arguments>"; the sink's module names it first.
    const std::string modules = pactl({"list", "short", "modules"});
    const std::string argument = "sink_name=" + name + " ";
    const std::size_t found = modules.find(argument);
    if (found == std::string::npos) {
        throw std::runtime_error("no module made the sink " + name + ":\n" + modules);
    }
    const std::size_t line = modules.rfind('\n', found);
    const std::size_t start = line == std::string::npos ? 0 : line + 1;
    pactl({"unload-module", modules.substr(start, modules.find_first_of(" \t", start) - start)});
}

void PulseTestDaemon::addSource(const std::string& name, const std::string& master, const std::string& properties) const
{
    // A remapping source, since the null devices take no properties for their sources.
    pactl({"load-module", "module-remap-source", "source_name=" + name, "master=" + master,
           "source_properties='" + properties + "'"});
}

std::string PulseTestDaemon::log() const
{
    return readFile(directory() / "daemon.log");
}

}  // namespace korvane::testing
