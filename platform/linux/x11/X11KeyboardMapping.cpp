#include "platform/linux/x11/X11KeyboardMapping.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <utility>

namespace korvane {

namespace {

constexpr unsigned long kChangeEvents = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;

}  // namespace

X11KeyboardMapping::X11KeyboardMapping(X11Connection& connection) : connection_(connection)
{
    Display* display = connection_.display();
    int opcode = 0;
    int errorBase = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    int eventBase = 0;
    if (XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor)) {
        xkbEventBase_ = eventBase;
        // Without this, a layout switch tells an Xlib client nothing: Xlib keeps XKB's own
        // notifications to itself and sends no core MappingNotify in their place.
        XkbSelectEvents(display, XkbUseCoreKbd, kChangeEvents, kChangeEvents);
    }
    reload();
    subscription_ = connection_.subscribe([this](const XEvent& event) {
        const bool changed = (xkbEventBase_ >= 0 && event.type == xkbEventBase_ &&
                              (reinterpret_cast<const XkbEvent&>(event).any.xkb_type == XkbNewKeyboardNotify ||
                               reinterpret_cast<const XkbEvent&>(event).any.xkb_type == XkbMapNotify)) ||
                             event.type == MappingNotify;
        if (!changed) {
            return;
        }
        reload();
        std::vector<std::function<void()>> callbacks;
        for (const auto& [id, callback] : listeners_) {
            callbacks.push_back(callback);
        }
        for (const auto& callback : callbacks) {
            callback();
        }
    });
}

X11KeyboardMapping::~X11KeyboardMapping()
{
    subscription_ = {};
    if (xkbEventBase_ >= 0) {
        XkbSelectEvents(connection_.display(), XkbUseCoreKbd, kChangeEvents, 0);
        XFlush(connection_.display());
    }
}

void X11KeyboardMapping::reload()
{
    Display* display = connection_.display();
    keys_ = {};
    if (XkbDescPtr keymap = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd)) {
        const int last = std::min<int>(keymap->max_key_code, static_cast<int>(keys_.size()) - 1);
        for (int code = keymap->min_key_code; code <= last; ++code) {
            KeySymbols& key = keys_[static_cast<std::size_t>(code)];
            const auto keyCode = static_cast<KeyCode>(code);
            for (int group = 0; group < XkbKeyNumGroups(keymap, keyCode); ++group) {
                for (int level = 0; level < XkbKeyGroupWidth(keymap, keyCode, group); ++level) {
                    const auto keysym = static_cast<std::uint32_t>(XkbKeySymEntry(keymap, keyCode, level, group));
                    if (keysym == NoSymbol) {
                        continue;
                    }
                    key.allLevels.push_back(keysym);
                    if (level == 0) {
                        key.baseLevels.push_back(keysym);
                    }
                }
            }
        }
        XkbFreeKeyboard(keymap, 0, True);
    }

    modifierMap_ = {};
    if (XModifierKeymap* modifiers = XGetModifierMapping(display)) {
        for (int bit = 0; bit < 8; ++bit) {
            for (int slot = 0; slot < modifiers->max_keypermod; ++slot) {
                const unsigned code = modifiers->modifiermap[bit * modifiers->max_keypermod + slot];
                if (code != 0) {
                    modifierMap_.keysyms[static_cast<std::size_t>(bit)].push_back(baseKeysym(code));
                }
            }
        }
        XFreeModifiermap(modifiers);
    }
}

std::uint32_t X11KeyboardMapping::baseKeysym(unsigned keyCode) const
{
    if (keyCode >= keys_.size() || keys_[keyCode].baseLevels.empty()) {
        return 0;
    }
    return keys_[keyCode].baseLevels.front();
}

std::vector<unsigned> X11KeyboardMapping::keyCodesFor(std::uint32_t keysym) const
{
    std::vector<unsigned> codes;
    for (const bool anyLevel : {false, true}) {
        for (unsigned code = 1; code < keys_.size(); ++code) {
            const std::vector<std::uint32_t>& produced = anyLevel ? keys_[code].allLevels : keys_[code].baseLevels;
            if (std::find(produced.begin(), produced.end(), keysym) != produced.end()) {
                codes.push_back(code);
            }
        }
        if (!codes.empty()) {
            break;
        }
    }
    return codes;
}

X11KeyboardMapping::Listener X11KeyboardMapping::onChange(std::function<void()> callback)
{
    const int id = nextListenerId_++;
    listeners_.emplace(id, std::move(callback));
    return Listener(this, id);
}

void X11KeyboardMapping::removeListener(int id)
{
    listeners_.erase(id);
}

X11KeyboardMapping::Listener::Listener(Listener&& other) noexcept
    : mapping_(std::exchange(other.mapping_, nullptr)), id_(other.id_)
{
}

X11KeyboardMapping::Listener& X11KeyboardMapping::Listener::operator=(Listener&& other) noexcept
{
    if (this != &other) {
        if (mapping_ != nullptr) {
            mapping_->removeListener(id_);
        }
        mapping_ = std::exchange(other.mapping_, nullptr);
        id_ = other.id_;
    }
    return *this;
}

X11KeyboardMapping::Listener::~Listener()
{
    if (mapping_ != nullptr) {
        mapping_->removeListener(id_);
    }
}

}  // namespace korvane
