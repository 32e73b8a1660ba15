#pragma once

namespace korvane {

// What the indicator's panel learns from the X11 desktop about its compositor. Without an X server
// (another Qt platform) every call does nothing and a compositor counts as running, so the panel
// keeps its translucent rounded look there.
namespace X11PanelHints {

// Whether a compositing manager runs on the default screen (it owns the _NET_WM_CM_S<n>
// selection). Without one, alpha is not blended and the panel must be shaped instead.
bool compositorRunning();

}  // namespace X11PanelHints

}  // namespace korvane
