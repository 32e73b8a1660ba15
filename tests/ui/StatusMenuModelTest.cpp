// SPDX-License-Identifier: MIT
// The tray menu's texts as statuses arrive, and the paste-shortcut wording they use here.
#include "ui/logic/StatusMenuModel.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace korvane {
namespace {

using Status = DictationStatus;
using Indicator = IndicatorChange::Kind;
using Reason = DeliveryFallbackReason;

const std::string kHint = " — press ⌃⇧Space";

// One status applied, and the menu afterwards. An absent indicator means it is left as it is.
struct Step {
    Status status;
    bool hasLastTranscript;
    StatusMenuTexts expected;
    std::optional<IndicatorChange> indicator;
};

void runSteps(const std::vector<Step>& steps, const std::string& hint = kHint)
{
    StatusMenuModel model("⌃⇧Space");
    EXPECT_EQ(model.texts(), (StatusMenuTexts{"[mic off]", "Status: Idle — press ⌃⇧Space", "Start Dictation", false}));
    for (const auto& step : steps) {
        SCOPED_TRACE(toString(step.status));
        EXPECT_EQ(model.apply(step.status, hint, step.hasLastTranscript), step.indicator);
        EXPECT_EQ(model.texts().menuBarTitle, step.expected.menuBarTitle);
        EXPECT_EQ(model.texts().statusLine, step.expected.statusLine);
        EXPECT_EQ(model.texts().dictationItemTitle, step.expected.dictationItemTitle);
        EXPECT_EQ(model.texts().copyLastTranscriptEnabled, step.expected.copyLastTranscriptEnabled);
        EXPECT_EQ(model.texts().cancelDictationVisible, step.expected.cancelDictationVisible);
    }
}

const IndicatorChange kHidden{Indicator::hidden, {}};

TEST(StatusMenuModel, ClipboardInstructionSurvivesDownloadProgressUntilTheNextStatus)
{
    runSteps({
        {Status::recording(),
         false,
         {"[recording...]", "Status: Recording...", "Stop Dictation", false, true},
         IndicatorChange{Indicator::recording, {}}},
        {Status::copiedToClipboard(Reason::targetNotFrontmost),
         true,
         {"[on clipboard]", "Status: Transcript copied -- press Ctrl+V (Target app not in front)", "Start Dictation",
          true},
         IndicatorChange{Indicator::copiedToClipboard, "Transcript copied — press Ctrl+V"}},
        {Status::downloading("small", 40),
         true,
         {"[on clipboard]", "Status: Transcript copied -- press Ctrl+V (Target app not in front)", "Start Dictation",
          true},
         std::nullopt},
        {Status::ready("small"),
         true,
         {"[mic off]", "Status: Ready (small) — press ⌃⇧Space", "Start Dictation", true},
         kHidden},
        {Status::downloading("small", 41),
         true,
         {"[downloading 41%]", "Status: Downloading small model... 41%", "Start Dictation", true},
         std::nullopt},
    });
}

TEST(StatusMenuModel, NotDeliveredAlsoHoldsOffDownloadProgress)
{
    runSteps({
        {Status::notDelivered(Reason::noAccessibility),
         true,
         {"[mic off]", "Status: Clipboard unavailable (Accessibility permission needed) -- use Copy Last Transcript",
          "Start Dictation", true},
         IndicatorChange{Indicator::error, "Use Copy Last Transcript"}},
        {Status::downloading("turbo", 5),
         true,
         {"[mic off]", "Status: Clipboard unavailable (Accessibility permission needed) -- use Copy Last Transcript",
          "Start Dictation", true},
         std::nullopt},
    });
}

TEST(StatusMenuModel, DictationItemsFollowTheDictationAndKeepTheirTitleWhereTheStatusNamesNone)
{
    runSteps({
        {Status::recording(),
         false,
         {"[recording...]", "Status: Recording...", "Stop Dictation", false, true},
         IndicatorChange{Indicator::recording, {}}},
        {Status::recordingLimitReached(),
         false,
         {"[limit reached]", "Status: Recording limit reached -- stop to transcribe", "Stop Dictation", false, true},
         IndicatorChange{Indicator::recordingLimitReached, {}}},
        {Status::noSpeech(), false, {"[mic off]", "Status: No speech detected", "Stop Dictation", false}, kHidden},
        {Status::transcribing(),
         false,
         {"[transcribing...]", "Status: Transcribing...", "Start Dictation", false, true},
         IndicatorChange{Indicator::transcribing, {}}},
        {Status::recording(),
         true,
         {"[recording...]", "Status: Recording...", "Stop Dictation", true, true},
         IndicatorChange{Indicator::recording, {}}},
        {Status::pasteSent(12), true, {"[mic off]", "Status: Paste sent (12 chars)", "Stop Dictation", true}, kHidden},
        {Status::recording(),
         true,
         {"[recording...]", "Status: Recording...", "Stop Dictation", true, true},
         IndicatorChange{Indicator::recording, {}}},
        {Status::cancelled(), true, {"[mic off]", "Status: Dictation cancelled", "Start Dictation", true}, kHidden},
        {Status::error("Mic error"),
         true,
         {"[mic off]", "Status: Mic error", "Start Dictation", true},
         IndicatorChange{Indicator::error, "Mic error"}},
    });
}

TEST(StatusMenuModel, ReadyWithoutARegisteredShortcutEndsAtTheModelName)
{
    StatusMenuModel model("⌃⇧Space");
    model.apply(Status::ready("small"), hotkeyHint(std::nullopt), false);
    EXPECT_EQ(model.texts().statusLine, "Status: Ready (small)");
}

TEST(StatusMenuModel, CopyResultChangesOnlyTheStatusLine)
{
    StatusMenuModel model("⌃⇧Space");
    model.apply(Status::copiedToClipboard(Reason::targetNotFrontmost), kHint, true);
    const StatusMenuTexts before = model.texts();

    for (const auto& [copied, line] : std::vector<std::pair<bool, std::string>>{
             {true, "Status: Transcript copied -- press Ctrl+V"}, {false, "Status: No transcript to copy"}}) {
        model.showCopyResult(copied);
        StatusMenuTexts expected = before;
        expected.statusLine = line;
        EXPECT_EQ(model.texts(), expected) << copied;
        EXPECT_TRUE(model.showingPasteInstruction());
    }
}

// The tray icon's tooltip says what the status line says, so an error reads as one.
TEST(StatusMenuModel, TrayToolTipIsTheStatusLineUnderTheApplicationName)
{
    const std::vector<std::pair<Status, std::string>> rows{
        {Status::error("Failed to load small model"), "Korvane — Failed to load small model"},
        {Status::downloading("small", 42), "Korvane — Downloading small model... 42%"},
        {Status::ready("small"), "Korvane — Ready (small) — press ⌃⇧Space"},
        {Status::recording(), "Korvane — Recording..."},
    };
    StatusMenuModel model("⌃⇧Space");
    EXPECT_EQ(trayToolTip(model.texts().statusLine), "Korvane — Idle — press ⌃⇧Space");
    for (const auto& [status, toolTip] : rows) {
        model.apply(status, kHint, false);
        EXPECT_EQ(trayToolTip(model.texts().statusLine), toolTip);
    }
    EXPECT_EQ(trayToolTip("Shortcut unavailable"), "Korvane — Shortcut unavailable");
}

}  // namespace
}  // namespace korvane
