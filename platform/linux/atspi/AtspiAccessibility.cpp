#include "platform/linux/atspi/AtspiAccessibility.h"

// GLib and libatspi stay in this file: their macros clash with Qt's keywords.
#include "platform/linux/atspi/AtspiRefs.h"

#include <atspi/atspi.h>
#include <gio/gio.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;

using atspi::Accessible;
using atspi::ErrorSlot;
using atspi::ObjectRef;

// The time one inspection may take, shared by the lookup of the focused element and every query of
// the element it found. Each request to the application gets part of what is left (libatspi's
// time-out is set before it); a request that took (nearly) all it was given is taken as no answer,
// and then every later request fails at once.
class Budget {
public:
    // How many calls libatspi may make to the application behind one request: a state read that
    // misses its cache, an interface lookup before the call itself.
    enum class Calls { one, upToTwo };

    Budget(std::chrono::milliseconds total, std::chrono::milliseconds idleTimeout)
        : deadline_(Clock::now() + total), idleTimeout_(idleTimeout)
    {
    }

    bool isOpen() const { return !hung_ && Clock::now() < deadline_; }
    // Whether a request went unanswered or the time is up.
    bool ranOut() const { return hung_ || Clock::now() >= deadline_; }

    // Runs `request` (which returns true on success) and gives the status to report.
    template <class Request>
    int run(Request&& request, Calls calls = Calls::upToTwo)
    {
        if (hung_) {
            return AccessibilityStatus::noReply;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
        if (left.count() <= 0) {
            hung_ = true;
            return AccessibilityStatus::noReply;
        }
        const std::chrono::milliseconds allowed =
            std::max(std::chrono::milliseconds(1), calls == Calls::one ? left : left / 2);
        // No grace for applications that just joined the bus (-1): the budget is the budget.
        atspi_set_timeout(static_cast<gint>(allowed.count()), -1);
        const Clock::time_point start = Clock::now();
        const bool answered = request();
        const Clock::duration took = Clock::now() - start;
        // libatspi's own calls between inspections (while it dispatches events) get the usual time.
        atspi_set_timeout(static_cast<gint>(idleTimeout_.count()), -1);
        // libatspi hides some time-outs behind empty or cached answers, so the clock decides.
        if (took >= allowed * 9 / 10) {
            hung_ = true;
            return AccessibilityStatus::noReply;
        }
        return answered ? AccessibilityStatus::success : AccessibilityStatus::failure;
    }

private:
    Clock::time_point deadline_;
    std::chrono::milliseconds idleTimeout_;
    bool hung_ = false;
};

// The unique bus name of the application an object belongs to; libatspi knows it without asking.
std::string busNameOf(AtspiAccessible* accessible)
{
    if (accessible == nullptr || accessible->parent.app == nullptr || accessible->parent.app->bus_name == nullptr) {
        return {};
    }
    return accessible->parent.app->bus_name;
}

std::optional<std::string> axRoleName(AtspiRole role, bool multiLine)
{
    switch (role) {
    case ATSPI_ROLE_PASSWORD_TEXT:
        return "AXTextField";
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_TEXT:
        // GTK and Qt give single-line fields the plain text role, Chromium gives text areas the
        // entry role; only multi-line ones say so in their states (Qt's line edits do not carry the
        // single-line state).
        return multiLine ? "AXTextArea" : "AXTextField";
    case ATSPI_ROLE_TERMINAL:
        return "AXTextArea";
    case ATSPI_ROLE_COMBO_BOX:
        return "AXComboBox";
    case ATSPI_ROLE_PUSH_BUTTON:
    case ATSPI_ROLE_TOGGLE_BUTTON:
        return "AXButton";
    case ATSPI_ROLE_MENU:
        return "AXMenu";
    case ATSPI_ROLE_MENU_ITEM:
    case ATSPI_ROLE_CHECK_MENU_ITEM:
    case ATSPI_ROLE_RADIO_MENU_ITEM:
    case ATSPI_ROLE_TEAROFF_MENU_ITEM:
        return "AXMenuItem";
    case ATSPI_ROLE_MENU_BAR:
        return "AXMenuBar";
    case ATSPI_ROLE_CHECK_BOX:
        return "AXCheckBox";
    case ATSPI_ROLE_RADIO_BUTTON:
        return "AXRadioButton";
    case ATSPI_ROLE_SLIDER:
        return "AXSlider";
    case ATSPI_ROLE_IMAGE:
    case ATSPI_ROLE_ICON:
        return "AXImage";
    case ATSPI_ROLE_PROGRESS_BAR:
        return "AXProgressIndicator";
    case ATSPI_ROLE_TOOL_BAR:
        return "AXToolbar";
    case ATSPI_ROLE_PAGE_TAB_LIST:
        return "AXTabGroup";
    case ATSPI_ROLE_DOCUMENT_WEB:
        return "AXWebArea";
    case ATSPI_ROLE_INVALID:
        return std::nullopt;
    default:
        break;
    }
    std::string name = "atspi:";
    if (gchar* atspiName = atspi_role_get_name(role)) {
        name += atspiName;
        g_free(atspiName);
    }
    return name;
}

// One focused element of another application; its queries spend the budget of the lookup that
// found it.
class AtspiElement final : public AccessibleElement {
public:
    AtspiElement(Accessible accessible, std::shared_ptr<Budget> budget, Rect primaryYDown)
        : accessible_(std::move(accessible)), budget_(std::move(budget)), primary_(primaryYDown)
    {
    }

