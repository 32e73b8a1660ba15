#include "platform/linux/x11/X11KeyGrabber.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace korvane {

namespace {

std::string hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

}  // namespace

// Releases its combination when the manager that holds it lets go.
class X11KeyGrabber::HeldGrab final : public KeyGrabber::Grab {
public:
    HeldGrab(std::shared_ptr<X11KeyGrabber> grabber, std::uint32_t hotkeyId)
        : grabber_(std::move(grabber)), hotkeyId_(hotkeyId)
    {
    }
    ~HeldGrab() override { grabber_->release(hotkeyId_); }

    HeldGrab(const HeldGrab&) = delete;
    HeldGrab& operator=(const HeldGrab&) = delete;

private:
    std::shared_ptr<X11KeyGrabber> grabber_;
    std::uint32_t hotkeyId_;
};

X11KeyGrabber::X11KeyGrabber(X11Connection& connection, std::shared_ptr<X11KeyboardMapping> mapping, LogSink log)
    : connection_(connection), mapping_(std::move(mapping)), log_(std::move(log))
{
    // Without it a held key repeats as release-press pairs, indistinguishable from real ones.
    Bool supported = False;
    XkbSetDetectableAutoRepeat(connection_.display(), True, &supported);
    if (!supported) {
        log_("Key grab: the X server cannot mark repeated keys -- a held shortcut repeats");
    }
    subscription_ = connection_.subscribe([this](const XEvent& event) { handle(event); });
    mappingListener_ = mapping_->onChange([this] { regrab(); });
}

X11KeyGrabber::~X11KeyGrabber()
{
    // Grabs hold the grabber alive, so none is left here; this only guards against misuse.
    for (const auto& [id, held] : held_) {
        ungrabAll(held.combinations);
    }
}

void X11KeyGrabber::setEventHandler(EventHandler handler)
{
    handler_ = std::move(handler);
}

int X11KeyGrabber::combinationsFor(const KeyGrabRequest& request, Held& held) const
{
    const ModifierMap& map = mapping_->modifierMap();
    const std::optional<unsigned> mask = ModifierMapping::grabMask(request.modifiers, map);
    if (!mask) {
        log_("Key grab: " + request.modifiers.symbolString() + " has no modifier of its own on this keyboard");
        return KeyGrabStatus::modifierUnavailable;
    }
    const std::vector<unsigned> keyCodes = mapping_->keyCodesFor(request.keysym);
    if (keyCodes.empty()) {
        log_("Key grab: no key produces keysym " + hex(request.keysym) + " in the current keymap");
        return KeyGrabStatus::noKeyForKeysym;
    }
    held.request = request;
    held.mask = *mask;
    held.lockMask = ModifierMapping::lockMask(map, *mask);
    held.combinations.clear();
    for (const unsigned keyCode : keyCodes) {
        for (const unsigned locks : ModifierMapping::lockCombinations(held.lockMask)) {
            held.combinations.emplace_back(keyCode, *mask | locks);
        }
    }
    return KeyGrabStatus::grabbed;
}

KeyGrabber::Result X11KeyGrabber::grab(const KeyGrabRequest& request)
{
    Held held;
    if (const int status = combinationsFor(request, held); status != KeyGrabStatus::grabbed) {
        return {status, nullptr};
    }
    // The server lets a client grab its own combination twice, and ungrabbing one would then
    // silently end the other: refuse here, as the server does between clients.
    for (const auto& [id, other] : held_) {
        for (const Combination& combination : held.combinations) {
            if (std::find(other.combinations.begin(), other.combinations.end(), combination) !=
                other.combinations.end()) {
                return {KeyGrabStatus::heldByThisProcess, nullptr};
            }
        }
    }
    if (const int error = grabAll(held.combinations); error != 0) {
        return {error, nullptr};
    }
    held_[request.hotkeyId] = std::move(held);
    return {KeyGrabStatus::grabbed, std::make_unique<HeldGrab>(shared_from_this(), request.hotkeyId)};
}

int X11KeyGrabber::grabAll(const std::vector<Combination>& combinations)
{
    Display* display = connection_.display();
    int error = 0;
    {
        X11Connection::ErrorTrap trap(connection_);
        for (const auto& [keyCode, state] : combinations) {
            XGrabKey(display, static_cast<int>(keyCode), state, connection_.rootWindow(), False, GrabModeAsync,
                     GrabModeAsync);
        }
        error = trap.errorCode();
    }
    if (error != 0) {
        // Ungrabbing a combination another client holds leaves that client's grab alone.
        ungrabAll(combinations);
    }
    return error;
}

void X11KeyGrabber::ungrabAll(const std::vector<Combination>& combinations)
{
    Display* display = connection_.display();
    X11Connection::ErrorTrap trap(connection_);
    for (const auto& [keyCode, state] : combinations) {
        XUngrabKey(display, static_cast<int>(keyCode), state, connection_.rootWindow());
    }
}

void X11KeyGrabber::release(std::uint32_t hotkeyId)
{
    const auto found = held_.find(hotkeyId);
    if (found == held_.end()) {
        return;
    }
    ungrabAll(found->second.combinations);
    held_.erase(found);
    std::erase_if(keysDown_, [hotkeyId](const auto& down) { return down.second == hotkeyId; });
}

void X11KeyGrabber::handle(const XEvent& event)
{
    if ((event.type != KeyPress && event.type != KeyRelease) || event.xkey.root != connection_.rootWindow()) {
        return;
    }
    const unsigned keyCode = event.xkey.keycode;
    const auto down = keysDown_.find(keyCode);
    if (event.type == KeyRelease) {
        // The modifiers may be let go first, so a release is matched by its key alone.
        if (down == keysDown_.end()) {
            return;
        }
        const std::uint32_t id = down->second;
        keysDown_.erase(down);
        if (handler_) {
            handler_({id, HotkeyEvent::released, false});
        }
        return;
    }
    if (down != keysDown_.end()) {
        if (handler_) {
            handler_({down->second, HotkeyEvent::pressed, true});
        }
        return;
    }
    for (const auto& [id, held] : held_) {
        const unsigned state = event.xkey.state & 0xff & ~held.lockMask;
        const bool ours = std::any_of(held.combinations.begin(), held.combinations.end(),
                                      [&](const Combination& combination) { return combination.first == keyCode; });
        if (ours && state == held.mask) {
            keysDown_[keyCode] = id;
            if (handler_) {
                handler_({id, HotkeyEvent::pressed, false});
            }
            return;
        }
    }
}

void X11KeyGrabber::regrab()
{
    for (auto& [id, held] : held_) {
        Held renewed;
        const int status = combinationsFor(held.request, renewed);
        if (status == KeyGrabStatus::grabbed && renewed.combinations == held.combinations) {
            continue;
        }
        ungrabAll(held.combinations);
        held.combinations.clear();
        const int error = status == KeyGrabStatus::grabbed ? grabAll(renewed.combinations) : status;
        if (error != 0) {
            log_("Key grab lost after a keyboard mapping change: id=" + std::to_string(id) + " status " +
                 std::to_string(error));
            continue;
        }
        held = std::move(renewed);
        log_("Key grab renewed after a keyboard mapping change: id=" + std::to_string(id));
    }
}

}  // namespace korvane
