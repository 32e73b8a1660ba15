#pragma once

#include <string>
#include <vector>

namespace korvane {

enum class KeyModifier { shift, control, alt, super };

// A key press with modifiers, the key named by its X keysym name ("v", "y", "Insert").
struct KeyChord {
    std::vector<KeyModifier> modifiers;
    std::string key;

    friend bool operator==(const KeyChord&, const KeyChord&) = default;
};

// Synthetic keyboard input (X11: XTest). Main thread.
class KeySynthesizer {
public:
    virtual ~KeySynthesizer() = default;

    // The modifiers the user physically holds at this moment.
    virtual std::vector<KeyModifier> heldModifiers() = 0;

    // Sends releases for held modifier keys, so they do not combine with a synthetic chord.
    // False when that failed.
    virtual bool releaseModifiers(const std::vector<KeyModifier>& modifiers) = 0;

    // Presses the chord's modifiers, then the key, then releases all of them in reverse order;
    // every key pressed is released on every path. False when a key has no key code in the
    // current layout or the events could not be sent.
    virtual bool sendChord(const KeyChord& chord) = 0;
};

}  // namespace korvane
