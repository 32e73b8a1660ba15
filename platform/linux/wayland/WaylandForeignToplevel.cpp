#include "platform/linux/wayland/WaylandForeignToplevel.h"

#include "platform/linux/wayland/ToplevelActivation.h"
#include "platform/linux/wayland/WaylandDisplay.h"

// Generated at build time from protocols/foreign-toplevel.xml.
#include "foreign-toplevel-client-protocol.h"
#include <wayland-client.h>

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace korvane {

namespace {

// The newest version whose events this build knows.
constexpr std::uint32_t kManagerVersion = 3;

template <auto release>
using Release = WaylandRelease<release>;
using DisplayPtr = WaylandDisplayPtr;
using RegistryPtr = WaylandRegistryPtr;
using ManagerPtr = std::unique_ptr<zwlr_foreign_toplevel_manager_v1, Release<zwlr_foreign_toplevel_manager_v1_destroy>>;
// Destroying a handle also tells the compositor we are done with the window.
using HandlePtr = std::unique_ptr<zwlr_foreign_toplevel_handle_v1, Release<zwlr_foreign_toplevel_handle_v1_destroy>>;
using SeatPtr = WaylandSeatPtr;

std::string managerName()
{
    return zwlr_foreign_toplevel_manager_v1_interface.name;
}

ToplevelActivation::Id idOf(zwlr_foreign_toplevel_handle_v1* handle)
{
    return wl_proxy_get_id(reinterpret_cast<wl_proxy*>(handle));
}

// The state is an array of 32-bit values, one per state the window is in.
bool isActivated(const wl_array* states)
{
    const auto* bytes = static_cast<const char*>(states->data);
    for (std::size_t at = 0; at + sizeof(std::uint32_t) <= states->size; at += sizeof(std::uint32_t)) {
        std::uint32_t state = 0;
        std::memcpy(&state, bytes + at, sizeof state);
        if (state == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED) {
            return true;
        }
    }
    return false;
}

struct ManagerGlobal {
    std::optional<std::uint32_t> name;
    std::uint32_t version = 0;
    std::optional<std::uint32_t> seat;  // the first seat, which activation names
};

const wl_registry_listener kRegistryListener = {
    .global =
        [](void* data, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t version) {
            auto* global = static_cast<ManagerGlobal*>(data);
            if (managerName() == interface) {
                global->name = name;
                global->version = version;
            } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !global->seat) {
                global->seat = name;
            }
        },
    .global_remove = [](void*, wl_registry*, std::uint32_t) {},
};

}  // namespace

class WaylandForeignToplevel::Impl {
public:
    Impl(LogSink log, DisplayPtr display) : log_(std::move(log)), display_(std::move(display)) {}

    // Binds the manager and learns the windows there are; false, logged, when that cannot be done.
    bool start()
    {
        ManagerGlobal global;
        std::uint32_t version = 0;
        {
            RegistryPtr registry(wl_display_get_registry(display_.get()));
            wl_registry_add_listener(registry.get(), &kRegistryListener, &global);
            if (wl_display_roundtrip(display_.get()) < 0) {
                log_("Wayland: the compositor did not answer: " + lastError());
                return false;
            }
            if (!global.name) {
                log_("Wayland: the compositor does not list its windows (no " + managerName() +
                     "), so the application in front is unknown");
                return false;
            }
            version = std::min(global.version, kManagerVersion);
            manager_.reset(static_cast<zwlr_foreign_toplevel_manager_v1*>(
                wl_registry_bind(registry.get(), *global.name, &zwlr_foreign_toplevel_manager_v1_interface, version)));
            if (global.seat) {
                seat_.reset(
                    static_cast<wl_seat*>(wl_registry_bind(registry.get(), *global.seat, &wl_seat_interface, 1)));
            }
        }
        zwlr_foreign_toplevel_manager_v1_add_listener(manager_.get(), &kManagerListener, this);
        // The compositor announces every window, with its state, right after the bind.
        if (wl_display_roundtrip(display_.get()) < 0) {
            log_("Wayland: the compositor did not answer: " + lastError());
            return false;
        }
        activation_.takeChange();
        current_ = activation_.active();
        notifier_ = std::make_unique<QSocketNotifier>(wl_display_get_fd(display_.get()), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { onReadable(); });
        log_("Wayland: following the active window through " + managerName() + " version " + std::to_string(version));
        return true;
    }

    std::optional<ActiveApplication> current()
    {
        const std::lock_guard lock(lock_);
        return current_;
    }

    void setOnActivation(std::function<void(const std::optional<ActiveApplication>&)> callback)
    {
        onActivation_ = std::move(callback);
    }

