#include "tests/support/wayland/HeadlessSway.h"

#include "tests/support/process/Programs.h"

#include <nlohmann/json.hpp>

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <thread>

namespace korvane::testing {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Account {
    uid_t uid;
    gid_t gid;
};

// sway refuses to run as root, so a test running as root gives it (and whatever must share its
// session) the unprivileged user nobody; any other user runs it as themselves.
Account sessionAccount()
{
    if (::geteuid() != 0) {
        return {::getuid(), ::getgid()};
    }
    const passwd* entry = ::getpwnam("nobody");
    if (entry == nullptr) {
        throw std::runtime_error("there is no user nobody to run sway as");
    }
    return {entry->pw_uid, entry->pw_gid};
}

// The command prefix that runs a program as the session's user. Changing user clears the signal
// that ends a child with its parent, so it is asked for again: a crashed test leaves no
// compositor behind.
std::vector<std::string> asNobody()
{
    if (::geteuid() != 0) {
        return {"setpriv", "--pdeathsig=SIGKILL"};
    }
    const Account account = sessionAccount();
    return {"setpriv", "--reuid=" + std::to_string(account.uid), "--regid=" + std::to_string(account.gid),
            "--clear-groups", "--pdeathsig=SIGKILL"};
}

void append(std::vector<std::string>& to, const std::vector<std::string>& more)
{
    to.insert(to.end(), more.begin(), more.end());
}

// Criteria are regular expressions; an app id such as "client.py" is meant literally.
std::string literalPattern(const std::string& text)
{
    std::string pattern = "^";
    for (const char c : text) {
        if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) {
            pattern += '\\';
        }
        pattern += c;
    }
    return pattern + "$";
}

// The app id of the view of process `pid` in sway's tree, if any.
std::string appIdIn(const nlohmann::json& node, int pid)
{
    if (node.value("pid", 0) == pid && node.contains("app_id") && node["app_id"].is_string()) {
        return node["app_id"].get<std::string>();
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const nlohmann::json& child : node.value(children, nlohmann::json::array())) {
            if (std::string found = appIdIn(child, pid); !found.empty()) {
                return found;
            }
        }
    }
    return {};
}

}  // namespace

HeadlessSway::HeadlessSway(const std::vector<std::string>& extraConfig)
{
    const Account account = sessionAccount();
    const std::filesystem::path config = runtime_.path() / "config";
    {
        std::ofstream file(config);
        file << "output HEADLESS-1 resolution 1280x720\nxwayland disable\n";
        for (const std::string& line : extraConfig) {
            file << line << '\n';
        }
    }
    if (::chown(runtime_.path().c_str(), account.uid, account.gid) != 0) {
        throw std::system_error(errno, std::generic_category(), "chown " + runtime_.path().string());
    }

    const char* path = std::getenv("PATH");
    std::vector<std::string> command{"env",
                                     "-i",
                                     std::string("PATH=") + (path != nullptr ? path : "/usr/bin:/bin"),
                                     "HOME=" + runtime_.path().string(),
                                     "XDG_RUNTIME_DIR=" + runtime_.path().string(),
                                     "WLR_BACKENDS=headless",
                                     "WLR_RENDERER=pixman",
                                     "WLR_LIBINPUT_NO_DEVICES=1"};
    append(command, asNobody());
    append(command,
           {"sh", "-c", "exec sway -c \"$1\" >\"$2\" 2>&1", "sh", config.string(), (runtime_.path() / "log").string()});
    sway_ = std::make_unique<ChildProcess>(command);

    // sway names its sockets itself: the Wayland one wayland-N, the IPC one after its user and pid.
    const auto deadline = Clock::now() + 10s;
    for (;;) {
        if (!sway_->running()) {
            throw std::runtime_error("sway exited: " + log());
        }
        for (const auto& entry : std::filesystem::directory_iterator(runtime_.path())) {
            const std::string name = entry.path().filename().string();
            if (!entry.is_socket()) {
                continue;
            }
            if (name.starts_with("wayland-")) {
                waylandDisplay_ = entry.path().string();
            } else if (name.starts_with("sway-ipc.")) {
                ipcSocket_ = entry.path().string();
            }
        }
        if (!waylandDisplay_.empty() && !ipcSocket_.empty() && succeeds(swaymsgCommand({"-t", "get_version"}))) {
            return;
        }
        if (Clock::now() > deadline) {
            throw std::runtime_error("sway did not answer within 10 s: " + log());
        }
        std::this_thread::sleep_for(20ms);
    }
}

HeadlessSway::~HeadlessSway() = default;

