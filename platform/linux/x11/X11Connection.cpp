#include "platform/linux/x11/X11Connection.h"

#include "base/logging/Logger.h"

#include <QAbstractEventDispatcher>
#include <QObject>
#include <QSocketNotifier>
#include <QThread>

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace korvane {

namespace {

// Xlib's error handler is one per process. Errors are recorded with the serial of the request that
// caused them, so an ErrorTrap sees exactly the errors of its own requests.
struct RecordedError {
    Display* display = nullptr;
    unsigned long serial = 0;
    int code = 0;
};
std::mutex recordedErrorsLock;
std::vector<RecordedError> recordedErrors;  // bounded: traps take theirs, others are dropped

int recordError(Display* display, XErrorEvent* event)
{
    const std::lock_guard lock(recordedErrorsLock);
    if (recordedErrors.size() > 256) {
        recordedErrors.erase(recordedErrors.begin(), recordedErrors.begin() + 128);
    }
    recordedErrors.push_back({display, event->serial, event->error_code});
    return 0;
}

// A lost connection (X server ended) is fatal to Xlib, whose own handler prints a cryptic message and
// exits. Say what happened, in the debug log too, then exit: the application turns exit() into its
// own quick ending (see app/main.cpp), so no destructor runs while other threads hold Xlib's lock.
int connectionLost(Display*)
{
    std::fputs("Korvane: the connection to the X server was lost\n", stderr);
    Logger::log("The connection to the X server was lost");
    std::exit(1);
}

}  // namespace

class X11Connection::EventPump {
public:
    explicit EventPump(X11Connection& connection)
        : notifier_(ConnectionNumber(connection.display()), QSocketNotifier::Read)
    {
        QObject::connect(&notifier_, &QSocketNotifier::activated, [&connection] { connection.dispatchPending(); });
        if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread())) {
            aboutToBlock_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                                             [&connection] { connection.dispatchPending(); });
        }
    }
    ~EventPump() { QObject::disconnect(aboutToBlock_); }

private:
    QSocketNotifier notifier_;
    QMetaObject::Connection aboutToBlock_;
};

std::unique_ptr<X11Connection> X11Connection::open(const char* displayName)
{
    XInitThreads();
    Display* display = XOpenDisplay(displayName);
    if (display == nullptr) {
        return nullptr;
    }
    XSetErrorHandler(&recordError);
    XSetIOErrorHandler(&connectionLost);
    return std::unique_ptr<X11Connection>(new X11Connection(display));
}

X11Connection::X11Connection(_XDisplay* display) : display_(display), root_(DefaultRootWindow(display))
{
    pump_ = std::make_unique<EventPump>(*this);
}

X11Connection::~X11Connection()
{
    pump_.reset();
    XCloseDisplay(display_);
}

unsigned long X11Connection::atom(const std::string& name)
{
    const std::lock_guard lock(atomsLock_);
    const auto found = atoms_.find(name);
    if (found != atoms_.end()) {
        return found->second;
    }
    const Atom value = XInternAtom(display_, name.c_str(), False);
    atoms_.emplace(name, value);
    return value;
}

X11Connection::Subscription X11Connection::subscribe(EventHandler handler)
{
    const std::lock_guard lock(handlersLock_);
    const int id = nextHandlerId_++;
    handlers_.emplace(id, std::make_shared<EventHandler>(std::move(handler)));
    return Subscription(this, id);
}

void X11Connection::unsubscribe(int id)
{
    const std::lock_guard lock(handlersLock_);
    handlers_.erase(id);
}

void X11Connection::dispatchPending()
{
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        std::vector<std::shared_ptr<EventHandler>> handlers;
        {
            const std::lock_guard lock(handlersLock_);
            for (const auto& [id, handler] : handlers_) {
                handlers.push_back(handler);
            }
        }
        for (const auto& handler : handlers) {
            (*handler)(event);
        }
    }
}

X11Connection::Subscription::Subscription(Subscription&& other) noexcept
    : connection_(std::exchange(other.connection_, nullptr)), id_(other.id_)
{
}

X11Connection::Subscription& X11Connection::Subscription::operator=(Subscription&& other) noexcept
{
    if (this != &other) {
        if (connection_ != nullptr) {
            connection_->unsubscribe(id_);
        }
        connection_ = std::exchange(other.connection_, nullptr);
        id_ = other.id_;
    }
    return *this;
}

X11Connection::Subscription::~Subscription()
{
    if (connection_ != nullptr) {
        connection_->unsubscribe(id_);
    }
}

X11Connection::ErrorTrap::ErrorTrap(X11Connection& connection)
    : connection_(connection), firstSerial_(NextRequest(connection.display()))
{
}

X11Connection::ErrorTrap::~ErrorTrap()
{
    errorCode();
}

int X11Connection::ErrorTrap::errorCode()
{
    XSync(connection_.display(), False);
    const std::lock_guard lock(recordedErrorsLock);
    for (auto it = recordedErrors.begin(); it != recordedErrors.end();) {
        if (it->display == connection_.display() && it->serial >= firstSerial_) {
            if (code_ == 0) {
                code_ = it->code;
            }
            it = recordedErrors.erase(it);
        } else {
            ++it;
        }
    }
    return code_;
}

}  // namespace korvane
