#pragma once

#include "base/files/PosixFile.h"
#include "base/logging/LogSink.h"
#include "delivery/paste/KeySynthesizer.h"
#include "platform/linux/uinput/LayoutKeyCodes.h"
#include "platform/linux/uinput/UinputDeviceControl.h"

#include <memory>
#include <vector>

namespace korvane {

// Paste keys from a keyboard of our own made through /dev/uinput, for Wayland sessions whose
// compositor offers clients no way to send keys. The kernel hands its events to the compositor
// like any other keyboard's, so the compositor's layout turns our key codes into keysyms (hence
// the KeyCodeLookup).
//
// The compositor only sees a new device a moment after it is created (udev tags it, libinput
// opens it); keys sent before that are lost. So the device is made once at launch and kept for
// the whole run, never per paste. Main thread.
class UinputKeyboard final : public KeySynthesizer {
public:
    // Whether /dev/uinput exists and we may write to it (the udev rule we install grants that to
    // the user at the seat).
    static bool deviceWritable();

    // Opens /dev/uinput and creates the device, with key codes for the session's layout. Nothing,
    // and a log line, when that fails.
    static std::unique_ptr<UinputKeyboard> open(LogSink log);

    // Creates the device on `fd` (owned from now on) through `control`. Nothing, and a log line,
    // when a step fails.
    static std::unique_ptr<UinputKeyboard> create(UniqueFd fd, std::unique_ptr<UinputDeviceControl> control,
                                                  KeyCodeLookup keyCodes, LogSink log);

    // Removes the device from the system before the descriptor closes.
    ~UinputKeyboard() override;

    UinputKeyboard(const UinputKeyboard&) = delete;
    UinputKeyboard& operator=(const UinputKeyboard&) = delete;

    // Always empty: a uinput device cannot see what other keyboards hold.
    std::vector<KeyModifier> heldModifiers() override;

    // Key-ups from our device for the modifiers. The kernel forwards them only for keys our
    // device holds down; the user's own keyboard keeps its keys.
    bool releaseModifiers(const std::vector<KeyModifier>& modifiers) override;

    bool sendChord(const KeyChord& chord) override;

private:
    UinputKeyboard(UniqueFd fd, std::unique_ptr<UinputDeviceControl> control, KeyCodeLookup keyCodes, LogSink log);

    // The step that failed (errno tells why), nothing when the device exists.
    const char* setUp();
    unsigned modifierCode(KeyModifier modifier) const;
    // One key event and the report that delivers it, in a single write.
    bool sendKey(unsigned code, bool down);

    UniqueFd fd_;
    std::unique_ptr<UinputDeviceControl> control_;
    KeyCodeLookup keyCodes_;
    LogSink log_;
    bool created_ = false;
};

}  // namespace korvane
