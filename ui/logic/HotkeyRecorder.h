#pragma once

#include "base/scheduling/MainQueue.h"
#include "hotkeys/ChordModifier.h"
#include "hotkeys/ChordModifierSet.h"
#include "hotkeys/HotkeyBinding.h"
#include "hotkeys/HotkeyValidationMessages.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace korvane {

// What the recorder window shows at one moment.
struct HotkeyRecorderDisplay {
    std::string held;       // the modifiers held by name ("Ctrl+Shift"), "—" when none
    std::string candidate;  // "Shortcut: " and the candidate's label, empty without one
    std::string message;    // why the last input was refused, or the note on Super chords
    HotkeyMessageTone messageTone = HotkeyMessageTone::error;
    bool canUse = false;  // "Use This" is enabled

    bool operator==(const HotkeyRecorderDisplay&) const = default;
};

// The decisions of the shortcut recorder: which binding "Use This" would hand back and what the
// window says about the keys pressed. It sees only the keys pressed in its own window, as reported
// by the widget: modifier changes and ordinary key presses. A set of two or more modifiers held
// unchanged for kChordHoldDuration becomes a modifier-only candidate; the wait runs on the main
// queue, so tests drive it with virtual time. A refusal is said only once every key is up again:
// while keys are held the user may still be on the way to a valid shortcut (reaching for the
// letter after two modifiers). Main thread only.
class HotkeyRecorder {
public:
    static constexpr double kChordHoldDuration = 0.6;
    // The Mac key code of Escape, which cancels when pressed alone.
    static constexpr std::uint16_t kEscapeKeyCode = 53;

    enum class KeyResult { recorded, cancel };

    // What a key is to the recorder is told by its keysym at the first level of the first group:
    // the level changes with the modifiers already held (Shift+Alt_L is Meta_L on a US keymap),
    // what the key is must not.

    // The modifier a key plays: Control, Alt and Shift as themselves, and the logo keys (Super, and
    // Meta or Hyper where a keymap puts them first on a key) as 🌐, as their modifier is read from
    // key events. Nothing for other keys.
    static std::optional<ChordModifier> modifierOfKey(std::uint32_t baseKeysym);

    // Lock keys, level shifts such as AltGr, and layout group switches choose characters rather
    // than shortcuts: pressing one changes nothing here.
    static bool ignoresKey(std::uint32_t baseKeysym);

    // `currentModifiers` reads the modifiers held right now, to check before promoting a chord
    // that it is still held; `initiallyHeld` is what is held when the recorder opens. `onChange`
    // runs after every change of display() caused by the chord wait (input changes are reported
    // by the calls' return).
    HotkeyRecorder(std::shared_ptr<MainQueue> mainQueue, std::function<ChordModifierSet()> currentModifiers,
                   ChordModifierSet initiallyHeld, std::function<void()> onChange = {});
    ~HotkeyRecorder();

    HotkeyRecorder(const HotkeyRecorder&) = delete;
    HotkeyRecorder& operator=(const HotkeyRecorder&) = delete;

    // Where the desktop binds the shortcut, modifiers alone are refused with the reason.
    void setModifierChordsAllowed(bool allowed) { chordsAllowed_ = allowed; }

    // The set of modifiers held changed (a modifier key went down or up).
    void modifiersChanged(ChordModifierSet held);

    // An ordinary key went down with `modifiers` (as the key event carries them; the function
    // key's state is taken from the last modifier change instead) and the key's Mac key code.
    KeyResult keyPressed(ChordModifierSet modifiers, std::uint16_t keyCode);

    // The ordinary key last pressed went up.
    void keyReleased();

    // Ends any pending chord wait; nothing changes afterwards.
    void stop();

    const std::optional<HotkeyBinding>& candidate() const { return candidate_; }
    HotkeyRecorderDisplay display() const;

private:
    void promoteChord(ChordModifierSet held);
    void setMessage(HotkeyRecordingSituation situation);
    // Takes back the candidate and keeps the refusal until every key is up.
    void refuse(HotkeyRecordingSituation situation);
    void sayRefusalOnceReleased();

    std::shared_ptr<MainQueue> mainQueue_;
    std::function<ChordModifierSet()> currentModifiers_;
    std::function<void()> onChange_;
    ChordModifierSet held_;
    bool functionKeyHeld_ = false;
    bool keyDown_ = false;  // an ordinary key is down
    bool chordsAllowed_ = true;
    std::optional<HotkeyRecordingSituation> refusal_;
    bool stopped_ = false;
    std::uint64_t chordWait_ = 0;  // a pending wait promotes only while this still has its number
    std::optional<HotkeyBinding> candidate_;
    std::string message_;
    HotkeyMessageTone messageTone_ = HotkeyMessageTone::error;
    // Deferred waits hold the recorder through this token and do nothing once it is gone.
    std::shared_ptr<HotkeyRecorder*> alive_ = std::make_shared<HotkeyRecorder*>(this);
};

}  // namespace korvane
