#pragma once

#include "delivery/paste/KeySynthesizer.h"
#include "delivery/paste/PasteKeys.h"
#include "tests/support/fakes/CallJournal.h"

#include <memory>
#include <utility>
#include <vector>

namespace korvane::testing {

// Records "keys: chord ctrl+v" and "keys: release shift+alt" in the journal.
class FakeKeySynthesizer final : public KeySynthesizer {
public:
    explicit FakeKeySynthesizer(std::shared_ptr<CallJournal> journal) : journal_("keys", std::move(journal)) {}

    std::vector<KeyModifier> heldModifiers() override { return held; }
    bool releaseModifiers(const std::vector<KeyModifier>& modifiers) override
    {
        journal_("release " + modifierNames(modifiers));
        if (!failReleases) {
            held.clear();
        }
        return !failReleases;
    }
    bool sendChord(const KeyChord& chord) override
    {
        journal_("chord " + modifierNames(chord.modifiers) + "+" + chord.key);
        chordsSent += failChords ? 0 : 1;
        return !failChords;
    }

    std::vector<KeyModifier> held;  // what the user holds down
    bool failReleases = false;
    bool failChords = false;
    int chordsSent = 0;

private:
    JournalWriter journal_;
};

}  // namespace korvane::testing
