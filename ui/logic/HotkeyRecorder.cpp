#include "ui/logic/HotkeyRecorder.h"

#include "base/scheduling/WeakTask.h"
#include "hotkeys/Keysyms.h"
#include "hotkeys/ShortcutLabel.h"

#include <utility>

namespace korvane {

HotkeyRecorder::HotkeyRecorder(std::shared_ptr<MainQueue> mainQueue, std::function<ChordModifierSet()> currentModifiers,
                               ChordModifierSet initiallyHeld, std::function<void()> onChange)
    : mainQueue_(std::move(mainQueue)), currentModifiers_(std::move(currentModifiers)), onChange_(std::move(onChange)),
      held_(initiallyHeld), functionKeyHeld_(initiallyHeld.contains(ChordModifier::function))
{
}

HotkeyRecorder::~HotkeyRecorder() = default;

std::optional<ChordModifier> HotkeyRecorder::modifierOfKey(std::uint32_t baseKeysym)
{
    using namespace keysyms;
    switch (baseKeysym) {
    case kControlL:
    case kControlR:
        return ChordModifier::control;
    case kAltL:
    case kAltR:
        return ChordModifier::option;
    case kShiftL:
    case kShiftR:
        return ChordModifier::shift;
    case kSuperL:
    case kSuperR:
    case kMetaL:
    case kMetaR:
    case kHyperL:
    case kHyperR:
        return ChordModifier::function;
    default:
        return std::nullopt;
    }
}

bool HotkeyRecorder::ignoresKey(std::uint32_t baseKeysym)
{
    using namespace keysyms;
    if (baseKeysym >= kIsoLock && baseKeysym <= kIsoLevel5Lock) {
        return true;
    }
    switch (baseKeysym) {
    case kCapsLock:
    case kShiftLock:
    case kNumLock:
    case kScrollLock:
    case kModeSwitch:
        return true;
    default:
        return false;
    }
}

void HotkeyRecorder::modifiersChanged(ChordModifierSet held)
{
    if (stopped_) {
        return;
    }
    // The first modifier down begins a new attempt, and the last one's message goes. Letting go
    // keeps the candidate and its message, and says a refusal once nothing is held.
    if (held_.empty() && !held.empty()) {
        message_.clear();
    }
    held_ = held;
    functionKeyHeld_ = held.contains(ChordModifier::function);
    ++chordWait_;
    if (held.size() >= 2) {
        const std::uint64_t wait = chordWait_;
        mainQueue_->postAfter(kChordHoldDuration, weakTask(alive_, [wait, held](HotkeyRecorder* recorder) {
                                  if (recorder->chordWait_ == wait && !recorder->stopped_) {
                                      recorder->promoteChord(held);
                                  }
                              }));
    }
    sayRefusalOnceReleased();
}

void HotkeyRecorder::promoteChord(ChordModifierSet held)
{
    // A release the window never saw (the focus moved away meanwhile) must not promote a chord
    // that is no longer held.
    if (currentModifiers_ && currentModifiers_() != held) {
        return;
    }
    if (!chordsAllowed_) {
        refuse(HotkeyRecordingSituation::chordForDesktop);
    } else if (!held.contains(ChordModifier::function)) {
        refuse(HotkeyRecordingSituation::chordWithoutFunction);
    } else {
        candidate_ = HotkeyBinding::modifierChord(held);
        setMessage(HotkeyRecordingSituation::validChordCandidate);
    }
    if (onChange_) {
        onChange_();
    }
}

HotkeyRecorder::KeyResult HotkeyRecorder::keyPressed(ChordModifierSet modifiers, std::uint16_t keyCode)
{
    if (stopped_) {
        return KeyResult::recorded;
    }
    ++chordWait_;  // a key press ends any pending chord
    // Only the last modifier change says whether the function key is down: some keyboards report
    // it in key events where it was never pressed.
    ChordModifierSet held = modifiers;
    if (functionKeyHeld_) {
        held.insert(ChordModifier::function);
    } else {
        held.erase(ChordModifier::function);
    }
    held_ = held;
    if (keyCode == kEscapeKeyCode && held.empty()) {
        return KeyResult::cancel;
    }
    keyDown_ = true;
    if (held.contains(ChordModifier::function)) {
        refuse(HotkeyRecordingSituation::keyWithFunction);
    } else if (held.empty()) {
        refuse(HotkeyRecordingSituation::keyWithoutModifier);
    } else {
        candidate_ = HotkeyBinding::keyCombo(held, keyCode);
        setMessage(HotkeyRecordingSituation::validKeyComboCandidate);
    }
    return KeyResult::recorded;
}

void HotkeyRecorder::keyReleased()
{
    if (stopped_) {
        return;
    }
    keyDown_ = false;
    sayRefusalOnceReleased();
}

void HotkeyRecorder::refuse(HotkeyRecordingSituation situation)
{
    candidate_.reset();
    message_.clear();
    refusal_ = situation;
}

void HotkeyRecorder::sayRefusalOnceReleased()
{
    if (refusal_ && held_.empty() && !keyDown_) {
        setMessage(*refusal_);
    }
}

void HotkeyRecorder::stop()
{
    stopped_ = true;
    ++chordWait_;
}

void HotkeyRecorder::setMessage(HotkeyRecordingSituation situation)
{
    refusal_.reset();
    const HotkeyValidationMessage message = validationMessage(situation);
    message_ = std::string(message.text);
    messageTone_ = message.tone;
}

HotkeyRecorderDisplay HotkeyRecorder::display() const
{
    HotkeyRecorderDisplay display;
    display.held = held_.empty() ? "—" : shortcutLabel(held_);
    display.candidate = candidate_ ? "Shortcut: " + shortcutLabel(*candidate_) : std::string();
    display.message = message_;
    display.messageTone = messageTone_;
    display.canUse = candidate_.has_value();
    return display;
}

}  // namespace korvane
