#include "platform/linux/atspi/AtspiAccessibility.h"

// GLib and libatspi stay in this file: their macros clash with Qt's keywords.
#include <atspi/atspi.h>
#include <gio/gio.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;

// Owns one reference to a GObject.
template <class T>
class ObjectRef {
public:
    ObjectRef() = default;
    explicit ObjectRef(T* adopted) : object_(adopted) {}
    static ObjectRef retain(T* object)
    {
        return ObjectRef(object != nullptr ? static_cast<T*>(g_object_ref(object)) : nullptr);
    }
    ObjectRef(const ObjectRef& other)
        : object_(other.object_ != nullptr ? static_cast<T*>(g_object_ref(other.object_)) : nullptr)
    {
    }
    ObjectRef(ObjectRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ObjectRef& operator=(ObjectRef other) noexcept
    {
        std::swap(object_, other.object_);
        return *this;
    }
    ~ObjectRef()
    {
        if (object_ != nullptr) {
            g_object_unref(object_);
        }
    }
    T* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};

using Accessible = ObjectRef<AtspiAccessible>;

// Frees a GError on every path.
class ErrorSlot {
public:
    ErrorSlot() = default;
    ErrorSlot(const ErrorSlot&) = delete;
    ErrorSlot& operator=(const ErrorSlot&) = delete;
    ~ErrorSlot() { clear(); }
    GError** out()
    {
        clear();
        return &error_;
    }
    bool failed() const { return error_ != nullptr; }
    void clear()
    {
        if (error_ != nullptr) {
            g_error_free(error_);
            error_ = nullptr;
        }
    }

private:
    GError* error_ = nullptr;
};

// Tracks whether one application answers in time: a request that took (nearly) the whole time-out
// is taken as no answer, and then every later request through the same gate fails at once.
class ResponseGate {
public:
    explicit ResponseGate(std::chrono::milliseconds timeout) : timeout_(timeout) {}
    bool isOpen() const { return !hung_; }
    void markHung() { hung_ = true; }

