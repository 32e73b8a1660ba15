#include "tests/support/portal/PortalTestBus.h"

#include "tests/support/process/Programs.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace korvane::testing {

using namespace std::chrono_literals;

namespace {

constexpr auto answerTimeout = 10s;

void writeFile(const std::filesystem::path& path, const std::string& contents)
{
    std::ofstream file(path);
    file << contents;
    if (!file.flush()) {
        throw std::runtime_error("could not write " + path.string());
    }
}

// The bus activates nothing: with the usual session services the portal would start the user's
// document portal and permission store, and wait for them.
std::string busConfig(const std::filesystem::path& folder)
{
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>session</type>\n"
           "  <listen>unix:path=" +
           (folder / "bus").string() +
           "</listen>\n"
           "  <auth>EXTERNAL</auth>\n"
           "  <servicedir>" +
           (folder / "services").string() +
           "</servicedir>\n"
           "  <policy context=\"default\">\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n"
           "    <allow own=\"*\"/>\n"
           "  </policy>\n"
           "</busconfig>\n";
}

bool desktopPortalOwned(const std::string& address)
{
    try {
        return runProgram({"dbus-send", "--bus=" + address, "--print-reply=literal", "--dest=org.freedesktop.DBus",
                           "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                           "string:org.freedesktop.portal.Desktop"})
                   .find("true") != std::string::npos;
    } catch (const std::runtime_error&) {
        return false;
    }
}

std::string unescaped(const std::string& text)
{
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            plain += next == 't' ? '\t' : next == 'n' ? '\n' : next;
        } else {
            plain += text[i];
        }
    }
    return plain;
}

}  // namespace

PortalTestBus::PortalTestBus() : PortalTestBus(Options{})
{
}

PortalTestBus::PortalTestBus(Options options)
{
    const std::filesystem::path portals = files_.path() / "portals";
    std::filesystem::create_directories(portals);
    std::filesystem::create_directories(files_.path() / "services");
    writeFile(files_.path() / "bus.conf", busConfig(files_.path()));
    const std::string interfaces =
        std::string(options.globalShortcuts ? "org.freedesktop.impl.portal.GlobalShortcuts;" : "") +
        (options.remoteDesktop ? "org.freedesktop.impl.portal.RemoteDesktop;" : "");
    // xdg-desktop-portal 1.16 keeps no remote desktop grants (its interface is version 1), so the
    // permission store it would keep them in is not needed here.
    if (!interfaces.empty()) {
        writeFile(portals / "korvanetest.portal",
                  "[portal]\nDBusName=org.freedesktop.impl.portal.desktop.korvanetest\nInterfaces=" + interfaces +
                      "\nUseIn=korvanetest\n");
    }

    daemon_ = std::make_unique<ChildProcess>(std::vector<std::string>{
        "dbus-daemon", "--config-file=" + (files_.path() / "bus.conf").string(), "--nofork", "--print-address"});
    // Printed once the daemon listens.
    const std::optional<std::string> printed = daemon_->readLine(answerTimeout);
    if (!printed || printed->empty()) {
        throw std::runtime_error("the portal's session bus did not start");
    }
    address_ = *printed;
    addressVariable_ = std::make_unique<ScopedEnvironment>("DBUS_SESSION_BUS_ADDRESS", address_);

    if (options.backendRunning) {
        backend_ = std::make_unique<ChildProcess>(std::vector<std::string>{"/usr/bin/python3", KORVANE_PORTAL_BACKEND});
        backend_->expectLine("ready", answerTimeout);
    }

    // The portal takes its backends from our folder only, for our desktop name; it needs no display.
    frontend_ = std::make_unique<ChildProcess>(std::vector<std::string>{
        "env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "XDG_DESKTOP_PORTAL_DIR=" + portals.string(),
        "XDG_CURRENT_DESKTOP=korvanetest", "/bin/sh", "-c",
        "exec /usr/libexec/xdg-desktop-portal --verbose >\"$0\" 2>&1", (files_.path() / "frontend.log").string()});
    const auto deadline = std::chrono::steady_clock::now() + answerTimeout;
    while (!desktopPortalOwned(address_)) {
        if (!frontend_->running() || std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error("xdg-desktop-portal did not come up on the test bus:\n" + frontendOutput());
        }
        std::this_thread::sleep_for(20ms);
    }
}

