#pragma once

#include "ui/logic/ActivationTokens.h"

class QWidget;

namespace korvane {

// Shows the top-level `window` in front with the keyboard: restored when it was minimized, raised
// and activated. `tokens` are those a launcher gave a start that asked for this window (empty for
// a request made inside Korvane, such as the tray menu's "Settings…"): on X11 the startup id is set
// on the window (window managers that prevent focus stealing judge the activation by it), the
// activation carries the time it holds, and the launcher is told that the launch is complete; on
// Wayland the activation token goes with the activation request. Main thread.
void bringToFront(QWidget& window, const ActivationTokens& tokens = {});

}  // namespace korvane