    bool activate(const std::string& appId)
    {
        const std::optional<ToplevelActivation::Id> window = activation_.windowOf(appId);
        const auto handle = window ? handles_.find(*window) : handles_.end();
        if (!seat_ || handle == handles_.end()) {
            return false;
        }
        zwlr_foreign_toplevel_handle_v1_activate(handle->second.get(), seat_.get());
        return wl_display_flush(display_.get()) >= 0;
    }

private:
    void onReadable()
    {
        wl_display* display = display_.get();
        // Only an empty queue may be read into; nothing else reads this connection, so this loop
        // runs once.
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0) {
                lost();
                return;
            }
        }
        if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0) {
            lost();
            return;
        }
        // Sends the destroy requests of closed windows; should the socket be full, the next flush
        // sends them.
        wl_display_flush(display);
        report();
    }

    void lost()
    {
        log_("Wayland: lost the connection to the compositor (" + lastError() +
             "), so the application in front is unknown from now on");
        notifier_->setEnabled(false);
        activation_.clear();
        report();
    }

    // Reports once all events at hand are applied: a focus change deactivates one window before it
    // activates the next, and the moment between is no change of its own.
    void report()
    {
        if (!activation_.takeChange()) {
            return;
        }
        const std::optional<ActiveApplication> application = activation_.active();
        {
            const std::lock_guard lock(lock_);
            current_ = application;
        }
        // A copy: the callback may replace itself.
        if (const auto callback = onActivation_) {
            callback(application);
        }
    }

    std::string lastError() const { return connectionError(display_.get()); }

    void onToplevel(zwlr_foreign_toplevel_handle_v1* handle)
    {
        handles_.insert_or_assign(idOf(handle), HandlePtr(handle));
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandleListener, this);
    }

    void onClosed(zwlr_foreign_toplevel_handle_v1* handle)
    {
        const ToplevelActivation::Id id = idOf(handle);
        activation_.closed(id);
        handles_.erase(id);
    }

    void onFinished()
    {
        log_("Wayland: the compositor no longer announces new windows");
        manager_.reset();
    }

    static Impl& of(void* data) { return *static_cast<Impl*>(data); }

    static const zwlr_foreign_toplevel_manager_v1_listener kManagerListener;
    static const zwlr_foreign_toplevel_handle_v1_listener kHandleListener;

    LogSink log_;
    DisplayPtr display_;  // first: the proxies on it go before it
    ManagerPtr manager_;
    SeatPtr seat_;
    std::map<ToplevelActivation::Id, HandlePtr> handles_;
    ToplevelActivation activation_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void(const std::optional<ActiveApplication>&)> onActivation_;
    std::mutex lock_;
    std::optional<ActiveApplication> current_;
};

const zwlr_foreign_toplevel_manager_v1_listener WaylandForeignToplevel::Impl::kManagerListener = {
    .toplevel = [](void* data, zwlr_foreign_toplevel_manager_v1*,
                   zwlr_foreign_toplevel_handle_v1* handle) { of(data).onToplevel(handle); },
    .finished = [](void* data, zwlr_foreign_toplevel_manager_v1*) { of(data).onFinished(); },
};

const zwlr_foreign_toplevel_handle_v1_listener WaylandForeignToplevel::Impl::kHandleListener = {
    .title = [](void*, zwlr_foreign_toplevel_handle_v1*, const char*) {},
    .app_id = [](void* data, zwlr_foreign_toplevel_handle_v1* handle,
                 const char* appId) { of(data).activation_.setAppId(idOf(handle), appId != nullptr ? appId : ""); },
    .output_enter = [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
    .output_leave = [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
    .state = [](void* data, zwlr_foreign_toplevel_handle_v1* handle,
                wl_array* states) { of(data).activation_.setActivated(idOf(handle), isActivated(states)); },
    .done = [](void* data, zwlr_foreign_toplevel_handle_v1* handle) { of(data).activation_.done(idOf(handle)); },
    .closed = [](void* data, zwlr_foreign_toplevel_handle_v1* handle) { of(data).onClosed(handle); },
    .parent = [](void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {},
};

std::unique_ptr<WaylandForeignToplevel> WaylandForeignToplevel::create(LogSink log)
{
    std::unique_ptr<Impl> impl = startOnCompositor<Impl>(std::move(log), "to ask for the active window");
    return impl ? std::unique_ptr<WaylandForeignToplevel>(new WaylandForeignToplevel(std::move(impl))) : nullptr;
}

WaylandForeignToplevel::WaylandForeignToplevel(std::unique_ptr<Impl> impl) : impl_(std::move(impl))
{
}

WaylandForeignToplevel::~WaylandForeignToplevel() = default;

std::optional<ActiveApplication> WaylandForeignToplevel::activeApplication()
{
    return impl_->current();
}

bool WaylandForeignToplevel::activate(const std::string& appId)
{
    return impl_->activate(appId);
}

void WaylandForeignToplevel::setOnActivation(std::function<void(const std::optional<ActiveApplication>&)> callback)
{
    impl_->setOnActivation(std::move(callback));
}

}  // namespace korvane