std::vector<std::string> HeadlessSway::swaymsgCommand(const std::vector<std::string>& arguments) const
{
    std::vector<std::string> command{"timeout", "10", "env", "SWAYSOCK=" + ipcSocket_};
    append(command, asNobody());
    command.emplace_back("swaymsg");
    append(command, arguments);
    return command;
}

std::string HeadlessSway::swaymsg(const std::vector<std::string>& arguments) const
{
    return runProgram(swaymsgCommand(arguments));
}

void HeadlessSway::focus(const std::string& appId) const
{
    swaymsg({"[app_id=\"" + literalPattern(appId) + "\"] focus"});
}

std::string HeadlessSway::xwaylandDisplay() const
{
    // sway hands the display to what it runs, and to nothing else.
    const std::filesystem::path file = runtime_.path() / "xwayland-display";
    swaymsg({"exec", "printf %s \"$DISPLAY\" > '" + file.string() + "'"});
    const auto deadline = Clock::now() + 10s;
    for (;;) {
        std::ifstream in(file);
        std::string display;
        if (std::getline(in, display) && !display.empty()) {
            return display;
        }
        if (Clock::now() > deadline) {
            throw std::runtime_error("sway runs no XWayland: " + log());
        }
        std::this_thread::sleep_for(20ms);
    }
}

HeadlessSway::Client HeadlessSway::startClient(Toolkit toolkit, Accessibility accessibility) const
{
    // A runtime folder of the clients' own: Qt wants one its user owns. GTK 3 joins the
    // accessibility bus unless told not to; Qt only when switched on.
    std::vector<std::string> command{"env",
                                     "-u",
                                     "DISPLAY",
                                     "-u",
                                     "WAYLAND_SOCKET",
                                     "WAYLAND_DISPLAY=" + waylandDisplay_,
                                     "XDG_RUNTIME_DIR=" + clientRuntime_.path().string(),
                                     "GDK_BACKEND=wayland",
                                     "QT_QPA_PLATFORM=wayland"};
    if (accessibility == Accessibility::off) {
        command.emplace_back("NO_AT_BRIDGE=1");
    } else {
        append(command, {"NO_AT_BRIDGE=0", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"});
    }
    if (toolkit == Toolkit::qt) {
        command.emplace_back(KORVANE_QT_FIELDS_CLIENT);
    } else {
        append(command, {"/usr/bin/python3", KORVANE_GTK_FIELDS_CLIENT});
    }
    Client client{std::make_unique<ChildProcess>(command), {}};
    client.process->expectLine("ready", 20s);
    // The toolkit says it showed the window a moment before the compositor maps it.
    const auto deadline = Clock::now() + 10s;
    while ((client.appId = appIdOfProcess(client.process->pid())).empty()) {
        if (Clock::now() > deadline) {
            throw std::runtime_error("sway lists no window of process " + std::to_string(client.process->pid()));
        }
        std::this_thread::sleep_for(20ms);
    }
    return client;
}

void HeadlessSway::addKeyboard()
{
    // wtype makes its keyboard first and keeps it while it sleeps (at most an hour: its sleep
    // counts microseconds in 32 bits).
    std::vector<std::string> command{"env", "-u", "DISPLAY", "WAYLAND_DISPLAY=" + waylandDisplay_};
    append(command, asNobody());
    append(command, {"wtype", "-s", "3600000"});
    keyboard_ = std::make_unique<ChildProcess>(command);
    const auto deadline = Clock::now() + 10s;
    while (swaymsg({"-t", "get_seats"}).find("\"keyboard\"") == std::string::npos) {
        if (!keyboard_->running() || Clock::now() > deadline) {
            throw std::runtime_error("sway got no keyboard from wtype");
        }
        std::this_thread::sleep_for(20ms);
    }
}

std::string HeadlessSway::user()
{
    const passwd* entry = ::getpwuid(sessionAccount().uid);
    return entry != nullptr ? std::string(entry->pw_name) : std::string("nobody");
}

std::string HeadlessSway::runAsUser(const std::vector<std::string>& arguments) const
{
    std::vector<std::string> command{"timeout",
                                     "10",
                                     "env",
                                     "-u",
                                     "DISPLAY",
                                     "-u",
                                     "DBUS_SESSION_BUS_ADDRESS",
                                     "WAYLAND_DISPLAY=" + waylandDisplay_,
                                     "XDG_RUNTIME_DIR=" + runtime_.path().string()};
    append(command, asNobody());
    append(command, arguments);
    return runProgram(command);
}

std::string HeadlessSway::appIdOfProcess(int pid) const
{
    return appIdIn(nlohmann::json::parse(swaymsg({"-t", "get_tree"})), pid);
}

std::string HeadlessSway::log() const
{
    std::ifstream file(runtime_.path() / "log");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace korvane::testing