    Answer<std::string> role() override
    {
        AtspiRole role = ATSPI_ROLE_INVALID;
        const int status = readRole(role);
        if (status != AccessibilityStatus::success) {
            return Answer<std::string>::failed(status);
        }
        bool multiLine = false;
        if (role == ATSPI_ROLE_TEXT || role == ATSPI_ROLE_ENTRY) {
            std::optional<bool> multi;
            const int stateStatus = budget_->run([&] {
                multi = hasState(ATSPI_STATE_MULTI_LINE);
                return multi.has_value();
            });
            if (stateStatus != AccessibilityStatus::success) {
                return Answer<std::string>::failed(stateStatus);
            }
            multiLine = *multi;
        }
        return {AccessibilityStatus::success, axRoleName(role, multiLine)};
    }

    Answer<std::string> subrole() override
    {
        AtspiRole role = ATSPI_ROLE_INVALID;
        const int status = readRole(role);
        if (status != AccessibilityStatus::success) {
            return Answer<std::string>::failed(status);
        }
        if (role == ATSPI_ROLE_PASSWORD_TEXT) {
            return Answer<std::string>::ok("AXSecureTextField");
        }
        if (role == ATSPI_ROLE_TERMINAL) {
            // Terminals take text, but pasted with their own keys.
            return Answer<std::string>::ok("AXTerminal");
        }
        return {AccessibilityStatus::success, std::nullopt};
    }

    Answer<bool> isValueSettable() override
    {
        std::optional<bool> editable;
        const int status = budget_->run([&] {
            editable = hasState(ATSPI_STATE_EDITABLE);
            return editable.has_value();
        });
        return status == AccessibilityStatus::success ? Answer<bool>::ok(*editable) : Answer<bool>::failed(status);
    }

    Answer<bool> isSelectedTextSettable() override
    {
        bool editableText = false;
        const int status = budget_->run([&] {
            AtspiEditableText* iface = atspi_accessible_get_editable_text_iface(accessible_.get());
            editableText = iface != nullptr;
            if (iface != nullptr) {
                g_object_unref(iface);
            }
            return true;
        });
        return status == AccessibilityStatus::success ? Answer<bool>::ok(editableText) : Answer<bool>::failed(status);
    }

