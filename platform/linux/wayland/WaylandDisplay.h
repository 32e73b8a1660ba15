#pragma once

#include "base/logging/LogSink.h"

#include <wayland-client.h>

#include <memory>
#include <string>
#include <string_view>

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

// Why the connection failed, in words: the protocol error the compositor sent, else errno's.
std::string connectionError(wl_display* display);

}  // namespace korvane
