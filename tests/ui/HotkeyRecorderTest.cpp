// SPDX-License-Identifier: MIT
// The shortcut recorder's decisions: candidates and messages for key presses, and modifier-only
// chords promoted after 0.6 s of virtual time.
#include "ui/logic/HotkeyRecorder.h"
#include "base/scheduling/VirtualMainQueue.h"
#include "hotkeys/HotkeyValidationMessages.h"
#include "hotkeys/Keysyms.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace korvane {

inline void PrintTo(const HotkeyRecorderDisplay& display, std::ostream* out)
{
    *out << "{held \"" << display.held << "\", candidate \"" << display.candidate << "\", message \"" << display.message
         << "\" (" << (display.messageTone == HotkeyMessageTone::error ? "red" : "grey") << "), use "
         << (display.canUse ? "on" : "off") << "}";
}

namespace {

using M = ChordModifier;

constexpr std::uint16_t kA = 0;
constexpr std::uint16_t kSpace = 49;
constexpr std::uint16_t kEscape = 53;
constexpr std::uint16_t kKeypad7 = 89;

class HotkeyRecorderTest : public ::testing::Test {
protected:
    HotkeyRecorderTest() { recorder = make({}); }

    // A recorder on a fresh clock, so each starts its waits at time 0.
    std::unique_ptr<HotkeyRecorder> make(ChordModifierSet initiallyHeld)
    {
        queue = std::make_shared<VirtualMainQueue>();
        keyboard = initiallyHeld;
        return std::make_unique<HotkeyRecorder>(
            queue, [this] { return keyboard; }, initiallyHeld, [this] { ++changes; });
    }

    // A modifier change as the keyboard sees it: the recorder hears of it and the keyboard holds it.
    void hold(ChordModifierSet held)
    {
        keyboard = held;
        recorder->modifiersChanged(held);
    }

