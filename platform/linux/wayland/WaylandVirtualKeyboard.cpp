#include "platform/linux/wayland/WaylandVirtualKeyboard.h"

#include "platform/linux/wayland/PasteKeymap.h"
#include "platform/linux/wayland/WaylandDisplay.h"

// Generated at build time from protocols/virtual-keyboard.xml.
#include "virtual-keyboard-client-protocol.h"
#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace korvane {

namespace {

// wl_keyboard's keymap_format: xkb's text format.
constexpr std::uint32_t kXkbV1Format = 1;
constexpr std::uint32_t kPressed = 1;
constexpr std::uint32_t kReleased = 0;

template <auto release>
using Release = WaylandRelease<release>;
using DisplayPtr = WaylandDisplayPtr;
using RegistryPtr = WaylandRegistryPtr;
using SeatPtr = WaylandSeatPtr;
// The manager has no destructor request in version 1: forgetting the proxy is all there is.
using ManagerPtr = std::unique_ptr<zwp_virtual_keyboard_manager_v1, Release<zwp_virtual_keyboard_manager_v1_destroy>>;
using KeyboardPtr = std::unique_ptr<zwp_virtual_keyboard_v1, Release<zwp_virtual_keyboard_v1_destroy>>;

struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor()
    {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

struct Globals {
    std::uint32_t manager = 0;
    std::uint32_t seat = 0;
};

const wl_registry_listener kRegistryListener = {
    .global =
        [](void* data, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t) {
            auto* globals = static_cast<Globals*>(data);
            if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
                globals->manager = name;
            } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals->seat == 0) {
                globals->seat = name;  // the first seat: the one a single user types on
            }
        },
    .global_remove = [](void*, wl_registry*, std::uint32_t) {},
};

// Key events carry a timestamp in milliseconds; only their order matters to clients.
std::uint32_t now()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

class WaylandVirtualKeyboard::Impl {
public:
    Impl(LogSink log, DisplayPtr display) : log_(std::move(log)), display_(std::move(display)) {}

    bool start()
    {
        Globals globals;
        {
            RegistryPtr registry(wl_display_get_registry(display_.get()));
            wl_registry_add_listener(registry.get(), &kRegistryListener, &globals);
            if (wl_display_roundtrip(display_.get()) < 0) {
                log_("Wayland: the compositor did not answer: " + lastError());
                return false;
            }
            if (globals.manager == 0 || globals.seat == 0) {
                log_(std::string("Wayland: the compositor lends no virtual keyboard (no ") +
                     zwp_virtual_keyboard_manager_v1_interface.name + ")");
                return false;
            }
            manager_.reset(static_cast<zwp_virtual_keyboard_manager_v1*>(
                wl_registry_bind(registry.get(), globals.manager, &zwp_virtual_keyboard_manager_v1_interface, 1)));
            seat_.reset(static_cast<wl_seat*>(wl_registry_bind(registry.get(), globals.seat, &wl_seat_interface, 1)));
        }
        keyboard_.reset(zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager_.get(), seat_.get()));
        if (!uploadKeymap()) {
            return false;
        }
        // A compositor that does not let this client type ends the connection here.
        if (wl_display_roundtrip(display_.get()) < 0) {
            log_("Wayland: the compositor refused a virtual keyboard: " + lastError());
            return false;
        }
        log_(std::string("Wayland: paste keys through ") + zwp_virtual_keyboard_manager_v1_interface.name);
        return true;
    }

    bool setModifiers(std::uint32_t mask)
    {
        zwp_virtual_keyboard_v1_modifiers(keyboard_.get(), mask, 0, 0, 0);
        return settle();
    }

    bool sendChord(const KeyChord& chord)
    {
        const std::optional<std::uint32_t> code = PasteKeymap::evdevCode(chord.key);
        if (!code) {
            log_("Wayland: the virtual keyboard has no key \"" + chord.key + "\"");
            return false;
        }
        zwp_virtual_keyboard_v1_modifiers(keyboard_.get(), PasteKeymap::modifierMask(chord.modifiers), 0, 0, 0);
        zwp_virtual_keyboard_v1_key(keyboard_.get(), now(), *code, kPressed);
        zwp_virtual_keyboard_v1_key(keyboard_.get(), now(), *code, kReleased);
        zwp_virtual_keyboard_v1_modifiers(keyboard_.get(), 0, 0, 0, 0);
        return settle();
    }

private:
    bool uploadKeymap()
    {
        const std::string keymap = PasteKeymap::text();
        FileDescriptor file{::memfd_create("korvane-keymap", MFD_CLOEXEC)};
        if (file.fd < 0 ||
            ::write(file.fd, keymap.c_str(), keymap.size() + 1) != static_cast<ssize_t>(keymap.size() + 1)) {
            log_(std::string("Wayland: cannot hold the virtual keyboard's keymap: ") + std::strerror(errno));
            return false;
        }
        // The compositor maps it from the start.
        zwp_virtual_keyboard_v1_keymap(keyboard_.get(), kXkbV1Format, file.fd,
                                       static_cast<std::uint32_t>(keymap.size() + 1));
        return true;
    }

    // Waits until the compositor has handled every request sent: a refusal ends the connection,
    // which the round trip reports.
    bool settle()
    {
        if (wl_display_roundtrip(display_.get()) >= 0) {
            return true;
        }
        if (!lost_) {
            lost_ = true;
            log_("Wayland: the virtual keyboard's connection ended: " + lastError());
        }
        return false;
    }

    std::string lastError() const { return connectionError(display_.get()); }

    LogSink log_;
    DisplayPtr display_;  // first: the proxies on it go before it
    ManagerPtr manager_;
    SeatPtr seat_;
    KeyboardPtr keyboard_;
    bool lost_ = false;
};

std::unique_ptr<WaylandVirtualKeyboard> WaylandVirtualKeyboard::create(LogSink log)
{
    std::unique_ptr<Impl> impl = startOnCompositor<Impl>(std::move(log), "to send paste keys through");
    return impl ? std::unique_ptr<WaylandVirtualKeyboard>(new WaylandVirtualKeyboard(std::move(impl))) : nullptr;
}

WaylandVirtualKeyboard::WaylandVirtualKeyboard(std::unique_ptr<Impl> impl) : impl_(std::move(impl))
{
}

WaylandVirtualKeyboard::~WaylandVirtualKeyboard() = default;

std::vector<KeyModifier> WaylandVirtualKeyboard::heldModifiers()
{
    return {};
}

bool WaylandVirtualKeyboard::releaseModifiers(const std::vector<KeyModifier>&)
{
    return impl_->setModifiers(0);
}

bool WaylandVirtualKeyboard::sendChord(const KeyChord& chord)
{
    return impl_->sendChord(chord);
}

}  // namespace korvane
