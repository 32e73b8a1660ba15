#include "core/session/PasteKeyChain.h"

#include <algorithm>
#include <utility>

namespace korvane {

PasteKeyChain::PasteKeyChain(SessionFacts facts, LogSink log) : facts_(std::move(facts)), log_(std::move(log))
{
}

void PasteKeyChain::setOffers(const PasteOffers& offers)
{
    offers_ = offers;
}

void PasteKeyChain::provide(PasteKeyMethod method, KeySynthesizer* keys)
{
    if (keys == nullptr) {
        keys_.erase(method);
        return;
    }
    keys_[method] = keys;
    std::erase(failed_, method);
}

PasteOffers PasteKeyChain::usableOffers() const
{
    PasteOffers usable = offers_;
    if (!keys_.contains(PasteKeyMethod::remoteDesktop)) {
        usable.remoteDesktopPortal = 0;
    }
    usable.virtualKeyboard = usable.virtualKeyboard && keys_.contains(PasteKeyMethod::virtualKeyboard);
    usable.uinputWritable = usable.uinputWritable && keys_.contains(PasteKeyMethod::uinput);
    return usable;
}

PasteKeyMethod PasteKeyChain::current() const
{
    const PasteKeyMethod method = choosePasteMethods(facts_, usableOffers(), failed_).keys;
    return method == PasteKeyMethod::none || keys_.contains(method) ? method : PasteKeyMethod::none;
}

std::string PasteKeyChain::missing() const
{
    if (current() != PasteKeyMethod::none) {
        return {};
    }
    if (!failed_.empty()) {
        std::string names;
        for (const PasteKeyMethod method : failed_) {
            names += (names.empty() ? "" : ", ") + std::string(pasteKeyMethodName(method));
        }
        return "Sending keys failed through every way this session offers (" + names + ").";
    }
    if (offers_.remoteDesktopPortal > 0 && !offers_.remoteDesktopRefused &&
        !keys_.contains(PasteKeyMethod::remoteDesktop)) {
        return "The desktop has not allowed Korvane to send keys yet.";
    }
    return missingPasteKeys(facts_, offers_);
}

void PasteKeyChain::setShortcutHeld(std::function<bool()> held)
{
    shortcutHeld_ = std::move(held);
}

std::vector<KeyModifier> PasteKeyChain::heldModifiers()
{
    const PasteKeyMethod method = current();
    if (method != PasteKeyMethod::none && shortcutHeld_ && shortcutHeld_()) {
        return {KeyModifier::shift, KeyModifier::control, KeyModifier::alt, KeyModifier::super};
    }
    return method == PasteKeyMethod::none ? std::vector<KeyModifier>{} : keys_.at(method)->heldModifiers();
}

bool PasteKeyChain::releaseModifiers(const std::vector<KeyModifier>& modifiers)
{
    const PasteKeyMethod method = current();
    return method != PasteKeyMethod::none && keys_.at(method)->releaseModifiers(modifiers);
}

bool PasteKeyChain::sendChord(const KeyChord& chord)
{
    for (PasteKeyMethod method = current(); method != PasteKeyMethod::none; method = current()) {
        if (keys_.at(method)->sendChord(chord)) {
            return true;
        }
        failed_.push_back(method);
        const PasteKeyMethod next = current();
        log_(std::string("Paste keys: sending through the ") + pasteKeyMethodName(method) + " failed; " +
             (next == PasteKeyMethod::none ? std::string("no other way is left")
                                           : std::string("now through the ") + pasteKeyMethodName(next)));
    }
    return false;
}

}  // namespace korvane