    std::shared_ptr<VirtualMainQueue> queue = std::make_shared<VirtualMainQueue>();
    ChordModifierSet keyboard;
    int changes = 0;
    std::unique_ptr<HotkeyRecorder> recorder;
};

HotkeyRecorderDisplay shown(std::string held, std::string candidate, std::string_view message, HotkeyMessageTone tone,
                            bool canUse)
{
    return {std::move(held), std::move(candidate), std::string(message), tone, canUse};
}

TEST(HotkeyRecorderKeys, AKeyIsAModifierAKeyToIgnoreOrAnOrdinaryKeyByItsFirstKeysym)
{
    using namespace keysyms;
    struct Case {
        const char* what;
        std::uint32_t keysym;
        std::optional<ChordModifier> modifier;
        bool ignored;
    };
    const std::vector<Case> cases{
        {"right Control", kControlR, M::control, false},
        {"right Alt", kAltR, M::option, false},
        {"left Shift", kShiftL, M::shift, false},
        {"Super", kSuperL, M::function, false},
        {"Meta first on a key", kMetaL, M::function, false},
        {"Hyper first on a key", kHyperR, M::function, false},
        {"Caps Lock", kCapsLock, std::nullopt, true},
        {"Num Lock", kNumLock, std::nullopt, true},
        {"Scroll Lock", kScrollLock, std::nullopt, true},
        {"AltGr", kIsoLevel3Shift, std::nullopt, true},
        {"the next layout", kIsoNextGroup, std::nullopt, true},
        {"Level 5 Lock", kIsoLevel5Lock, std::nullopt, true},
        {"Mode switch", kModeSwitch, std::nullopt, true},
        {"a dead key", 0xfe50, std::nullopt, false},
        {"K", 'k', std::nullopt, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HotkeyRecorder::modifierOfKey(c.keysym), c.modifier) << c.what;
        EXPECT_EQ(HotkeyRecorder::ignoresKey(c.keysym), c.ignored) << c.what;
    }
}

TEST_F(HotkeyRecorderTest, KeyPressesGiveACandidateOrSayWhyNotOnceTheKeysAreUp)
{
    const HotkeyMessageTone red = HotkeyMessageTone::error;
    struct Case {
        const char* what;
        ChordModifierSet lastModifierChange;  // the function key counts only from here
        ChordModifierSet eventModifiers;
        std::uint16_t keyCode;
        HotkeyRecorderDisplay whileDown;   // the key and the modifiers still held
        HotkeyRecorderDisplay afterwards;  // the key, then the modifiers let go
    };
    const std::vector<Case> cases{
        {"control shift space",
         {M::control, M::shift},
         {M::control, M::shift},
         kSpace,
         shown("Ctrl+Shift", "Shortcut: Ctrl+Shift+Space", "", red, true),
         shown("—", "Shortcut: Ctrl+Shift+Space", "", red, true)},
        {"A alone", {}, {}, kA, shown("—", "", "", red, false), shown("—", "", kAddModifierMessage, red, false)},
        {"fn held with A",
         {M::function},
         {M::function},
         kA,
         shown("Super", "", "", red, false),
         shown("—", "", kFunctionWithKeyMessage, red, false)},
        {"fn and option held with A",
         {M::function, M::option},
         {M::option},
         kA,
         shown("Alt+Super", "", "", red, false),
         shown("—", "", kFunctionWithKeyMessage, red, false)},
        {"fn bit on the key event only",
         {},
         {M::function},
         kA,
         shown("—", "", "", red, false),
         shown("—", "", kAddModifierMessage, red, false)},
        {"control escape is recorded",
         {M::control},
         {M::control},
         kEscape,
         shown("Ctrl", "Shortcut: Ctrl+Escape", "", red, true),
         shown("—", "Shortcut: Ctrl+Escape", "", red, true)},
        {"a keypad key",
         {M::control},
         {M::control},
         kKeypad7,
         shown("Ctrl", "Shortcut: Ctrl+Keypad 7", "", red, true),
         shown("—", "Shortcut: Ctrl+Keypad 7", "", red, true)},
        {"a key without a name",
         {M::option, M::command},
         {M::option, M::command},
         52,
         shown("Alt+Meta", "Shortcut: Alt+Meta+Key52", "", red, true),
         shown("—", "Shortcut: Alt+Meta+Key52", "", red, true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        recorder = make({});
        hold(c.lastModifierChange);
        EXPECT_EQ(recorder->keyPressed(c.eventModifiers, c.keyCode), HotkeyRecorder::KeyResult::recorded);
        EXPECT_EQ(recorder->display(), c.whileDown);
        recorder->keyReleased();
        if (!c.lastModifierChange.empty()) {
            EXPECT_EQ(recorder->display().message, "") << "modifiers still held";
        }
        hold({});
        EXPECT_EQ(recorder->display(), c.afterwards);
    }
}

TEST_F(HotkeyRecorderTest, ARefusalOvertakenBeforeTheKeysAreUpIsNeverSaid)
{
    // Control and Shift held past the chord wait on the way to Space.
    hold({M::control, M::shift});
    queue->advance(1.0);
    EXPECT_EQ(recorder->display(), shown("Ctrl+Shift", "", "", HotkeyMessageTone::error, false));
    recorder->keyPressed({M::control, M::shift}, kSpace);
    recorder->keyReleased();
    hold({});
    EXPECT_EQ(recorder->display(), shown("—", "Shortcut: Ctrl+Shift+Space", "", HotkeyMessageTone::error, true));

    // Super with A first, then Alt added to Super for a chord.
    recorder = make({});
    hold({M::function});
    recorder->keyPressed({M::function}, kA);
    recorder->keyReleased();
    hold({M::function, M::option});
    queue->advance(0.6);
    hold({});
    EXPECT_EQ(recorder->display(),
              shown("—", "Shortcut: Alt+Super", kFunctionKeyNoteMessage, HotkeyMessageTone::note, true));
}

TEST_F(HotkeyRecorderTest, AnInvalidKeyReplacesAnEarlierCandidateAndLettingGoKeepsAValidOne)
{
    hold({M::control, M::shift});
    recorder->keyPressed({M::control, M::shift}, kSpace);
    hold({});
    EXPECT_EQ(recorder->candidate(), HotkeyBinding::keyCombo({M::control, M::shift}, kSpace));
    EXPECT_EQ(recorder->display().held, "—");

    recorder->keyPressed({}, kA);
    EXPECT_EQ(recorder->candidate(), std::nullopt);
    recorder->keyReleased();
    EXPECT_EQ(recorder->display(), shown("—", "", kAddModifierMessage, HotkeyMessageTone::error, false));

    // A single modifier clears the message and starts no wait.
    hold({M::shift});
    queue->advance(1.0);
    EXPECT_EQ(recorder->display(), shown("Shift", "", "", HotkeyMessageTone::error, false));
    EXPECT_EQ(changes, 0);
}

TEST_F(HotkeyRecorderTest, EscapeAloneCancels)
{
    EXPECT_EQ(recorder->keyPressed({}, kEscape), HotkeyRecorder::KeyResult::cancel);
    // The fn bit of the event alone does not make it a modified Escape.
    EXPECT_EQ(recorder->keyPressed({M::function}, kEscape), HotkeyRecorder::KeyResult::cancel);
}

TEST_F(HotkeyRecorderTest, ChordsHeldStillForSixTenthsOfASecondArePromoted)
{
    struct Case {
        const char* what;
        ChordModifierSet held;
        HotkeyRecorderDisplay expected;
        std::string_view messageOnceLetGo;
        bool chordsAllowed = true;  // false where the desktop binds the shortcut
    };
    const std::vector<Case> cases{
        {"fn option",
         {M::function, M::option},
         shown("Alt+Super", "Shortcut: Alt+Super", kFunctionKeyNoteMessage, HotkeyMessageTone::note, true),
         kFunctionKeyNoteMessage},
        {"fn control shift",
         {M::shift, M::function, M::control},
         shown("Ctrl+Shift+Super", "Shortcut: Ctrl+Shift+Super", kFunctionKeyNoteMessage, HotkeyMessageTone::note,
               true),
         kFunctionKeyNoteMessage},
        {"option shift",
         {M::option, M::shift},
         shown("Alt+Shift", "", "", HotkeyMessageTone::error, false),
         kChordNeedsFunctionMessage},
        {"fn option where the desktop binds the keys",
         {M::function, M::option},
         shown("Alt+Super", "", "", HotkeyMessageTone::error, false),
         kChordForDesktopMessage,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        recorder = make({});
        recorder->setModifierChordsAllowed(c.chordsAllowed);
        changes = 0;
        hold(c.held);
        queue->advance(0.599);
        EXPECT_EQ(recorder->candidate(), std::nullopt);
        EXPECT_EQ(changes, 0);
        queue->advance(0.001);
        EXPECT_EQ(recorder->display(), c.expected);
        EXPECT_EQ(changes, 1);
        hold({M::option});
        EXPECT_EQ(recorder->display().message, c.expected.message) << "a modifier still held";
        hold({});
        EXPECT_EQ(recorder->display().message, c.messageOnceLetGo);
    }
}

TEST_F(HotkeyRecorderTest, ChangingTheSetOrPressingAKeyRestartsOrEndsTheWait)
{
    hold({M::function, M::option});
    queue->advance(0.4);
    hold({M::function, M::option, M::shift});
    queue->advance(0.4);
    EXPECT_EQ(recorder->candidate(), std::nullopt) << "the wait starts again with each change";
    queue->advance(0.2);
    EXPECT_EQ(recorder->candidate(), HotkeyBinding::modifierChord({M::function, M::option, M::shift}));

    recorder = make({});
    hold({M::control, M::option});
    recorder->keyPressed({M::control, M::option}, kA);
    queue->advance(1.0);
    EXPECT_EQ(recorder->candidate(), HotkeyBinding::keyCombo({M::control, M::option}, kA))
        << "a key press ends the pending chord";
}

TEST_F(HotkeyRecorderTest, AChordNoLongerHeldWhenTheWaitEndsIsNotPromoted)
{
    hold({M::function, M::option});
    keyboard = {M::function};  // released while another window had the keyboard
    queue->advance(0.6);
    EXPECT_EQ(recorder->candidate(), std::nullopt);
    EXPECT_EQ(changes, 0);
}

TEST_F(HotkeyRecorderTest, AStoppedOrDestroyedRecorderIgnoresEverythingAfter)
{
    hold({M::function, M::option});
    recorder->stop();
    queue->advance(1.0);
    recorder->keyPressed({M::control}, kA);
    EXPECT_EQ(recorder->candidate(), std::nullopt);

    recorder = make({});
    hold({M::function, M::option});
    recorder.reset();
    EXPECT_NO_FATAL_FAILURE(queue->advance(1.0));
    EXPECT_EQ(changes, 0);
}

TEST_F(HotkeyRecorderTest, TheFunctionKeyHeldWhenTheRecorderOpensCounts)
{
    recorder = make({M::function});
    recorder->keyPressed({}, kA);
    recorder->keyReleased();
    hold({});
    EXPECT_EQ(recorder->display().message, kFunctionWithKeyMessage);
}

}  // namespace
}  // namespace korvane