    Answer<TextRange> selectedTextRange() override
    {
        ObjectRef<AtspiText> text;
        if (const int status = textInterface(text); status != AccessibilityStatus::success) {
            return Answer<TextRange>::failed(status);
        }
        TextRange range;
        ErrorSlot error;
        gint selections = 0;
        int status = budget_->run([&] {
            selections = atspi_text_get_n_selections(text.get(), error.out());
            return !error.failed();
        });
        if (status != AccessibilityStatus::success) {
            return Answer<TextRange>::failed(status);
        }
        status = budget_->run([&] {
            if (selections > 0) {
                AtspiRange* selection = atspi_text_get_selection(text.get(), 0, error.out());
                if (error.failed() || selection == nullptr) {
                    g_free(selection);
                    return false;
                }
                range.location = std::min(selection->start_offset, selection->end_offset);
                range.length = std::abs(selection->end_offset - selection->start_offset);
                g_free(selection);
                return true;
            }
            range.location = atspi_text_get_caret_offset(text.get(), error.out());
            range.length = 0;
            return !error.failed() && range.location >= 0;
        });
        return status == AccessibilityStatus::success ? Answer<TextRange>::ok(range)
                                                      : Answer<TextRange>::failed(status);
    }

    Answer<std::string> stringForRange(TextRange range) override
    {
        ObjectRef<AtspiText> text;
        if (const int status = textInterface(text); status != AccessibilityStatus::success) {
            return Answer<std::string>::failed(status);
        }
        std::string value;
        ErrorSlot error;
        const int status = budget_->run([&] {
            gchar* characters = atspi_text_get_text(text.get(), static_cast<gint>(range.location),
                                                    static_cast<gint>(range.location + range.length), error.out());
            if (error.failed() || characters == nullptr) {
                g_free(characters);
                return false;
            }
            value = characters;
            g_free(characters);
            return true;
        });
        return status == AccessibilityStatus::success ? Answer<std::string>::ok(std::move(value))
                                                      : Answer<std::string>::failed(status);
    }

    Answer<Rect> frameFromTopLeft() override
    {
        ObjectRef<AtspiComponent> component;
        int status = budget_->run([&] {
            component = ObjectRef<AtspiComponent>(atspi_accessible_get_component_iface(accessible_.get()));
            return true;
        });
        if (status != AccessibilityStatus::success) {
            return Answer<Rect>::failed(status);
        }
        if (!component) {
            return Answer<Rect>::failed(AccessibilityStatus::unsupported);
        }
        Rect frame;
        ErrorSlot error;
        status = budget_->run([&] {
            AtspiRect* extents = atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, error.out());
            if (error.failed() || extents == nullptr) {
                g_free(extents);
                return false;
            }
            frame = {static_cast<double>(extents->x) - primary_.x, static_cast<double>(extents->y) - primary_.y,
                     static_cast<double>(extents->width), static_cast<double>(extents->height)};
            g_free(extents);
            return true;
        });
        return status == AccessibilityStatus::success ? Answer<Rect>::ok(frame) : Answer<Rect>::failed(status);
    }

private:
    int readRole(AtspiRole& role)
    {
        ErrorSlot error;
        return budget_->run([&] {
            role = atspi_accessible_get_role(accessible_.get(), error.out());
            return !error.failed();
        });
    }

    // The text interface: the status of the lookup, `unsupported` when the element has none.
    int textInterface(ObjectRef<AtspiText>& text)
    {
        const int status = budget_->run([&] {
            text = ObjectRef<AtspiText>(atspi_accessible_get_text_iface(accessible_.get()));
            return true;
        });
        if (status == AccessibilityStatus::success && !text) {
            return AccessibilityStatus::unsupported;
        }
        return status;
    }

    std::optional<bool> hasState(AtspiStateType state)
    {
        ObjectRef<AtspiStateSet> states(atspi_accessible_get_state_set(accessible_.get()));
        if (!states) {
            return std::nullopt;
        }
        return atspi_state_set_contains(states.get(), state) != FALSE;
    }

