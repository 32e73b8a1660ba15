#include "tests/support/app/SwayDictation.h"

#include <stdexcept>
#include <thread>

namespace korvane::testing {

using namespace std::chrono_literals;

SwayDictation::SwayDictation(const std::string& phrase, modelgen::ModelRecipe recipe, Windows windows)
    : desktop_(phrase)
{
    desktop_.letOtherUsersReachSoundServer();
    recipe.kind = modelgen::ModelKind::scripted;
    recipe.phrase = " " + phrase;
    model_ = std::make_unique<CatalogueModel>("scripted", recipe, home_.path(), false);
    std::vector<std::string> config{"bindsym Ctrl+Shift+space exec " + toggle_.commandLine("--toggle")};
    if (windows == Windows::xwayland) {
        config.emplace_back("xwayland enable");
    }
    sway_ = std::make_unique<HeadlessSway>(config);
    RunningKorvane::Options session;
    session.user = HeadlessSway::user();
    session.unset = {"DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORM"};
    session.set = {"XDG_RUNTIME_DIR=" + sway_->runtimeDir().string(), "WAYLAND_DISPLAY=" + sway_->waylandDisplay(),
                   "XDG_SESSION_TYPE=wayland", "XDG_CURRENT_DESKTOP=sway"};
    if (windows == Windows::xwayland) {
        session.set.push_back("DISPLAY=" + sway_->xwaylandDisplay());
    }
    app_ = std::make_unique<RunningKorvane>(home_.path(), R"({"debugLogging": true, "hotkeyMode": "toggle"})",
                                            model_->catalogueFile(), session);
    if (!app_->waitForLine("Model loaded: scripted", 120s)) {
        throw std::runtime_error("Korvane did not load its model:\n" + app_->output());
    }
}

std::string SwayDictation::runKorvane(const std::string& arguments) const
{
    return sway_->runAsUser({"sh", "-c", "HOME='" + home_.path().string() + "' " + toggle_.commandLine(arguments)});
}

void SwayDictation::pressShortcut() const
{
    sway_->runAsUser({"wtype", "-M", "ctrl", "-M", "shift", "-k", "space", "-m", "shift", "-m", "ctrl"});
}

std::size_t SwayDictation::dictate()
{
    const std::size_t before = app_->lineCount();
    pressShortcut();
    if (!app_->waitForLine("Recording started", 10s, before)) {
        throw std::runtime_error("no recording started:\n" + app_->output());
    }
    desktop_.speak();
    pressShortcut();
    if (!app_->waitForAnyLine({"Status changed: pasteSent", "Status changed: copiedToClipboard",
                               "Status changed: notDelivered", "Status changed: error"},
                              60s, before)) {
        throw std::runtime_error("the dictation did not end:\n" + app_->output());
    }
    return before;
}

std::string SwayDictation::fieldText(HeadlessSway::Client& client)
{
    client.process->writeLine("text single");
    const std::string line = client.process->expectLine("text single", 5s);
    return line.size() > 12 ? line.substr(12) : "";
}

std::string SwayDictation::eventually(const std::function<std::string()>& read, const std::string& expected,
                                      std::chrono::milliseconds timeout)
{
    std::string value;
    for (const auto deadline = std::chrono::steady_clock::now() + timeout;
         (value = read()) != expected && std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(5ms);
    }
    return value;
}

}  // namespace korvane::testing
