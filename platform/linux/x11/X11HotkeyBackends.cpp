#include "platform/linux/x11/X11HotkeyBackends.h"

#include "platform/linux/x11/InputPermission.h"
#include "platform/linux/x11/X11KeyGrabber.h"
#include "platform/linux/x11/X11KeyboardMapping.h"
#include "platform/linux/x11/X11ModifierKeys.h"

#include <utility>

namespace korvane {

std::unique_ptr<HotkeyBackendFactory> makeX11HotkeyBackendFactory(X11Connection& connection,
                                                                  InputPermission& permission,
                                                                  std::shared_ptr<MainQueue> mainQueue, LogSink log,
                                                                  std::shared_ptr<GlobalShortcutsPortal> portal,
                                                                  std::function<std::string(std::uint32_t)> keysymName)
{
    auto mapping = std::make_shared<X11KeyboardMapping>(connection);
    HotkeyBackendFactory::Ports ports{
        std::make_shared<X11KeyGrabber>(connection, mapping, log),
        std::make_shared<X11ModifierKeys>(connection, mapping, log),
        [&permission] { return permission.isTrusted(); },
        std::move(portal),
        std::move(keysymName),
    };
    return std::make_unique<HotkeyBackendFactory>(std::move(ports), std::move(mainQueue), std::move(log));
}

}  // namespace korvane
