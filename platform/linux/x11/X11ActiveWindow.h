#pragma once

#include "delivery/focus/ActiveApplicationSource.h"
#include "platform/linux/x11/X11Connection.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// The active window as the EWMH window manager announces it: _NET_ACTIVE_WINDOW on the root window,
// watched through PropertyNotify. An application's identifier is the class part of the window's
// WM_CLASS, its process id the window's _NET_WM_PID. A window manager without EWMH never names an
// active window, so no application is in front.
class X11ActiveWindow final : public ActiveApplicationSource {
public:
    explicit X11ActiveWindow(X11Connection& connection);
    ~X11ActiveWindow() override;

    X11ActiveWindow(const X11ActiveWindow&) = delete;
    X11ActiveWindow& operator=(const X11ActiveWindow&) = delete;

    std::optional<ActiveApplication> activeApplication() override;
    void setOnActivation(std::function<void(const std::optional<ActiveApplication>&)> callback) override;

    // The top-level windows the window manager lists whose class is `bundleId`, from the bottom of
    // the stack to the top where it says (_NET_CLIENT_LIST_STACKING), else in mapping order.
    std::vector<unsigned long> windowsOfClass(const std::string& bundleId);
    // The process ids of the windows windowsOfClass() lists, each once; windows that do not name
    // their process are left out.
    std::vector<long> processesOfClass(const std::string& bundleId);
    // The application of one window; nothing when the window is gone or has no class.
    std::optional<ActiveApplication> applicationOf(unsigned long window);
    // The window _NET_ACTIVE_WINDOW names; 0 when none.
    unsigned long activeWindow();

private:
    X11Connection& connection_;
    unsigned long activeWindowAtom_;
    std::mutex callbackLock_;
    std::function<void(const std::optional<ActiveApplication>&)> onActivation_;
    unsigned long lastReported_ = 0;
    X11Connection::Subscription subscription_;  // last: the first to go
};

}  // namespace korvane
