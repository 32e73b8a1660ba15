#include "platform/linux/atspi/AtspiActiveApplication.h"

// GLib and libatspi stay in this file: their macros clash with Qt's keywords.
#include "platform/linux/atspi/AtspiAccessibility.h"
#include "platform/linux/atspi/AtspiRefs.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kActivate = "window:activate";
constexpr std::string_view kDeactivate = "window:deactivate";

// A window by its object's address on the bus, which stays the same for as long as the window lives.
struct FrameId {
    std::string busName;
    std::string path;

    friend bool operator==(const FrameId&, const FrameId&) = default;
};

// libatspi knows both without asking the application.
FrameId frameIdOf(AtspiAccessible* accessible)
{
    const AtspiObject& object = accessible->parent;
    return {object.app != nullptr && object.app->bus_name != nullptr ? object.app->bus_name : "",
            object.path != nullptr ? object.path : ""};
}

// Qt gives a window that is a plain widget, not a main window or dialog, the role filler.
bool isWindowRole(AtspiRole role)
{
    return role == ATSPI_ROLE_FRAME || role == ATSPI_ROLE_WINDOW || role == ATSPI_ROLE_DIALOG ||
           role == ATSPI_ROLE_FILLER;
}

// Bounds the requests to other applications: each may take `timeout`, all of them together run
// until `deadline`. libatspi's time-out is one setting for the whole process, so it is set before
// every request, as the focus inspection does.
class Requests {
public:
    Requests(std::chrono::milliseconds timeout, Clock::time_point deadline) : timeout_(timeout), deadline_(deadline) {}

    bool isOpen() const { return Clock::now() < deadline_; }

    // Runs `request` (true when it succeeded); true when it succeeded in time. One that took
    // (nearly) all it was allowed counts as unanswered: libatspi hides some time-outs behind empty
    // answers.
    template <class Request>
    bool ask(Request&& request)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        const std::chrono::milliseconds allowed = std::max(std::chrono::milliseconds(1), std::min(timeout_, left));
        atspi_set_timeout(static_cast<gint>(allowed.count()), -1);
        const Clock::time_point start = Clock::now();
        const bool answered = request();
        const Clock::duration took = Clock::now() - start;
        atspi_set_timeout(static_cast<gint>(timeout_.count()), -1);
        return answered && took < allowed * 9 / 10;
    }

private:
    std::chrono::milliseconds timeout_;
    Clock::time_point deadline_;
};

}  // namespace

class AtspiActiveApplication::Impl {
public:
    using Callback = std::function<void(const std::optional<ActiveApplication>&)>;

    Impl(std::optional<long> selfProcessId, LogSink log, std::chrono::milliseconds timeout)
        : self_(selfProcessId), log_(std::move(log)), timeout_(timeout)
    {
        if (!accessibilityBusReachable(timeout_)) {
            log_("Active application: no accessibility bus, so none is known");
            return;
        }
        atspi_init();
        atspi_set_timeout(static_cast<gint>(timeout_.count()), -1);
        // Listening before the search: an activation heard meanwhile is newer than what it finds.
        listener_ = std::make_unique<atspi::EventListener>(
            std::vector<std::string>{std::string(kActivate), std::string(kDeactivate)},
            [this](const AtspiEvent& event) { heard(event); });
        if (listener_->registered().size() != 2) {
            log_("Active application: the accessibility bus does not report window activations");
        }
        if (std::optional<Front> front = search(std::nullopt); front && !heardEvents_) {
            change(std::move(front->frame), std::move(front->application));
        }
    }

    std::optional<ActiveApplication> current() const
    {
        const std::lock_guard lock(lock_);
        return current_;
    }

    void setCallback(Callback callback)
    {
        const std::lock_guard lock(lock_);
        callback_ = std::move(callback);
    }

private:
    struct Front {
        FrameId frame;
        std::optional<ActiveApplication> application;
    };
    enum class Outcome { found, none, unanswered };

