#pragma once

#include "base/logging/LogSink.h"
#include "delivery/focus/AccessibilityService.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// The accessibility service over AT-SPI 2 (libatspi), for the focus logic.
//
// The focused element is looked for in the application that owns the active window (matched by
// process id), quickest way first: the object that last announced it gained the focus
// (object:state-changed:focused, remembered per application), then the application's own search
// (the Collection interface, one request), then a walk of the showing part of its tree, bounded in
// objects and time. Roles come out in the names the logic uses (entry -> AXTextField, password text
// -> AXTextField with subrole AXSecureTextField, multi-line text and terminals -> AXTextArea, ...);
// roles without such a name come out as "atspi:" and the AT-SPI role name.
//
// One lookup and every query of the element it found share one budget (`timeout`): each request
// to the application may take only part of what is left of it, and once a request went unanswered
// the rest fail at once with status noReply. So one inspection of a hung application, however far
// into the tree it got, costs at most `timeout`.
//
// Chromium and the applications built on it build the accessibility tree of their pages only once
// an assistive technology reads their attributes; each application is asked that way once, by the
// first lookup in it or by enableAccessibility(), whichever comes first. Extra status numbers of
// this adapter: noApplication (4): the active window (or, for enableAccessibility(), any window of
// that class) belongs to no application on the accessibility bus.
//
// Main thread only, except enableAccessibility() (any thread: it uses its own bus connections).
class AtspiAccessibility final : public AccessibilityService {
public:
    static constexpr int noApplication = 4;

    struct Environment {
        std::function<bool()> isTrusted;
        // The process id of the active window; nothing when there is none or it does not say.
        std::function<std::optional<long>()> activeProcessId;
        // The process ids of the top-level windows of that class; empty when there is none.
        std::function<std::vector<long>(const std::string& bundleId)> processesOf;
        // The screens in X11 root coordinates (y downwards), the primary screen first.
        std::function<std::vector<Rect>()> desktopScreens;
    };

    explicit AtspiAccessibility(Environment environment,
                                std::chrono::milliseconds timeout = std::chrono::milliseconds(500));
    ~AtspiAccessibility() override;

    AtspiAccessibility(const AtspiAccessibility&) = delete;
    AtspiAccessibility& operator=(const AtspiAccessibility&) = delete;

    bool isTrusted() override;
    Answer<std::shared_ptr<AccessibleElement>> focusedElement() override;
    std::vector<Rect> screens() override;
    std::optional<int> enableAccessibility(const std::string& bundleId) override;

    // How the last focusedElement() found its answer, for benchmarks: "remembered", "collection",
    // "walk" or "none".
    std::string lastLookup() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// Whether libatspi will find its bus (it ends the process when it cannot): the address it is given,
// or one the session bus's accessibility service answers with within `timeout`. Any thread.
bool accessibilityBusReachable(std::chrono::milliseconds timeout);

// Asks the session's accessibility bus whether accessibility is on (org.a11y.Status IsEnabled) and
// switches it on when it is off, so that toolkits that only join the bus when it is on (Qt, and
// Chromium and Electron, which look only when they start) expose their trees. Never switches
// anything off, and leaves ScreenReaderEnabled alone: applications take that for a screen reader
// and change how they behave for the user. Logs the outcome; blocks for at most `timeout`. Any
// thread.
void ensureAccessibilityBusEnabled(const LogSink& log,
                                   std::chrono::milliseconds timeout = std::chrono::milliseconds(500));

}  // namespace korvane
