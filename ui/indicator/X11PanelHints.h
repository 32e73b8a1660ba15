#pragma once

#include <cstdint>

namespace korvane {

// What the indicator's panel asks of an X11 window manager and compositor. Without an X server
// (another Qt platform) every call does nothing and a compositor counts as running, so the panel
// keeps its translucent rounded look there.
namespace X11PanelHints {

// Whether a compositing manager runs on the default screen (it owns the _NET_WM_CM_S<n>
// selection). Without one, alpha is not blended and the panel must be shaped instead.
bool compositorRunning();

// Asks the window manager to show the window on every desktop (_NET_WM_DESKTOP all, sticky) and
// to keep it out of task bars and pagers. Call before the window is mapped: the window manager
// reads these when it takes the window on, and forgets the states when the window is withdrawn,
// so call it before every map.
void showOnAllDesktops(std::uintptr_t window);

}  // namespace X11PanelHints

}  // namespace korvane