    void heard(const AtspiEvent& event)
    {
        heardEvents_ = true;
        if (event.source == nullptr || event.type == nullptr) {
            return;
        }
        const std::string_view type = event.type;
        FrameId frame = frameIdOf(event.source);
        unanswered_.erase(frame.busName);
        if (type.starts_with(kActivate)) {
            if (frame_ == frame || isOurs(event.source)) {
                return;
            }
            Requests requests(timeout_, Clock::now() + 2 * timeout_);
            change(std::move(frame), describe(event.source, requests));
        } else if (type.starts_with(kDeactivate) && frame_ == frame) {
            // A window that got the focus back before it announced losing it announces neither (Qt
            // waits a moment before it takes the focus from a window on X11), so whatever window
            // still says it is active is in front.
            std::optional<Front> front = search(frame);
            change(front ? std::optional(std::move(front->frame)) : std::nullopt,
                   front ? std::move(front->application) : std::nullopt);
        }
    }

    // The frame in the ACTIVE state among the top-level objects of the applications but ours, other
    // than `except`. Applications that left a request unanswered are skipped until they send an
    // event, so that a hung one costs one time-out, not one per search.
    std::optional<Front> search(const std::optional<FrameId>& except)
    {
        Requests requests(timeout_, Clock::now() + 4 * timeout_);
        const atspi::Accessible desktop(atspi_get_desktop(0));
        if (!desktop) {
            return std::nullopt;
        }
        atspi::ErrorSlot error;
        gint applications = 0;
        requests.ask([&] {
            applications = atspi_accessible_get_child_count(desktop.get(), error.out());
            return !error.failed();
        });
        for (gint index = 0; index < applications && requests.isOpen(); ++index) {
            atspi::Accessible application;
            requests.ask([&] {
                application = atspi::Accessible(atspi_accessible_get_child_at_index(desktop.get(), index, error.out()));
                return static_cast<bool>(application);
            });
            if (!application || isOurs(application.get()) ||
                unanswered_.contains(frameIdOf(application.get()).busName)) {
                continue;
            }
            atspi::Accessible frame;
            const Outcome outcome = activeFrameOf(application, except, requests, frame);
            if (outcome == Outcome::unanswered) {
                unanswered_.insert(frameIdOf(application.get()).busName);
            } else if (outcome == Outcome::found) {
                return Front{frameIdOf(frame.get()), describe(frame.get(), requests)};
            }
        }
        return std::nullopt;
    }

    // Gives up on the application at its first unanswered request.
    static Outcome activeFrameOf(const atspi::Accessible& application, const std::optional<FrameId>& except,
                                 Requests& requests, atspi::Accessible& frame)
    {
        atspi::ErrorSlot error;
        gint children = 0;
        if (!requests.ask([&] {
                children = atspi_accessible_get_child_count(application.get(), error.out());
                return !error.failed();
            })) {
            return Outcome::unanswered;
        }
        for (gint index = 0; index < children; ++index) {
            atspi::Accessible child;
            bool active = false;
            AtspiRole role = ATSPI_ROLE_INVALID;
            if (!requests.ask([&] {
                    child =
                        atspi::Accessible(atspi_accessible_get_child_at_index(application.get(), index, error.out()));
                    return static_cast<bool>(child);
                }) ||
                !requests.ask([&] {
                    const atspi::ObjectRef<AtspiStateSet> states(atspi_accessible_get_state_set(child.get()));
                    active = states && atspi_state_set_contains(states.get(), ATSPI_STATE_ACTIVE) != FALSE;
                    return static_cast<bool>(states);
                })) {
                return Outcome::unanswered;
            }
            if (!active || except == frameIdOf(child.get())) {
                continue;
            }
            if (!requests.ask([&] {
                    role = atspi_accessible_get_role(child.get(), error.out());
                    return !error.failed();
                })) {
                return Outcome::unanswered;
            }
            if (isWindowRole(role)) {
                frame = std::move(child);
                return Outcome::found;
            }
        }
        return Outcome::none;
    }

