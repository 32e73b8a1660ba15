#pragma once

#include "base/logging/LogSink.h"
#include "core/session/PasteMethods.h"
#include "delivery/paste/KeySynthesizer.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace korvane {

// The paste keys of a session: whichever way of sending keys choosePasteMethods puts first among
// those this session offers and that have not failed in this run. A method that fails a chord is
// passed over from then on, and the chord goes through the next one, so one broken method (a
// desktop that ended the portal's session, a compositor that dropped our keyboard) costs no paste.
// Main thread.
class PasteKeyChain final : public KeySynthesizer {
public:
    PasteKeyChain(SessionFacts facts, LogSink log = defaultLogSink());

    // What the session offers; the method in use is chosen again.
    void setOffers(const PasteOffers& offers);
    const PasteOffers& offers() const { return offers_; }
    // The synthesizer of `method` (outliving the chain), or nullptr once it is gone. A method that
    // comes back (a desktop approving the portal again) is tried again.
    void provide(PasteKeyMethod method, KeySynthesizer* keys);

    // Tells whether the desktop's shortcut is still held down (the desktop binds it and reports its
    // release). Sending keys through a desktop or uinput keyboard merges with the keys still down,
    // and none of these methods sees them, so while it is held every modifier counts as held.
    void setShortcutHeld(std::function<bool()> held);

    // The method the next chord goes through; none when the transcript has to stay on the clipboard.
    PasteKeyMethod current() const;
    // What this session lacks for sending keys, as one sentence; empty while a method is there.
    std::string missing() const;

    std::vector<KeyModifier> heldModifiers() override;
    bool releaseModifiers(const std::vector<KeyModifier>& modifiers) override;
    bool sendChord(const KeyChord& chord) override;

private:
    // The offers as far as a synthesizer is at hand for them.
    PasteOffers usableOffers() const;

    SessionFacts facts_;
    LogSink log_;
    PasteOffers offers_;
    std::map<PasteKeyMethod, KeySynthesizer*> keys_;
    std::vector<PasteKeyMethod> failed_;
    std::function<bool()> shortcutHeld_;
};

}  // namespace korvane
