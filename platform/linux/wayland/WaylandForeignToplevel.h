#pragma once

#include "base/logging/LogSink.h"
#include "delivery/focus/ActiveApplicationSource.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace korvane {

// The application in front on wlroots compositors (sway, river, Hyprland...), which list their
// toplevel windows to clients through zwlr_foreign_toplevel_manager_v1: each window's app id and
// whether it is activated. The identifier is the app id; the protocol names no process. Keeps a
// Wayland connection of its own, read through Qt's event loop whenever the compositor writes.
//
// activeApplication() answers from what was heard, without asking the compositor; any thread.
// create(), setOnActivation() and the callback on the main thread.
class WaylandForeignToplevel final : public ActiveApplicationSource {
public:
    // Connects to the compositor WAYLAND_DISPLAY names and learns its windows. Nothing (and a log
    // line) when there is no compositor or it does not list its windows.
    static std::unique_ptr<WaylandForeignToplevel> create(LogSink log = defaultLogSink());
    ~WaylandForeignToplevel() override;

    WaylandForeignToplevel(const WaylandForeignToplevel&) = delete;
    WaylandForeignToplevel& operator=(const WaylandForeignToplevel&) = delete;

    std::optional<ActiveApplication> activeApplication() override;
    void setOnActivation(std::function<void(const std::optional<ActiveApplication>&)> callback) override;

    // Asks the compositor to bring the window of application `appId` that was active last back to
    // the front, for the user's seat. False when it has no such window; the answer shows in the
    // activation callback. Main thread.
    bool activate(const std::string& appId);

private:
    class Impl;
    explicit WaylandForeignToplevel(std::unique_ptr<Impl> impl);

    std::unique_ptr<Impl> impl_;
};

}  // namespace korvane
