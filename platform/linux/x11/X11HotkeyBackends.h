#pragma once

#include "base/logging/LogSink.h"
#include "base/scheduling/MainQueue.h"
#include "hotkeys/HotkeyBackendFactory.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace korvane {

class InputPermission;
class X11Connection;

// The hotkey backends on X11: key combinations as key grabs on the root window, modifier-only
// chords from XInput 2 raw key events, both on the application's one X connection. The connection
// and the permission must outlive the factory and every backend it makes. Backends report on
// `mainQueue`; start() and stop() belong to the main thread, which runs the connection's events.
// With `portal` (XWayland in a Wayland session) the desktop binds the shortcut and the X server
// takes only bare keys; `keysymName` then writes the preferred trigger.
std::unique_ptr<HotkeyBackendFactory>
makeX11HotkeyBackendFactory(X11Connection& connection, InputPermission& permission,
                            std::shared_ptr<MainQueue> mainQueue, LogSink log = defaultLogSink(),
                            std::shared_ptr<GlobalShortcutsPortal> portal = nullptr,
                            std::function<std::string(std::uint32_t)> keysymName = {});

}  // namespace korvane