// Members go in reverse order: the portal, our backend, then the bus.
PortalTestBus::~PortalTestBus() = default;

std::string PortalTestBus::frontendOutput() const
{
    std::ifstream log(files_.path() / "frontend.log");
    std::ostringstream text;
    text << log.rdbuf();
    return text.str();
}

ChildProcess& PortalTestBus::backend()
{
    if (!backend_) {
        throw std::logic_error("the portal test bus runs without its backend");
    }
    return *backend_;
}

std::string PortalTestBus::ask(const std::string& command, const std::string& answer)
{
    backend().writeLine(command);
    const std::optional<std::string> line = backend().readLine(answerTimeout);
    if (!line || !line->starts_with(answer)) {
        throw std::runtime_error("the portal backend answered \"" + command + "\" with " +
                                 (line ? "\"" + *line + "\"" : "nothing"));
    }
    return *line;
}

void PortalTestBus::setCreateAnswer(unsigned response)
{
    ask("create-answer " + std::to_string(response), "ok");
}

void PortalTestBus::setBindAnswer(unsigned response, const std::string& trigger)
{
    ask("bind-answer " + std::to_string(response) + (trigger.empty() ? "" : " " + trigger), "ok");
}

void PortalTestBus::holdBinds()
{
    ask("hold-binds", "ok");
}

void PortalTestBus::releaseBinds()
{
    ask("release-binds", "ok");
}

void PortalTestBus::activate(const std::string& id)
{
    ask("activate " + id, "ok");
}

void PortalTestBus::deactivate(const std::string& id)
{
    ask("deactivate " + id, "ok");
}

void PortalTestBus::changeTrigger(const std::string& id, const std::string& trigger)
{
    ask("change " + id + " " + trigger, "ok");
}

void PortalTestBus::closeSessions()
{
    ask("close-sessions", "ok");
}

std::vector<PortalTestBus::BoundShortcut> PortalTestBus::lastBind()
{
    ask("binds", "binds ");
    std::vector<BoundShortcut> shortcuts;
    for (std::string line = backend().expectLine("", answerTimeout); line != "end";
         line = backend().expectLine("", answerTimeout)) {
        std::istringstream fields(line.substr(line.find(' ') + 1));
        BoundShortcut shortcut;
        std::getline(fields, shortcut.id, '\t');
        std::getline(fields, shortcut.description, '\t');
        std::getline(fields, shortcut.preferredTrigger);
        shortcuts.push_back(
            {unescaped(shortcut.id), unescaped(shortcut.description), unescaped(shortcut.preferredTrigger)});
    }
    return shortcuts;
}

int PortalTestBus::bindCount()
{
    const int count = std::stoi(ask("binds", "binds ").substr(6));
    backend().expectLine("end", answerTimeout);
    return count;
}

int PortalTestBus::liveSessions()
{
    return std::stoi(ask("sessions", "sessions ").substr(9));
}

void PortalTestBus::setRemoteDesktopAnswer(unsigned response, std::optional<unsigned> devices)
{
    ask("remote-answer " + std::to_string(response) + (devices ? " " + std::to_string(*devices) : ""), "ok");
}

void PortalTestBus::holdRemoteDesktopStarts()
{
    ask("hold-starts", "ok");
}

int PortalTestBus::approvalCount()
{
    return std::stoi(ask("remote", "remote ").substr(7));
}

PortalTestBus::DeviceRequest PortalTestBus::lastDeviceRequest()
{
    std::istringstream fields(ask("remote", "remote ").substr(7));
    int approvals = 0;
    DeviceRequest request;
    fields >> approvals >> request.types >> request.persistMode;
    return request;
}

std::vector<PortalTestBus::KeysymEvent> PortalTestBus::keysymEvents()
{
    backend().writeLine("keysyms");
    std::vector<KeysymEvent> events;
    for (std::string line = backend().expectLine("", answerTimeout); line != "end";
         line = backend().expectLine("", answerTimeout)) {
        std::istringstream fields(line);
        std::string word;
        std::uint32_t keysym = 0;
        int state = 0;
        if (!(fields >> word >> keysym >> state) || word != "keysym") {
            throw std::runtime_error("the portal backend listed the keys with \"" + line + "\"");
        }
        events.push_back({keysym, state == 1});
    }
    return events;
}

}  // namespace korvane::testing
