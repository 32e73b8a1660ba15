#pragma once

#include <functional>
#include <optional>
#include <string>

namespace korvane {

// The application whose window is active: its identifier (the class part of WM_CLASS on X11) and,
// when the window says so, its process id.
struct ActiveApplication {
    std::string bundleId;
    std::optional<long> processId;

    friend bool operator==(const ActiveApplication&, const ActiveApplication&) = default;
};

// Reports which application is in front. Implemented by the window-system adapter.
class ActiveApplicationSource {
public:
    virtual ~ActiveApplicationSource() = default;

    // The application in front at this moment; nothing when no window is active, the window has no
    // class, or the window manager does not say which window is active.
    virtual std::optional<ActiveApplication> activeApplication() = 0;

    // Called on the main thread whenever another window becomes active, with its application
    // (nothing when it has none). Replaces an earlier callback; an empty one stops the reports.
    virtual void setOnActivation(std::function<void(const std::optional<ActiveApplication>&)> callback) = 0;
};

}  // namespace korvane
