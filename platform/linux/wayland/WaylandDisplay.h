#pragma once

#include "base/logging/LogSink.h"

#include <wayland-client.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace korvane {

// Releases a Wayland object through the library's own function for it, so each proxy can be held
// by a std::unique_ptr.
template <auto release>
struct WaylandRelease {
    template <typename T>
    void operator()(T* object) const
    {
        release(object);
    }
};

using WaylandDisplayPtr = std::unique_ptr<wl_display, WaylandRelease<wl_display_disconnect>>;
using WaylandRegistryPtr = std::unique_ptr<wl_registry, WaylandRelease<wl_registry_destroy>>;
using WaylandSeatPtr = std::unique_ptr<wl_seat, WaylandRelease<wl_seat_destroy>>;

// A connection of its own to the compositor WAYLAND_DISPLAY names: each adapter keeps one, so that
// none depends on another's event handling. Nothing, and a log line saying what cannot be done
// ("to follow the active window"), when there is no compositor.
WaylandDisplayPtr connectToCompositor(const LogSink& log, std::string_view purpose);

// Connects and starts an adapter's implementation: `Impl(LogSink, WaylandDisplayPtr)` with a
// `bool start()` that logs why it fails. Nothing when there is no compositor or it did not start.
template <typename Impl>
std::unique_ptr<Impl> startOnCompositor(LogSink log, std::string_view purpose)
{
    WaylandDisplayPtr display = connectToCompositor(log, purpose);
    if (!display) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>(std::move(log), std::move(display));
    return impl->start() ? std::move(impl) : nullptr;
}

// Why the connection failed, in words: the protocol error the compositor sent, else errno's.
std::string connectionError(wl_display* display);

}  // namespace korvane
