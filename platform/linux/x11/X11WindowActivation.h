#pragma once

#include "base/logging/LogSink.h"

#include <string>

namespace korvane {

class X11ActiveWindow;
class X11Connection;

// Brings an application's window to the front the EWMH way: a _NET_ACTIVE_WINDOW client message
// (source indication 2, as a pager would send) for its topmost top-level window.
class X11WindowActivation {
public:
    X11WindowActivation(X11Connection& connection, X11ActiveWindow& windows, LogSink log = defaultLogSink())
        : connection_(connection), windows_(windows), log_(std::move(log))
    {
    }

    // True when a window of that class was asked to come forward (whether or not the window
    // manager obliges); false, with a log line, when the application has no window.
    bool activate(const std::string& bundleId);

private:
    X11Connection& connection_;
    X11ActiveWindow& windows_;
    LogSink log_;
};

}  // namespace korvane
