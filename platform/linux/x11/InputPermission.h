#pragma once

#include <optional>
#include <string>

namespace korvane {

class X11Connection;

// Whether Korvane may observe and synthesize input, the Linux form of the accessibility permission:
// an X11 session whose server offers XTEST (synthetic keys) and XInputExtension 2.x (raw key
// events). A Wayland session is never trusted, even with an XWayland server: its X clients see
// neither the other applications' input nor their windows' focus.
class InputPermission {
public:
    // `connection` may be null (no X server); it must outlive this object.
    explicit InputPermission(X11Connection* connection) : connection_(connection) {}

    // Asked afresh each time.
    bool isTrusted() const;

    // Why not, in a few words, for the log; nothing when trusted.
    std::optional<std::string> whyUntrusted() const;

private:
    X11Connection* connection_;
};

}  // namespace korvane