    Accessible accessible_;
    std::shared_ptr<Budget> budget_;
    Rect primary_;
};

bool hasState(AtspiAccessible* accessible, AtspiStateType state)
{
    ObjectRef<AtspiStateSet> states(atspi_accessible_get_state_set(accessible));
    return states && atspi_state_set_contains(states.get(), state) != FALSE;
}

// The tree walk's limits: enough for any real window's showing part, bounded for pathological ones.
constexpr std::size_t kWalkObjectLimit = 20000;

}  // namespace

// Whether libatspi will find its bus: the address it is given, or the one the session bus's
// accessibility service answers with in time.
bool accessibilityBusReachable(std::chrono::milliseconds timeout)
{
    const char* given = g_getenv("AT_SPI_BUS_ADDRESS");
    if (given != nullptr && *given != '\0') {
        return true;
    }
    ErrorSlot error;
    ObjectRef<GDBusConnection> session(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, error.out()));
    if (!session) {
        return false;
    }
    GVariant* reply = g_dbus_connection_call_sync(session.get(), "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus",
                                                  "GetAddress", nullptr, G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE,
                                                  static_cast<gint>(timeout.count()), nullptr, error.out());
    if (reply == nullptr) {
        return false;
    }
    g_variant_unref(reply);
    return true;
}

class AtspiAccessibility::Impl {
public:
    Impl(Environment environment, std::chrono::milliseconds timeout)
        : environment_(std::move(environment)), timeout_(timeout), available_(accessibilityBusReachable(timeout))
    {
        // libatspi ends the process when it cannot find its bus, so it is only started on one that
        // answers; without, every inspection fails and deliveries go ahead with their defaults.
        if (!available_) {
            return;
        }
        atspi_init();
        atspi_set_timeout(static_cast<gint>(idleTimeout().count()), -1);
        listener_ = atspi_event_listener_new(&Impl::focusChanged, this, nullptr);
        ErrorSlot error;
        atspi_event_listener_register(listener_, "object:state-changed:focused", error.out());
    }

    ~Impl()
    {
        if (!available_) {
            return;
        }
        ErrorSlot error;
        atspi_event_listener_deregister(listener_, "object:state-changed:focused", error.out());
        g_object_unref(listener_);
    }

    Answer<std::shared_ptr<AccessibleElement>> focusedElement()
    {
        using Result = Answer<std::shared_ptr<AccessibleElement>>;
        lastLookup_ = "none";
        if (!available_) {
            return Result::failed(AccessibilityStatus::failure);
        }
        const std::optional<long> pid = environment_.activeProcessId ? environment_.activeProcessId() : std::nullopt;
        if (!pid) {
            return Result::failed(noApplication);
        }
        const auto budget = std::make_shared<Budget>(timeout_, idleTimeout());
        const Accessible application = applicationOf(*pid, *budget);
        if (!application) {
            return Result::failed(budget->ranOut() ? AccessibilityStatus::noReply : noApplication);
        }
        wake(application, *budget);
        const std::vector<Rect> desktop =
            environment_.desktopScreens ? environment_.desktopScreens() : std::vector<Rect>{};
        const Rect primary = desktop.empty() ? Rect{} : desktop.front();
        Accessible focused = find(application, *budget);
        if (!focused) {
            return Result::failed(budget->ranOut() ? AccessibilityStatus::noReply : AccessibilityStatus::failure);
        }
        return Result::ok(std::make_shared<AtspiElement>(std::move(focused), budget, primary));
    }

    std::vector<Rect> screens()
    {
        const std::vector<Rect> desktop =
            environment_.desktopScreens ? environment_.desktopScreens() : std::vector<Rect>{};
        std::vector<Rect> converted;
        for (const Rect& screen : desktop) {
            converted.push_back(fromDesktopCoordinates(screen, desktop.front()));
        }
        return converted;
    }

