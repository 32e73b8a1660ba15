#pragma once

// Ownership wrappers for libatspi and GLib objects. Include from .cpp files only: GLib's macros
// clash with Qt's keywords.
#include <atspi/atspi.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace korvane::atspi {

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

// Takes a string libatspi hands over and frees it; empty for none.
inline std::string adoptString(gchar* text)
{
    std::string copy = text != nullptr ? text : "";
    g_free(text);
    return copy;
}

// Receives the AT-SPI events of some types while it lives. libatspi hands each event over through
// GLib's default main context, so `handler` runs on the thread that iterates it; main thread only.
//
// When one listener deregisters a type, the registry forgets that type for the whole process, and
// toolkits that go by the registry's list (Qt) stop sending it to every listener here. So the
// listeners of this process share one registration per type, dropped with the last of them.
class EventListener {
public:
    using Handler = std::function<void(const AtspiEvent&)>;

    EventListener(const std::vector<std::string>& types, Handler handler) : handler_(std::move(handler))
    {
        for (const std::string& type : types) {
            if (subscribe(type)) {
                registered_.push_back(type);
            }
        }
    }
    ~EventListener()
    {
        for (const std::string& type : registered_) {
            Registration& registration = *registrations().at(type);
            std::erase(registration.receivers, this);
            if (registration.receivers.empty()) {
                ErrorSlot error;
                atspi_event_listener_deregister(registration.listener.get(), type.c_str(), error.out());
            }
        }
    }
    EventListener(const EventListener&) = delete;
    EventListener& operator=(const EventListener&) = delete;

    // The types it listens for; fewer than asked when the registry refused some.
    const std::vector<std::string>& registered() const { return registered_; }

private:
    // Kept for the life of the process, so that an event already on its way never finds it gone.
    struct Registration {
        ObjectRef<AtspiEventListener> listener;
        std::vector<EventListener*> receivers;
    };

    static std::map<std::string, std::unique_ptr<Registration>>& registrations()
    {
        static std::map<std::string, std::unique_ptr<Registration>> all;
        return all;
    }

    bool subscribe(const std::string& type)
    {
        std::unique_ptr<Registration>& registration = registrations()[type];
        if (!registration) {
            registration = std::make_unique<Registration>();
            registration->listener =
                ObjectRef<AtspiEventListener>(atspi_event_listener_new(&deliver, registration.get(), nullptr));
        }
        if (registration->receivers.empty()) {
            ErrorSlot error;
            if (!registration->listener ||
                atspi_event_listener_register(registration->listener.get(), type.c_str(), error.out()) == FALSE) {
                return false;
            }
        }
        registration->receivers.push_back(this);
        return true;
    }

    // The event is our copy to free. A handler may end listeners, its own included.
    static void deliver(AtspiEvent* event, void* data)
    {
        const std::unique_ptr<AtspiEvent, void (*)(AtspiEvent*)> owned(
            event, [](AtspiEvent* copy) { g_boxed_free(ATSPI_TYPE_EVENT, copy); });
        const Registration& registration = *static_cast<Registration*>(data);
        const std::vector<EventListener*> receivers = registration.receivers;
        for (EventListener* receiver : receivers) {
            if (std::find(registration.receivers.begin(), registration.receivers.end(), receiver) !=
                registration.receivers.end()) {
                receiver->handler_(*event);
            }
        }
    }

    Handler handler_;
    std::vector<std::string> registered_;
};

}  // namespace korvane::atspi
