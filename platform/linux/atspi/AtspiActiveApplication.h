#pragma once

#include "base/logging/LogSink.h"
#include "delivery/focus/ActiveApplicationSource.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace korvane {

// The application in front as the accessibility bus tells it, for sessions whose window system
// names no active window to its clients (Wayland): the application owning the frame, window or
// dialog in the ACTIVE state. Searched for once among the top-level objects of every application on
// the bus when created; from then on kept current by window:activate and window:deactivate events,
// which libatspi delivers through GLib's default main context, the one Qt's event loop runs. When
// the window in front goes inactive, the search runs once more: a toolkit that got the focus back
// before it announced losing it announces neither. Nothing is in front when no window says so.
//
// The identifier is the accessible application's name (what the toolkit publishes: Qt its
// application name, GTK its program name), the process id that of its bus connection. Windows of
// our own process never count: their activations are ignored, and our own application is never
// asked anything (it would answer only once our main thread is free again).
//
// Every request to another application may take at most `timeout`, a search at most four times
// that; an application that left one unanswered is left out of searches until it sends an event.
// Names are asked once per application. Logs a line when another application comes to the front:
// its name and process, never what its windows show.
//
// activeApplication() answers from what was heard, without asking anyone; any thread. The rest, and
// the callback, on the main thread.
class AtspiActiveApplication final : public ActiveApplicationSource {
public:
    explicit AtspiActiveApplication(std::optional<long> selfProcessId = std::nullopt, LogSink log = defaultLogSink(),
                                    std::chrono::milliseconds timeout = std::chrono::milliseconds(250));
    ~AtspiActiveApplication() override;

    AtspiActiveApplication(const AtspiActiveApplication&) = delete;
    AtspiActiveApplication& operator=(const AtspiActiveApplication&) = delete;

    std::optional<ActiveApplication> activeApplication() override;
    void setOnActivation(std::function<void(const std::optional<ActiveApplication>&)> callback) override;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace korvane