    // Records that the application with that bus name was asked to build its tree; false when it
    // already was.
    bool markAsked(const std::string& busName)
    {
        const std::lock_guard lock(askedLock_);
        return asked_.insert(busName).second;
    }

    std::string lastLookup_ = "none";
    Environment environment_;
    std::chrono::milliseconds timeout_;

private:
    // What libatspi's own calls get outside an inspection.
    std::chrono::milliseconds idleTimeout() const { return timeout_ / 2; }

    // Remembers the object per application without asking anything: this runs for every focus
    // change on the desktop, and a busy application must not hold up our event loop.
    static void focusChanged(AtspiEvent* event, void* self)
    {
        auto* impl = static_cast<Impl*>(self);
        if (event->detail1 == 1 && event->source != nullptr) {
            if (std::string busName = busNameOf(event->source); !busName.empty()) {
                impl->remembered_[std::move(busName)] = Accessible::retain(event->source);
            }
        }
        g_boxed_free(ATSPI_TYPE_EVENT, event);
    }

    Accessible applicationOf(long pid, Budget& budget)
    {
        Accessible desktop(atspi_get_desktop(0));
        if (!desktop) {
            return {};
        }
        ErrorSlot error;
        gint count = 0;
        budget.run([&] {
            count = atspi_accessible_get_child_count(desktop.get(), error.out());
            return !error.failed();
        });
        for (gint index = 0; index < count && budget.isOpen(); ++index) {
            Accessible application;
            budget.run([&] {
                application = Accessible(atspi_accessible_get_child_at_index(desktop.get(), index, error.out()));
                return static_cast<bool>(application);
            });
            const std::string busName = busNameOf(application.get());
            if (busName.empty()) {
                continue;
            }
            auto known = processes_.find(busName);
            if (known == processes_.end()) {
                long process = -1;
                if (budget.run([&] {
                        process = static_cast<long>(atspi_accessible_get_process_id(application.get(), error.out()));
                        return !error.failed();
                    }) != AccessibilityStatus::success) {
                    continue;
                }
                // A bus name is never given to another connection, so its process never changes.
                known = processes_.emplace(busName, process).first;
            }
            if (known->second == pid) {
                return application;
            }
        }
        return {};
    }

    // Asks the application once to build its accessibility tree (Chromium builds the tree of its
    // pages only when an assistive technology reads an object's attributes); other toolkits just
    // answer.
    void wake(const Accessible& application, Budget& budget)
    {
        if (!markAsked(busNameOf(application.get()))) {
            return;
        }
        budget.run([&] {
            ErrorSlot error;
            GHashTable* attributes = atspi_accessible_get_attributes(application.get(), error.out());
            if (attributes != nullptr) {
                g_hash_table_unref(attributes);
            }
            return !error.failed();
        });
    }

    // The focused object of one application, quickest way first.
    Accessible find(const Accessible& application, Budget& budget)
    {
        if (const auto found = remembered_.find(busNameOf(application.get())); found != remembered_.end()) {
            const Accessible candidate = found->second;
            bool focused = false;
            budget.run([&] {
                focused = hasState(candidate.get(), ATSPI_STATE_FOCUSED);
                return true;
            });
            if (focused) {
                lastLookup_ = "remembered";
                return candidate;
            }
        }
        // The application searches its own tree in one request, which takes a while in big trees:
        // it gets all that is left of the budget.
        ObjectRef<AtspiCollection> collection;
        budget.run([&] {
            collection = ObjectRef<AtspiCollection>(atspi_accessible_get_collection_iface(application.get()));
            return true;
        });
        if (collection) {
            Accessible viaCollection;
            budget.run(
                [&] {
                    viaCollection = searchWithCollection(collection);
                    return true;
                },
                Budget::Calls::one);
            if (viaCollection && !budget.ranOut()) {
                lastLookup_ = "collection";
                return viaCollection;
            }
        }
        if (Accessible walked = walk(application, budget); walked) {
            lastLookup_ = "walk";
            return walked;
        }
        return {};
    }

