#include "platform/linux/x11/X11ActiveWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <utility>

namespace korvane {

namespace {

// Reads a 32-bit-format property of `type` as a list of values; empty when absent or of another type.
std::vector<unsigned long> cardinalList(X11Connection& connection, Window window, Atom property, Atom type)
{
    Atom actualType = 0;
    int actualFormat = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    X11Connection::ErrorTrap trap(connection);
    const int status = XGetWindowProperty(connection.display(), window, property, 0, 1L << 16, False, type, &actualType,
                                          &actualFormat, &count, &remaining, &data);
    std::vector<unsigned long> values;
    if (status == Success && data != nullptr && actualType == type && actualFormat == 32) {
        // Format 32 properties come back as arrays of long, whatever the width of long.
        const auto* items = reinterpret_cast<const unsigned long*>(data);
        values.assign(items, items + count);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return values;
}

}  // namespace

X11ActiveWindow::X11ActiveWindow(X11Connection& connection)
    : connection_(connection), activeWindowAtom_(connection.atom("_NET_ACTIVE_WINDOW"))
{
    Display* display = connection_.display();
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, connection_.rootWindow(), &attributes);
    XSelectInput(display, connection_.rootWindow(), attributes.your_event_mask | PropertyChangeMask);
    XFlush(display);
    subscription_ = connection_.subscribe([this](const XEvent& event) {
        if (event.type != PropertyNotify || event.xproperty.window != connection_.rootWindow() ||
            event.xproperty.atom != activeWindowAtom_) {
            return;
        }
        const unsigned long window = activeWindow();
        std::function<void(const std::optional<ActiveApplication>&)> callback;
        {
            const std::lock_guard lock(callbackLock_);
            // Window managers rewrite the property on focus changes inside one window too.
            if (window == lastReported_) {
                return;
            }
            lastReported_ = window;
            callback = onActivation_;
        }
        if (callback) {
            callback(window != 0 ? applicationOf(window) : std::nullopt);
        }
    });
}

X11ActiveWindow::~X11ActiveWindow() = default;

unsigned long X11ActiveWindow::activeWindow()
{
    const std::vector<unsigned long> windows =
        cardinalList(connection_, connection_.rootWindow(), activeWindowAtom_, XA_WINDOW);
    return windows.empty() ? 0 : windows.front();
}

std::optional<ActiveApplication> X11ActiveWindow::applicationOf(unsigned long window)
{
    XClassHint hint{};
    Status found = 0;
    {
        X11Connection::ErrorTrap trap(connection_);
        found = XGetClassHint(connection_.display(), window, &hint);
    }
    if (found == 0) {
        return std::nullopt;
    }
    ActiveApplication application;
    if (hint.res_class != nullptr) {
        application.bundleId = hint.res_class;
    }
    XFree(hint.res_name);
    XFree(hint.res_class);
    if (application.bundleId.empty()) {
        return std::nullopt;
    }
    const std::vector<unsigned long> pid =
        cardinalList(connection_, window, connection_.atom("_NET_WM_PID"), XA_CARDINAL);
    if (!pid.empty()) {
        application.processId = static_cast<long>(pid.front());
    }
    return application;
}

std::optional<ActiveApplication> X11ActiveWindow::activeApplication()
{
    const unsigned long window = activeWindow();
    return window != 0 ? applicationOf(window) : std::nullopt;
}

void X11ActiveWindow::setOnActivation(std::function<void(const std::optional<ActiveApplication>&)> callback)
{
    const std::lock_guard lock(callbackLock_);
    onActivation_ = std::move(callback);
    lastReported_ = 0;
}

std::vector<unsigned long> X11ActiveWindow::windowsOfClass(const std::string& bundleId)
{
    std::vector<unsigned long> windows =
        cardinalList(connection_, connection_.rootWindow(), connection_.atom("_NET_CLIENT_LIST_STACKING"), XA_WINDOW);
    if (windows.empty()) {
        windows = cardinalList(connection_, connection_.rootWindow(), connection_.atom("_NET_CLIENT_LIST"), XA_WINDOW);
    }
    std::vector<unsigned long> matching;
    for (const unsigned long window : windows) {
        const std::optional<ActiveApplication> application = applicationOf(window);
        if (application && application->bundleId == bundleId) {
            matching.push_back(window);
        }
    }
    return matching;
}

std::vector<long> X11ActiveWindow::processesOfClass(const std::string& bundleId)
{
    std::vector<long> processes;
    for (const unsigned long window : windowsOfClass(bundleId)) {
        const std::optional<ActiveApplication> application = applicationOf(window);
        if (application && application->processId &&
            std::find(processes.begin(), processes.end(), *application->processId) == processes.end()) {
            processes.push_back(*application->processId);
        }
    }
    return processes;
}

}  // namespace korvane
