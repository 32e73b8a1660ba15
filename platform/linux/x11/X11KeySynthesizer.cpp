#include "platform/linux/x11/X11KeySynthesizer.h"

#include "delivery/paste/KeyCodeChoice.h"
#include "platform/linux/x11/X11Connection.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <array>
#include <cctype>
#include <memory>

namespace korvane {

namespace {

// The left and right keys of each modifier, by keysym.
std::array<KeySym, 2> keysymsOf(KeyModifier modifier)
{
    switch (modifier) {
    case KeyModifier::shift:
        return {XK_Shift_L, XK_Shift_R};
    case KeyModifier::control:
        return {XK_Control_L, XK_Control_R};
    case KeyModifier::alt:
        return {XK_Alt_L, XK_Alt_R};
    case KeyModifier::super:
        break;
    }
    return {XK_Super_L, XK_Super_R};
}

constexpr std::array<KeyModifier, 4> kModifiers{KeyModifier::shift, KeyModifier::control, KeyModifier::alt,
                                                KeyModifier::super};

struct XkbDescription {
    XkbDescPtr description = nullptr;
    ~XkbDescription()
    {
        if (description != nullptr) {
            XkbFreeKeyboard(description, XkbAllComponentsMask, True);
        }
    }
};

// Every key with the keysyms its Control level and its base level produce in the current group.
std::vector<KeyLevels> currentLayout(Display* display)
{
    std::vector<KeyLevels> keys;
    XkbDescription keymap{XkbGetMap(display, XkbAllClientInfoMask, XkbUseCoreKbd)};
    XkbStateRec state{};
    if (keymap.description == nullptr || XkbGetState(display, XkbUseCoreKbd, &state) != Success) {
        return keys;
    }
    for (int code = keymap.description->min_key_code; code <= keymap.description->max_key_code; ++code) {
        KeyLevels key;
        key.keyCode = static_cast<unsigned>(code);
        unsigned int consumed = 0;
        KeySym symbol = NoSymbol;
        if (XkbTranslateKeyCode(keymap.description, static_cast<KeyCode>(code),
                                XkbBuildCoreState(ControlMask, state.group), &consumed, &symbol)) {
            key.withControl = static_cast<std::uint32_t>(symbol);
        }
        symbol = NoSymbol;
        if (XkbTranslateKeyCode(keymap.description, static_cast<KeyCode>(code), XkbBuildCoreState(0, state.group),
                                &consumed, &symbol)) {
            key.base = static_cast<std::uint32_t>(symbol);
        }
        keys.push_back(key);
    }
    return keys;
}

bool isDown(const std::array<char, 32>& keys, KeyCode code)
{
    return code != 0 && (keys[code / 8] & (1 << (code % 8))) != 0;
}

}  // namespace

std::vector<KeyModifier> X11KeySynthesizer::heldModifiers()
{
    Display* display = connection_.display();
    std::array<char, 32> keys{};
    XQueryKeymap(display, keys.data());
    std::vector<KeyModifier> held;
    for (const KeyModifier modifier : kModifiers) {
        for (const KeySym symbol : keysymsOf(modifier)) {
            if (isDown(keys, XKeysymToKeycode(display, symbol))) {
                held.push_back(modifier);
                break;
            }
        }
    }
    return held;
}

bool X11KeySynthesizer::releaseModifiers(const std::vector<KeyModifier>& modifiers)
{
    Display* display = connection_.display();
    std::array<char, 32> keys{};
    XQueryKeymap(display, keys.data());
    bool sent = true;
    for (const KeyModifier modifier : modifiers) {
        for (const KeySym symbol : keysymsOf(modifier)) {
            const KeyCode code = XKeysymToKeycode(display, symbol);
            if (isDown(keys, code)) {
                sent = XTestFakeKeyEvent(display, code, False, CurrentTime) != 0 && sent;
            }
        }
    }
    XSync(display, False);
    return sent;
}

bool X11KeySynthesizer::sendChord(const KeyChord& chord)
{
    Display* display = connection_.display();
    std::string name = chord.key;
    KeySym symbol = XStringToKeysym(name.c_str());
    if (symbol == NoSymbol && name.size() == 1) {
        name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
        symbol = XStringToKeysym(name.c_str());
    }
    if (symbol == NoSymbol) {
        return false;
    }
    const unsigned fallback = symbol == XK_v ? kFallbackKeyCodeForV : 0;
    const unsigned key = chooseKeyCode(currentLayout(display), static_cast<std::uint32_t>(symbol), fallback);
    if (key == 0) {
        return false;
    }
    std::vector<KeyCode> modifierCodes;
    for (const KeyModifier modifier : chord.modifiers) {
        const KeyCode code = XKeysymToKeycode(display, keysymsOf(modifier)[0]);
        if (code == 0) {
            return false;
        }
        modifierCodes.push_back(code);
    }
    // Press in order and release in reverse; whatever went down goes up again, also on failure.
    std::vector<KeyCode> pressed;
    bool sent = true;
    for (const KeyCode code : modifierCodes) {
        if (XTestFakeKeyEvent(display, code, True, CurrentTime) == 0) {
            sent = false;
            break;
        }
        pressed.push_back(code);
    }
    if (sent) {
        const auto keyCode = static_cast<KeyCode>(key);
        sent = XTestFakeKeyEvent(display, keyCode, True, CurrentTime) != 0;
        sent = XTestFakeKeyEvent(display, keyCode, False, CurrentTime) != 0 && sent;
    }
    for (auto code = pressed.rbegin(); code != pressed.rend(); ++code) {
        sent = XTestFakeKeyEvent(display, *code, False, CurrentTime) != 0 && sent;
    }
    XSync(display, False);
    return sent;
}

}  // namespace korvane