    static Accessible searchWithCollection(const ObjectRef<AtspiCollection>& collection)
    {
        ObjectRef<AtspiStateSet> states(atspi_state_set_new(nullptr));
        atspi_state_set_add(states.get(), ATSPI_STATE_FOCUSED);
        ObjectRef<AtspiMatchRule> rule(
            atspi_match_rule_new(states.get(), ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_NONE,
                                 nullptr, ATSPI_Collection_MATCH_NONE, nullptr, ATSPI_Collection_MATCH_NONE, FALSE));
        ErrorSlot error;
        GArray* matches = atspi_collection_get_matches(collection.get(), rule.get(),
                                                       ATSPI_Collection_SORT_ORDER_CANONICAL, 1, TRUE, error.out());
        Accessible found;
        if (matches != nullptr) {
            if (matches->len > 0) {
                found = Accessible(g_array_index(matches, AtspiAccessible*, 0));
                for (guint i = 1; i < matches->len; ++i) {
                    g_object_unref(g_array_index(matches, AtspiAccessible*, i));
                }
            }
            g_array_free(matches, TRUE);
        }
        return found;
    }

    // Breadth first through the showing objects, the active window first; bounded in objects, and
    // every request spends the inspection's budget, so a tree that stops answering half-way costs
    // no more than one that never answered.
    Accessible walk(const Accessible& application, Budget& budget)
    {
        std::deque<Accessible> pending{application};
        std::size_t visited = 0;
        ErrorSlot error;
        while (!pending.empty() && visited < kWalkObjectLimit && budget.isOpen()) {
            Accessible node = std::move(pending.front());
            pending.pop_front();
            ++visited;
            const bool isApplication = node.get() == application.get();
            if (!isApplication) {
                ObjectRef<AtspiStateSet> states;
                if (budget.run([&] {
                        states = ObjectRef<AtspiStateSet>(atspi_accessible_get_state_set(node.get()));
                        return static_cast<bool>(states);
                    }) != AccessibilityStatus::success ||
                    !atspi_state_set_contains(states.get(), ATSPI_STATE_SHOWING)) {
                    continue;
                }
                if (atspi_state_set_contains(states.get(), ATSPI_STATE_FOCUSED)) {
                    return node;
                }
            }
            gint children = 0;
            budget.run([&] {
                children = atspi_accessible_get_child_count(node.get(), error.out());
                return !error.failed();
            });
            for (gint index = 0; index < children && budget.isOpen(); ++index) {
                Accessible child;
                budget.run([&] {
                    child = Accessible(atspi_accessible_get_child_at_index(node.get(), index, error.out()));
                    return static_cast<bool>(child);
                });
                if (!child) {
                    continue;
                }
                bool active = false;
                if (isApplication) {
                    budget.run([&] {
                        active = hasState(child.get(), ATSPI_STATE_ACTIVE);
                        return true;
                    });
                }
                if (active) {
                    pending.push_front(std::move(child));
                } else {
                    pending.push_back(std::move(child));
                }
            }
        }
        return {};
    }

    bool available_ = false;
    AtspiEventListener* listener_ = nullptr;
    // Per application (by bus name): its object that last gained the focus, and its process.
    std::map<std::string, Accessible> remembered_;
    std::map<std::string, long> processes_;
    // The applications already asked to build their trees, from either thread.
    std::mutex askedLock_;
    std::set<std::string> asked_;
};

AtspiAccessibility::AtspiAccessibility(Environment environment, std::chrono::milliseconds timeout)
    : impl_(std::make_unique<Impl>(std::move(environment), timeout))
{
}