    // The process of the application an object belongs to, from the bus daemon: the application is
    // not asked, so neither we nor a hung one are. A bus name never passes to another connection.
    std::optional<long> processOf(AtspiAccessible* accessible)
    {
        const std::string busName = frameIdOf(accessible).busName;
        if (const auto known = processes_.find(busName); known != processes_.end()) {
            return known->second;
        }
        atspi::ErrorSlot error;
        const long process = static_cast<long>(atspi_accessible_get_process_id(accessible, error.out()));
        const std::optional<long> found = !error.failed() && process > 0 ? std::optional(process) : std::nullopt;
        if (!busName.empty()) {
            processes_.emplace(busName, found);
        }
        return found;
    }

    bool isOurs(AtspiAccessible* accessible) { return self_ && processOf(accessible) == self_; }

    // The application an object belongs to; nothing when it did not answer in time or has no name.
    std::optional<ActiveApplication> describe(AtspiAccessible* accessible, Requests& requests)
    {
        const std::string busName = frameIdOf(accessible).busName;
        auto known = names_.find(busName);
        if (known == names_.end()) {
            atspi::Accessible application;
            std::string name;
            atspi::ErrorSlot error;
            // libatspi keeps the application's root object once it has come across it.
            const AtspiApplication* owner = accessible->parent.app;
            if (owner != nullptr && owner->root != nullptr) {
                application = atspi::Accessible::retain(owner->root);
            } else if (!requests.ask([&] {
                           application = atspi::Accessible(atspi_accessible_get_application(accessible, error.out()));
                           return static_cast<bool>(application);
                       })) {
                return std::nullopt;
            }
            if (!requests.ask([&] {
                    name = atspi::adoptString(atspi_accessible_get_name(application.get(), error.out()));
                    return !error.failed();
                })) {
                return std::nullopt;
            }
            known = names_.emplace(busName, std::move(name)).first;
        }
        if (known->second.empty()) {
            return std::nullopt;
        }
        return ActiveApplication{known->second, processOf(accessible)};
    }

    void change(std::optional<FrameId> frame, std::optional<ActiveApplication> application)
    {
        frame_ = std::move(frame);
        Callback callback;
        {
            const std::lock_guard lock(lock_);
            current_ = application;
            callback = callback_;
        }
        if (application && application != logged_) {
            log_("Active application: " + application->bundleId +
                 (application->processId ? " (process " + std::to_string(*application->processId) + ")" : ""));
            logged_ = application;
        }
        if (callback) {
            callback(application);
        }
    }

    const std::optional<long> self_;
    const LogSink log_;
    const std::chrono::milliseconds timeout_;
    bool heardEvents_ = false;
    std::optional<FrameId> frame_;
    std::optional<ActiveApplication> logged_;
    // Per bus name.
    std::map<std::string, std::optional<long>> processes_;
    std::map<std::string, std::string> names_;
    std::set<std::string> unanswered_;
    mutable std::mutex lock_;
    std::optional<ActiveApplication> current_;
    Callback callback_;
    std::unique_ptr<atspi::EventListener> listener_;  // last: the first to go
};

AtspiActiveApplication::AtspiActiveApplication(std::optional<long> selfProcessId, LogSink log,
                                               std::chrono::milliseconds timeout)
    : impl_(std::make_unique<Impl>(selfProcessId, std::move(log), timeout))
{
}

AtspiActiveApplication::~AtspiActiveApplication() = default;

std::optional<ActiveApplication> AtspiActiveApplication::activeApplication()
{
    return impl_->current();
}

void AtspiActiveApplication::setOnActivation(std::function<void(const std::optional<ActiveApplication>&)> callback)
{
    impl_->setCallback(std::move(callback));
}

}  // namespace korvane
