#include "ui/settings/RecorderKeys.h"

#include "hotkeys/Keysyms.h"

#include <QGuiApplication>
#include <QKeyEvent>

// Xlib after Qt: its macros (None, KeyPress, Bool) would break Qt's headers.
#include <X11/XKBlib.h>

namespace korvane {

namespace {

// The keysym of the key at its first level in the first group, as the shortcut grabs see it.
std::optional<std::uint32_t> baseKeysymOnX11(const QKeyEvent& event)
{
    if (event.nativeScanCode() == 0 || QGuiApplication::platformName() != QLatin1String("xcb")) {
        return std::nullopt;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->display() == nullptr || event.nativeScanCode() > 255) {
        return std::nullopt;
    }
    const KeySym keysym =
        XkbKeycodeToKeysym(x11->display(), static_cast<KeyCode>(event.nativeScanCode()), /*group=*/0, /*level=*/0);
    if (keysym == NoSymbol) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(keysym);
}

// For platforms without native key information (offscreen, and events made by tests): the keysym
// that Qt's key names. Printable ASCII keys are their lower-case character; a modifier key is its
// left-hand one.
std::optional<std::uint32_t> keysymOfQtKey(int key)
{
    using namespace keysyms;
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde) {
        const auto character = static_cast<std::uint32_t>(key);
        return character >= 'A' && character <= 'Z' ? character + ('a' - 'A') : character;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35) {
        return function(key - Qt::Key_F1 + 1);
    }
    switch (key) {
    case Qt::Key_Escape:
        return kEscape;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return kTab;
    case Qt::Key_Backspace:
        return kBackSpace;
    case Qt::Key_Return:
        return kReturn;
    case Qt::Key_Enter:
        return kKeypadEnter;
    case Qt::Key_Insert:
        return kInsert;
    case Qt::Key_Delete:
        return kDelete;
    case Qt::Key_Home:
        return kHome;
    case Qt::Key_End:
        return kEnd;
    case Qt::Key_Left:
        return kLeft;
    case Qt::Key_Up:
        return kUp;
    case Qt::Key_Right:
        return kRight;
    case Qt::Key_Down:
        return kDown;
    case Qt::Key_PageUp:
        return kPageUp;
    case Qt::Key_PageDown:
        return kPageDown;
    case Qt::Key_Shift:
        return kShiftL;
    case Qt::Key_Control:
        return kControlL;
    case Qt::Key_Alt:
        return kAltL;
    case Qt::Key_Meta:
        return kMetaL;
    case Qt::Key_Super_L:
        return kSuperL;
    case Qt::Key_Super_R:
        return kSuperR;
    case Qt::Key_Hyper_L:
        return kHyperL;
    case Qt::Key_Hyper_R:
        return kHyperR;
    case Qt::Key_CapsLock:
        return kCapsLock;
    case Qt::Key_NumLock:
        return kNumLock;
    case Qt::Key_ScrollLock:
        return kScrollLock;
    case Qt::Key_AltGr:
        return kIsoLevel3Shift;
    case Qt::Key_Mode_switch:
        return kModeSwitch;
    default:
        return std::nullopt;
    }
}

}  // namespace

ChordModifierSet chordModifiersOf(Qt::KeyboardModifiers modifiers)
{
    ChordModifierSet set;
    if (modifiers.testFlag(Qt::MetaModifier)) {
        set.insert(ChordModifier::function);
    }
    if (modifiers.testFlag(Qt::ControlModifier)) {
        set.insert(ChordModifier::control);
    }
    if (modifiers.testFlag(Qt::AltModifier)) {
        set.insert(ChordModifier::option);
    }
    if (modifiers.testFlag(Qt::ShiftModifier)) {
        set.insert(ChordModifier::shift);
    }
    return set;
}

ChordModifierSet chordModifiersOf(const QKeyEvent& event)
{
    return chordModifiersOf(static_cast<const QInputEvent&>(event).modifiers());
}

std::optional<std::uint32_t> baseKeysymOf(const QKeyEvent& event)
{
    if (const std::optional<std::uint32_t> keysym = baseKeysymOnX11(event)) {
        return keysym;
    }
    return keysymOfQtKey(event.key());
}

}  // namespace korvane