    // Runs `request` (which returns true on success) and gives the status to report.
    template <class Request>
    int run(Request&& request)
    {
        if (hung_) {
            return AccessibilityStatus::noReply;
        }
        const Clock::time_point start = Clock::now();
        const bool answered = request();
        // libatspi hides some time-outs behind empty or cached answers, so the clock decides.
        if (Clock::now() - start >= timeout_ * 9 / 10) {
            hung_ = true;
            return AccessibilityStatus::noReply;
        }
        return answered ? AccessibilityStatus::success : AccessibilityStatus::failure;
    }

private:
    std::chrono::milliseconds timeout_;
    bool hung_ = false;
};

std::optional<std::string> axRoleName(AtspiRole role, bool multiLine)
{
    switch (role) {
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_PASSWORD_TEXT:
        return "AXTextField";
    case ATSPI_ROLE_TEXT:
        // GTK and Qt give single-line fields the plain text role; only multi-line ones say so in
        // their states (Qt's line edits do not carry the single-line state).
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

// One focused element of another application.
class AtspiElement final : public AccessibleElement {
public:
    AtspiElement(Accessible accessible, std::chrono::milliseconds timeout, Rect primaryYDown)
        : accessible_(std::move(accessible)), gate_(timeout), primary_(primaryYDown)
    {
    }

    Answer<std::string> role() override
    {
        AtspiRole role = ATSPI_ROLE_INVALID;
        bool multiLine = false;
        ErrorSlot error;
        const int status = gate_.run([&] {
            role = atspi_accessible_get_role(accessible_.get(), error.out());
            if (error.failed()) {
                return false;
            }
            if (role == ATSPI_ROLE_TEXT) {
                const std::optional<bool> multi = hasState(ATSPI_STATE_MULTI_LINE);
                if (!multi) {
                    return false;
                }
                multiLine = *multi;
            }
            return true;
        });
        if (status != AccessibilityStatus::success) {
            return Answer<std::string>::failed(status);
        }
        return {AccessibilityStatus::success, axRoleName(role, multiLine)};
    }

    Answer<std::string> subrole() override
    {
        AtspiRole role = ATSPI_ROLE_INVALID;
        ErrorSlot error;
        const int status = gate_.run([&] {
            role = atspi_accessible_get_role(accessible_.get(), error.out());
            return !error.failed();
        });
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
        const int status = gate_.run([&] {
            editable = hasState(ATSPI_STATE_EDITABLE);
            return editable.has_value();
        });
        return status == AccessibilityStatus::success ? Answer<bool>::ok(*editable) : Answer<bool>::failed(status);
    }

    Answer<bool> isSelectedTextSettable() override
    {
        bool editableText = false;
        const int status = gate_.run([&] {
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
        ObjectRef<AtspiText> text(atspi_accessible_get_text_iface(accessible_.get()));
        if (!text) {
            return Answer<TextRange>::failed(AccessibilityStatus::unsupported);
        }
        TextRange range;
        ErrorSlot error;
        const int status = gate_.run([&] {
            const gint selections = atspi_text_get_n_selections(text.get(), error.out());
            if (error.failed()) {
                return false;
            }
            if (selections > 0) {
                AtspiRange* selection = atspi_text_get_selection(text.get(), 0, error.out());
                if (error.failed() || selection == nullptr) {
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
        ObjectRef<AtspiText> text(atspi_accessible_get_text_iface(accessible_.get()));
        if (!text) {
            return Answer<std::string>::failed(AccessibilityStatus::unsupported);
        }
        std::string value;
        ErrorSlot error;
        const int status = gate_.run([&] {
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
        ObjectRef<AtspiComponent> component(atspi_accessible_get_component_iface(accessible_.get()));
        if (!component) {
            return Answer<Rect>::failed(AccessibilityStatus::unsupported);
        }
        Rect frame;
        ErrorSlot error;
        const int status = gate_.run([&] {
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
    std::optional<bool> hasState(AtspiStateType state)
    {
        ObjectRef<AtspiStateSet> states(atspi_accessible_get_state_set(accessible_.get()));
        if (!states) {
            return std::nullopt;
        }
        return atspi_state_set_contains(states.get(), state) != FALSE;
    }

    Accessible accessible_;
    ResponseGate gate_;
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

class AtspiAccessibility::Impl {
public:
    Impl(Environment environment, std::chrono::milliseconds timeout)
        : environment_(std::move(environment)), timeout_(timeout)
    {
        atspi_init();
        // libatspi may make two calls to the application behind one query (a state read that
        // misses its cache does), so each call gets half of the budget.
        const auto perCall = static_cast<gint>(callTimeout().count());
        atspi_set_timeout(perCall, perCall);
        listener_ = atspi_event_listener_new(&Impl::focusChanged, this, nullptr);
        ErrorSlot error;
        atspi_event_listener_register(listener_, "object:state-changed:focused", error.out());
    }

    ~Impl()
    {
        ErrorSlot error;
        atspi_event_listener_deregister(listener_, "object:state-changed:focused", error.out());
        g_object_unref(listener_);
    }

    Answer<std::shared_ptr<AccessibleElement>> focusedElement()
    {
        using Result = Answer<std::shared_ptr<AccessibleElement>>;
        lastLookup_ = "none";
        const std::optional<long> pid = environment_.activeProcessId ? environment_.activeProcessId() : std::nullopt;
        if (!pid) {
            return Result::failed(noApplication);
        }
        const Accessible application = applicationOf(*pid);
        if (!application) {
            return Result::failed(noApplication);
        }
        const std::vector<Rect> desktop =
            environment_.desktopScreens ? environment_.desktopScreens() : std::vector<Rect>{};
        const Rect primary = desktop.empty() ? Rect{} : desktop.front();
        ResponseGate gate(callTimeout());
        Accessible focused = find(application, gate, Clock::now() + timeout_);
        if (!focused && !gate.isOpen()) {
            return Result::failed(AccessibilityStatus::noReply);
        }
        if (!focused) {
            return Result::failed(AccessibilityStatus::failure);
        }
        return Result::ok(std::make_shared<AtspiElement>(std::move(focused), callTimeout(), primary));
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

    std::string lastLookup_ = "none";
    Environment environment_;

    std::chrono::milliseconds callTimeout() const { return timeout_ / 2; }

private:
    static void focusChanged(AtspiEvent* event, void* self)
    {
        auto* impl = static_cast<Impl*>(self);
        if (event->detail1 == 1 && event->source != nullptr) {
            if (AtspiAccessible* application = atspi_accessible_get_application(event->source, nullptr)) {
                impl->remembered_[application] = {Accessible(application), Accessible::retain(event->source)};
            }
        }
        g_boxed_free(ATSPI_TYPE_EVENT, event);
    }

    Accessible applicationOf(long pid)
    {
        Accessible desktop(atspi_get_desktop(0));
        if (!desktop) {
            return {};
        }
        ErrorSlot error;
        const gint count = atspi_accessible_get_child_count(desktop.get(), error.out());
        for (gint index = 0; index < count; ++index) {
            Accessible application(atspi_accessible_get_child_at_index(desktop.get(), index, error.out()));
            if (!application) {
                continue;
            }
            if (static_cast<long>(atspi_accessible_get_process_id(application.get(), error.out())) == pid &&
                !error.failed()) {
                return application;
            }
        }
        return {};
    }

    // The focused object of one application, quickest way first.
    Accessible find(const Accessible& application, ResponseGate& gate, Clock::time_point deadline)
    {
        if (const auto found = remembered_.find(application.get()); found != remembered_.end()) {
            const Accessible candidate = found->second.second;
            bool focused = false;
            gate.run([&] {
                ObjectRef<AtspiStateSet> states(atspi_accessible_get_state_set(candidate.get()));
                focused = states && atspi_state_set_contains(states.get(), ATSPI_STATE_FOCUSED) != FALSE;
                return static_cast<bool>(states);
            });
            if (focused) {
                lastLookup_ = "remembered";
                return candidate;
            }
        }
        if (!gate.isOpen()) {
            return {};
        }
        // The application searches its own tree in one request, which takes a while in big trees:
        // it gets what is left of the whole budget, and a match counts however long it took.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const Clock::time_point searchStart = Clock::now();
        atspi_set_timeout(static_cast<gint>(std::max<std::int64_t>(left.count(), 1)), static_cast<gint>(left.count()));
        Accessible viaCollection = searchWithCollection(application);
        const auto perCall = static_cast<gint>(callTimeout().count());
        atspi_set_timeout(perCall, perCall);
        if (viaCollection) {
            lastLookup_ = "collection";
            return viaCollection;
        }
        if (Clock::now() - searchStart >= left * 9 / 10) {
            gate.markHung();
            return {};
        }
        if (Accessible walked = walk(application, deadline); walked) {
            lastLookup_ = "walk";
            return walked;
        }
        return {};
    }

    static Accessible searchWithCollection(const Accessible& application)
    {
        ObjectRef<AtspiCollection> collection(atspi_accessible_get_collection_iface(application.get()));
        if (!collection) {
            return {};
        }
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

    // Breadth first through the showing objects, the active window first; bounded in objects and
    // by a deadline, so a huge tree costs at most a time-out.
    Accessible walk(const Accessible& application, Clock::time_point deadline)
    {
        std::deque<Accessible> pending{application};
        std::size_t visited = 0;
        ErrorSlot error;
        while (!pending.empty() && visited < kWalkObjectLimit && Clock::now() < deadline) {
            Accessible node = std::move(pending.front());
            pending.pop_front();
            ++visited;
            ObjectRef<AtspiStateSet> states(atspi_accessible_get_state_set(node.get()));
            const bool isApplication = node.get() == application.get();
            if (!isApplication && (!states || !atspi_state_set_contains(states.get(), ATSPI_STATE_SHOWING))) {
                continue;
            }
            if (!isApplication && atspi_state_set_contains(states.get(), ATSPI_STATE_FOCUSED)) {
                return node;
            }
            const gint children = atspi_accessible_get_child_count(node.get(), error.out());
            for (gint index = 0; index < children; ++index) {
                Accessible child(atspi_accessible_get_child_at_index(node.get(), index, error.out()));
                if (!child) {
                    continue;
                }
                if (isApplication && hasState(child.get(), ATSPI_STATE_ACTIVE)) {
                    pending.push_front(std::move(child));
                } else {
                    pending.push_back(std::move(child));
                }
            }
        }
        return {};
    }

    std::chrono::milliseconds timeout_;
    AtspiEventListener* listener_ = nullptr;
    // Per application: the application (kept alive so its address stays unique) and its object
    // that last gained the focus.
    std::map<AtspiAccessible*, std::pair<Accessible, Accessible>> remembered_;
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

}  // namespace

std::optional<int> AtspiAccessibility::enableAccessibility(const std::string& bundleId)
{
    if (!impl_->environment_.isRunning || !impl_->environment_.isRunning(bundleId)) {
        return std::nullopt;
    }
    ErrorSlot error;
    ObjectRef<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, error.out()));
    if (!bus) {
        return AccessibilityStatus::failure;
    }
    return setBusEnabled(bus.get(), std::chrono::milliseconds(500));
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
