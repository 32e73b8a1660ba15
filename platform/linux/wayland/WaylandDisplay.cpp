#include "platform/linux/wayland/WaylandDisplay.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace korvane {

WaylandDisplayPtr connectToCompositor(const LogSink& log, std::string_view purpose)
{
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (name == nullptr || *name == '\0') {
        log("Wayland: no compositor " + std::string(purpose) + " (WAYLAND_DISPLAY is not set)");
        return nullptr;
    }
    WaylandDisplayPtr display(wl_display_connect(name));
    if (!display) {
        log(std::string("Wayland: cannot connect to ") + name + ": " + std::strerror(errno));
    }
    return display;
}

std::string connectionError(wl_display* display)
{
    const int error = wl_display_get_error(display);
    return std::strerror(error != 0 ? error : errno);
}

}  // namespace korvane
