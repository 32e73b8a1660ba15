#include "platform/linux/x11/X11ModifierKeys.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <array>
#include <utility>
#include <vector>

namespace korvane {

namespace {

constexpr std::array<int, 2> kRawKeyEvents{XI_RawKeyPress, XI_RawKeyRelease};

}  // namespace

// The raw key events selected on the root window for this connection while it lives. Other bits
// that the connection selects there are kept as they are.
class X11ModifierKeys::RawKeySelection {
public:
    explicit RawKeySelection(X11Connection& connection) : connection_(connection) { update(true); }
    ~RawKeySelection() { update(false); }

    RawKeySelection(const RawKeySelection&) = delete;
    RawKeySelection& operator=(const RawKeySelection&) = delete;

    // Whether the server took the selection.
    bool selected() const { return selected_; }

private:
    void update(bool on)
    {
        Display* display = connection_.display();
        std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> bits{};
        int count = 0;
        if (XIEventMask* current = XIGetSelectedEvents(display, connection_.rootWindow(), &count)) {
            for (int i = 0; i < count; ++i) {
                if (current[i].deviceid == XIAllMasterDevices) {
                    for (int byte = 0; byte < current[i].mask_len && byte < static_cast<int>(bits.size()); ++byte) {
                        bits[static_cast<std::size_t>(byte)] = current[i].mask[byte];
                    }
                }
            }
            XFree(current);
        }
        for (const int type : kRawKeyEvents) {
            if (on) {
                XISetMask(bits.data(), type);
            } else {
                XIClearMask(bits.data(), type);
            }
        }
        XIEventMask mask{XIAllMasterDevices, static_cast<int>(bits.size()), bits.data()};
        X11Connection::ErrorTrap trap(connection_);
        XISelectEvents(display, connection_.rootWindow(), &mask, 1);
        selected_ = trap.errorCode() == 0 && on;
    }

    X11Connection& connection_;
    bool selected_ = false;
};

// One watcher's registration; the raw events stay selected while any is alive.
class X11ModifierKeys::ActiveWatch final : public ModifierKeySource::Watch {
public:
    ActiveWatch(std::shared_ptr<X11ModifierKeys> keys, int id) : keys_(std::move(keys)), id_(id) {}
    ~ActiveWatch() override { keys_->unwatch(id_); }

    ActiveWatch(const ActiveWatch&) = delete;
    ActiveWatch& operator=(const ActiveWatch&) = delete;

private:
    std::shared_ptr<X11ModifierKeys> keys_;
    int id_;
};

X11ModifierKeys::X11ModifierKeys(X11Connection& connection, std::shared_ptr<X11KeyboardMapping> mapping, LogSink log)
    : connection_(connection), mapping_(std::move(mapping)), log_(std::move(log))
{
    Display* display = connection_.display();
    int opcode = 0;
    int event = 0;
    int error = 0;
    // The first version a connection announces is the one the server holds it to; raw events
    // during another client's grab need 2.1 or later.
    int major = 2;
    int minor = 2;
    if (XQueryExtension(display, "XInputExtension", &opcode, &event, &error) &&
        XIQueryVersion(display, &major, &minor) == Success && major >= 2) {
        inputOpcode_ = opcode;
    }
    subscription_ = connection_.subscribe([this](const XEvent& xEvent) { handle(xEvent); });
    // Keys keep their physical state across a layout switch; only what they mean changes.
    mappingListener_ = mapping_->onChange([this] {
        if (selection_) {
            publish(modifiersOf(keysDown_));
        }
    });
}

X11ModifierKeys::~X11ModifierKeys() = default;

X11ModifierKeys::KeysDown X11ModifierKeys::queryKeysDown() const
{
    std::array<char, 32> keys{};
    XQueryKeymap(connection_.display(), keys.data());
    KeysDown down;
    for (std::size_t code = 0; code < down.size(); ++code) {
        down[code] = (static_cast<unsigned char>(keys[code / 8]) & (1U << (code % 8))) != 0;
    }
    return down;
}

ChordModifierSet X11ModifierKeys::modifiersOf(const KeysDown& keys) const
{
    std::vector<std::uint32_t> keysyms;
    for (unsigned code = 0; code < keys.size(); ++code) {
        if (keys[code]) {
            keysyms.push_back(mapping_->baseKeysym(code));
        }
    }
    return ModifierMapping::heldModifiers(keysyms, mapping_->modifierMap());
}

ChordModifierSet X11ModifierKeys::heldModifiers()
{
    return modifiersOf(queryKeysDown());
}

std::unique_ptr<ModifierKeySource::Watch> X11ModifierKeys::watch(Handler handler)
{
    if (inputOpcode_ < 0) {
        log_("Modifier keys: the X server has no XInput 2");
        return nullptr;
    }
    if (!selection_) {
        auto selection = std::make_unique<RawKeySelection>(connection_);
        if (!selection->selected()) {
            return nullptr;
        }
        selection_ = std::move(selection);
        // Read after selecting, so that no key goes down unseen in between.
        keysDown_ = queryKeysDown();
        held_ = modifiersOf(keysDown_);
    }
    const int id = nextHandlerId_++;
    handlers_.emplace(id, std::move(handler));
    return std::make_unique<ActiveWatch>(shared_from_this(), id);
}

void X11ModifierKeys::unwatch(int id)
{
    handlers_.erase(id);
    if (handlers_.empty()) {
        selection_.reset();
    }
}

void X11ModifierKeys::handle(const XEvent& event)
{
    if (!selection_ || event.type != GenericEvent || event.xcookie.extension != inputOpcode_ ||
        (event.xcookie.evtype != XI_RawKeyPress && event.xcookie.evtype != XI_RawKeyRelease)) {
        return;
    }
    XGenericEventCookie cookie = event.xcookie;
    if (!XGetEventData(connection_.display(), &cookie)) {
        return;
    }
    const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
    const auto code = static_cast<std::size_t>(raw->detail);
    if (code < keysDown_.size()) {
        keysDown_[code] = cookie.evtype == XI_RawKeyPress;
    }
    XFreeEventData(connection_.display(), &cookie);

    publish(modifiersOf(keysDown_));
}

void X11ModifierKeys::publish(ChordModifierSet held)
{
    // Ordinary keys change nothing here; only a different set of modifiers is news.
    if (held == held_) {
        return;
    }
    held_ = held;
    std::vector<Handler> handlers;
    for (const auto& [id, handler] : handlers_) {
        handlers.push_back(handler);
    }
    for (const Handler& handler : handlers) {
        handler(held);
    }
}

}  // namespace korvane
