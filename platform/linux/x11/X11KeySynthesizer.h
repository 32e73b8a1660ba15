#pragma once

#include "delivery/paste/KeySynthesizer.h"

namespace korvane {

class X11Connection;

// Synthetic keys through XTest on the shared X connection. Key codes come from the current XKB
// keymap and group: the key that produces the keysym with Control held first (that is how the
// target reads Ctrl+V), then the plain one, then a fixed fallback; never key code 0. Main thread.
class X11KeySynthesizer final : public KeySynthesizer {
public:
    explicit X11KeySynthesizer(X11Connection& connection) : connection_(connection) {}

    std::vector<KeyModifier> heldModifiers() override;
    bool releaseModifiers(const std::vector<KeyModifier>& modifiers) override;
    bool sendChord(const KeyChord& chord) override;

private:
    X11Connection& connection_;
};

}  // namespace korvane
