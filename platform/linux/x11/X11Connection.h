#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

// Xlib's own types, declared here without its header: Xlib defines macros (None, Bool, Status,
// KeyPress, ...) that break Qt and GoogleTest headers, so only adapters' .cpp files include it.
struct _XDisplay;
union _XEvent;

namespace korvane {

// The application's one connection to the X server, shared by every X11 adapter (focus tracking,
// and later the clipboard watcher, key grabs and raw key events). Events are read in the Qt event
// loop of the thread that opened it: a socket notifier wakes it when the server writes, and the
// queue is drained again before the loop sleeps, so events that Xlib read during another request
// are never left waiting. Requests may be made from any thread (Xlib runs with its locks on).
//
// X errors never end the process: they are counted per request so adapters can check a request
// (see ErrorTrap), and otherwise ignored, since windows of other clients vanish at any moment.
class X11Connection {
public:
    using EventHandler = std::function<void(const _XEvent& event)>;

    // Unsubscribes when destroyed.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(X11Connection* connection, int id) : connection_(connection), id_(id) {}
        Subscription(Subscription&& other) noexcept;
        Subscription& operator=(Subscription&& other) noexcept;
        ~Subscription();

    private:
        X11Connection* connection_ = nullptr;
        int id_ = 0;
    };

    // Captures the first X error raised by the requests made while it lives (after a round trip on
    // destruction or on errorCode()). Not for use across threads.
    class ErrorTrap {
    public:
        explicit ErrorTrap(X11Connection& connection);
        ~ErrorTrap();
        ErrorTrap(const ErrorTrap&) = delete;
        ErrorTrap& operator=(const ErrorTrap&) = delete;

        // Waits for the server to process the requests so far; 0 when none failed.
        int errorCode();

    private:
        X11Connection& connection_;
        unsigned long firstSerial_;
        int code_ = 0;
    };

    // Opens the display named by $DISPLAY (or `displayName`); nullptr when no X server answers.
    // Needs a Qt event loop on the calling thread to deliver events.
    static std::unique_ptr<X11Connection> open(const char* displayName = nullptr);
    ~X11Connection();

    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    _XDisplay* display() const { return display_; }
    unsigned long rootWindow() const { return root_; }

    // The atom of `name`, created when missing; cached.
    unsigned long atom(const std::string& name);

    // Every event read from the server reaches every subscriber, on the event loop's thread.
    [[nodiscard]] Subscription subscribe(EventHandler handler);

    // Hands every queued event to the subscribers. Called by the event loop; tests may call it.
    void dispatchPending();

private:
    class EventPump;
    explicit X11Connection(_XDisplay* display);
    void unsubscribe(int id);

    _XDisplay* display_;
    unsigned long root_;
    std::unique_ptr<EventPump> pump_;
    std::mutex atomsLock_;
    std::map<std::string, unsigned long> atoms_;
    std::recursive_mutex handlersLock_;
    std::map<int, std::shared_ptr<EventHandler>> handlers_;
    int nextHandlerId_ = 1;
};

}  // namespace korvane