AtspiAccessibility::~AtspiAccessibility() = default;

bool AtspiAccessibility::isTrusted()
{
    return impl_->environment_.isTrusted && impl_->environment_.isTrusted();
}

Answer<std::shared_ptr<AccessibleElement>> AtspiAccessibility::focusedElement()
{
    return impl_->focusedElement();
}

std::vector<Rect> AtspiAccessibility::screens()
{
    return impl_->screens();
}

std::string AtspiAccessibility::lastLookup() const
{
    return impl_->lastLookup_;
}

namespace {

constexpr const char* kBusName = "org.a11y.Bus";
constexpr const char* kBusPath = "/org/a11y/bus";
constexpr const char* kStatusInterface = "org.a11y.Status";

int statusOf(const GError* error, Clock::time_point start, std::chrono::milliseconds timeout)
{
    if (error == nullptr) {
        return AccessibilityStatus::success;
    }
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT) || Clock::now() - start >= timeout * 9 / 10) {
        return AccessibilityStatus::noReply;
    }
    return AccessibilityStatus::failure;
}

// Sets org.a11y.Status IsEnabled; the status of the request.
int setBusEnabled(GDBusConnection* bus, std::chrono::milliseconds timeout)
{
    GError* error = nullptr;
    const Clock::time_point start = Clock::now();
    GVariant* reply = g_dbus_connection_call_sync(
        bus, kBusName, kBusPath, "org.freedesktop.DBus.Properties", "Set",
        g_variant_new("(ssv)", kStatusInterface, "IsEnabled", g_variant_new_boolean(TRUE)), nullptr,
        G_DBUS_CALL_FLAGS_NONE, static_cast<gint>(timeout.count()), nullptr, &error);
    if (reply != nullptr) {
        g_variant_unref(reply);
        return AccessibilityStatus::success;
    }
    const int status = statusOf(error, start, timeout);
    g_error_free(error);
    return status;
}

using VariantRef = std::unique_ptr<GVariant, decltype(&g_variant_unref)>;

// Calls one method with what is left until `deadline`; the reply, or nothing and the status in
// `status`.
VariantRef callBefore(GDBusConnection* bus, const char* name, const char* path, const char* interface,
                      const char* method, GVariant* parameters, const char* replyType, Clock::time_point deadline,
                      int& status)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
        if (parameters != nullptr) {
            g_variant_unref(g_variant_ref_sink(parameters));
        }
        status = AccessibilityStatus::noReply;
        return {nullptr, &g_variant_unref};
    }
    GError* error = nullptr;
    const Clock::time_point start = Clock::now();
    GVariant* reply =
        g_dbus_connection_call_sync(bus, name, path, interface, method, parameters, G_VARIANT_TYPE(replyType),
                                    G_DBUS_CALL_FLAGS_NO_AUTO_START, static_cast<gint>(left.count()), nullptr, &error);
    status = statusOf(error, start, left);
    if (error != nullptr) {
        g_error_free(error);
    }
    return {reply, &g_variant_unref};
}

// Asks every application on the accessibility bus that runs in one of `processes` for the
// attributes of its root object, over a connection of our own, before `deadline`. The status: success
// when one of them answered, noApplication when none of them is on the bus.
int askToBuildTrees(GDBusConnection* session, const std::vector<long>& processes, Clock::time_point deadline,
                    const std::function<void(const std::string&)>& markAsked)
{
    int status = AccessibilityStatus::success;
    const VariantRef address =
        callBefore(session, kBusName, kBusPath, "org.a11y.Bus", "GetAddress", nullptr, "(s)", deadline, status);
    if (!address) {
        return status;
    }
    const gchar* where = nullptr;
    g_variant_get(address.get(), "(&s)", &where);
    ErrorSlot error;
    ObjectRef<GDBusConnection> bus(g_dbus_connection_new_for_address_sync(
        where,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, error.out()));
    if (!bus) {
        return AccessibilityStatus::failure;
    }
    int result = AtspiAccessibility::noApplication;
    if (const VariantRef children =
            callBefore(bus.get(), "org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root",
                       "org.a11y.atspi.Accessible", "GetChildren", nullptr, "(a(so))", deadline, status);
        !children) {
        result = status;
    } else {
        GVariantIter* applications = nullptr;
        g_variant_get(children.get(), "(a(so))", &applications);
        const gchar* name = nullptr;
        const gchar* path = nullptr;
        while (g_variant_iter_next(applications, "(&s&o)", &name, &path)) {
            const VariantRef owner =
                callBefore(bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "GetConnectionUnixProcessID", g_variant_new("(s)", name), "(u)", deadline, status);
            if (!owner) {
                if (status == AccessibilityStatus::noReply) {
                    result = status;
                    break;
                }
                continue;
            }
            guint32 process = 0;
            g_variant_get(owner.get(), "(u)", &process);
            if (std::find(processes.begin(), processes.end(), static_cast<long>(process)) == processes.end()) {
                continue;
            }
            markAsked(name);
            const VariantRef attributes = callBefore(bus.get(), name, path, "org.a11y.atspi.Accessible",
                                                     "GetAttributes", nullptr, "(a{ss})", deadline, status);
            if (attributes) {
                result = AccessibilityStatus::success;
            } else if (result != AccessibilityStatus::success) {
                result = status;
            }
        }
        g_variant_iter_free(applications);
    }
    g_dbus_connection_close_sync(bus.get(), nullptr, nullptr);
    return result;
}

}  // namespace

std::optional<int> AtspiAccessibility::enableAccessibility(const std::string& bundleId)
{
    const std::vector<long> processes =
        impl_->environment_.processesOf ? impl_->environment_.processesOf(bundleId) : std::vector<long>{};
    if (processes.empty()) {
        return std::nullopt;
    }
    const Clock::time_point deadline = Clock::now() + impl_->timeout_;
    ErrorSlot error;
    ObjectRef<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, error.out()));
    if (!bus) {
        return AccessibilityStatus::failure;
    }
    // Toolkits that only join the bus while it is on need it on; Chromium then also needs asking.
    if (const int status = setBusEnabled(bus.get(), impl_->timeout_); status != AccessibilityStatus::success) {
        return status;
    }
    return askToBuildTrees(bus.get(), processes, deadline,
                           [impl = impl_.get()](const std::string& busName) { impl->markAsked(busName); });
}

void ensureAccessibilityBusEnabled(const LogSink& log, std::chrono::milliseconds timeout)
{
    ErrorSlot error;
    ObjectRef<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, error.out()));
    if (!bus) {
        log("Accessibility bus: no session bus");
        return;
    }
    const Clock::time_point start = Clock::now();
    GError* readError = nullptr;
    GVariant* reply =
        g_dbus_connection_call_sync(bus.get(), kBusName, kBusPath, "org.freedesktop.DBus.Properties", "Get",
                                    g_variant_new("(ss)", kStatusInterface, "IsEnabled"), G_VARIANT_TYPE("(v)"),
                                    G_DBUS_CALL_FLAGS_NONE, static_cast<gint>(timeout.count()), nullptr, &readError);
    if (reply == nullptr) {
        const int status = statusOf(readError, start, timeout);
        g_error_free(readError);
        log("Accessibility bus: not available (status " + std::to_string(status) + ")");
        return;
    }
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    const bool enabled = value != nullptr && g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) &&
                         g_variant_get_boolean(value) != FALSE;
    if (value != nullptr) {
        g_variant_unref(value);
    }
    g_variant_unref(reply);
    if (enabled) {
        log("Accessibility bus: already on");
        return;
    }
    log("Accessibility bus: was off, switching on: status " + std::to_string(setBusEnabled(bus.get(), timeout)));
}

}  // namespace korvane
