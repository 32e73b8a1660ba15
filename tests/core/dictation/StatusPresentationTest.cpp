// SPDX-License-Identifier: MIT
// How each status is presented, the paste-instruction latch, and the text forms used in logs.
#include "core/dictation/StatusPresentation.h"
#include "core/dictation/PasteInstructionLatch.h"
#include "tests/core/dictation/ControllerHarness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace korvane {
namespace {

using Status = DictationStatus;
using Indicator = IndicatorChange::Kind;
using Reason = DeliveryFallbackReason;

const std::string kHint = " — press ⌃⇧Space";

struct PresentationRow {
    Status status;
    std::string menuBarTitle;
    std::string statusLine;
    std::optional<std::string> dictationItem;
    std::optional<IndicatorChange> indicator;
};

TEST(StatusPresentation, EveryStatusHasItsRow)
{
    const std::optional<std::string> unchanged;
    const std::optional<IndicatorChange> indicatorUnchanged;
    const IndicatorChange hidden{Indicator::hidden, {}};
    const std::vector<PresentationRow> table = {
        {Status::loading("small"), "[loading...]", "Status: Loading small model...", unchanged, hidden},
        {Status::downloading("medium", 37), "[downloading 37%]", "Status: Downloading medium model... 37%", unchanged,
         indicatorUnchanged},
        {Status::ready("small"), "[mic off]", "Status: Ready (small) — press ⌃⇧Space", unchanged, hidden},
        {Status::pasteSent(1234), "[mic off]", "Status: Paste sent (1234 chars)", unchanged, hidden},
        {Status::copiedToClipboard(Reason::targetNotFrontmost), "[on clipboard]",
         "Status: Transcript copied -- press Ctrl+V (Target app not in front)", "Start Dictation",
         IndicatorChange{Indicator::copiedToClipboard, "Transcript copied — press Ctrl+V"}},
        {Status::notDelivered(Reason::noAccessibility), "[mic off]",
         "Status: Clipboard unavailable (Accessibility permission needed) -- use Copy Last Transcript",
         "Start Dictation", IndicatorChange{Indicator::error, "Use Copy Last Transcript"}},
        {Status::error("Mic error"), "[mic off]", "Status: Mic error", "Start Dictation",
         IndicatorChange{Indicator::error, "Mic error"}},
        {Status::error("Failed to load turbo model"), "[mic off]", "Status: Failed to load turbo model",
         "Start Dictation", IndicatorChange{Indicator::error, "Failed to load turbo model"}},
        {Status::recording(), "[recording...]", "Status: Recording...", "Stop Dictation",
         IndicatorChange{Indicator::recording, {}}},
        {Status::recordingFromDefaultInput(), "[recording...]", "Status: Recording...", "Stop Dictation",
         IndicatorChange{Indicator::recording, "Listening (default mic)"}},
        {Status::recordingLimitReached(), "[limit reached]", "Status: Recording limit reached -- stop to transcribe",
         unchanged, IndicatorChange{Indicator::recordingLimitReached, {}}},
        {Status::transcribing(), "[transcribing...]", "Status: Transcribing...", "Start Dictation",
         IndicatorChange{Indicator::transcribing, {}}},
        {Status::noSpeech(), "[mic off]", "Status: No speech detected", unchanged, hidden},
        {Status::cancelled(), "[mic off]", "Status: Dictation cancelled", "Start Dictation", hidden},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(toString(row.status));
        const StatusPresentation shown = presentStatus(row.status, kHint);
        EXPECT_EQ(shown.menuBarTitle, row.menuBarTitle);
        EXPECT_EQ(shown.statusLine, row.statusLine);
        EXPECT_EQ(shown.dictationItemTitle, row.dictationItem);
        EXPECT_EQ(shown.indicator, row.indicator);
    }
}

TEST(StatusPresentation, ReadyLineEndsWithTheHintOnlyWhileAShortcutIsRegistered)
{
    EXPECT_EQ(hotkeyHint(std::nullopt), "");
    EXPECT_EQ(hotkeyHint("🌐⌥"), " — press 🌐⌥");
    EXPECT_EQ(presentStatus(Status::ready("small"), hotkeyHint(std::nullopt)).statusLine, "Status: Ready (small)");
    EXPECT_EQ(presentStatus(Status::ready("small"), hotkeyHint("🌐⌥")).statusLine, "Status: Ready (small) — press 🌐⌥");
}

TEST(StatusPresentation, EveryReasonHasItsCaseNameAndText)
{
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"noAccessibility", "Accessibility permission needed"}, {"targetUnavailable", "Target app unavailable"},
        {"targetNotFrontmost", "Target app not in front"},      {"focusNotEditable", "No text field focused"},
        {"eventCreationFailed", "Paste unavailable"},
    };
    ASSERT_EQ(kDeliveryFallbackReasons.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(caseName(kDeliveryFallbackReasons[i]), expected[i].first);
        EXPECT_EQ(reasonText(kDeliveryFallbackReasons[i]), expected[i].second);
    }
}

TEST(PasteInstructionLatch, KeepsTheInstructionAgainstDownloadsUntilAnotherStatusArrives)
{
    struct Step {
        Status status;
        bool shown;
        bool latchedAfter;
    };
    const std::vector<Step> steps = {
        {Status::downloading("small", 10), true, false},  // nothing latched: downloads show
        {Status::copiedToClipboard(Reason::targetNotFrontmost), true, true},
        {Status::downloading("small", 11), false, true},  // dropped entirely
        {Status::downloading("small", 12), false, true},
        {Status::ready("small"), true, false},
        {Status::downloading("small", 13), true, false},
        {Status::notDelivered(Reason::eventCreationFailed), true, true},
        {Status::loading("small"), true, false},
        {Status::notDelivered(Reason::noAccessibility), true, true},
        {Status::copiedToClipboard(Reason::focusNotEditable), true, true},
        {Status::recording(), true, false},
    };
    PasteInstructionLatch latch;
    for (const auto& step : steps) {
        SCOPED_TRACE(toString(step.status));
        EXPECT_EQ(latch.admit(step.status), step.shown);
        EXPECT_EQ(latch.showingPasteInstruction(), step.latchedAfter);
    }
}

TEST(DictationTextForms, StatesAndStatusesAsWrittenInLogs)
{
    EXPECT_EQ(toString(DictationState::modelReady("small")), "modelReady(\"small\")");
    EXPECT_EQ(toString(DictationState::idle()), "idle");
    EXPECT_EQ(toString(DictationState::recording()), "recording");
    EXPECT_EQ(toString(DictationState::transcribing()), "transcribing");
    EXPECT_EQ(toString(DictationState::pasting()), "pasting");

    EXPECT_EQ(toString(Status::downloading("small", 37)), "downloading(\"small\", 37)");
    EXPECT_EQ(toString(Status::copiedToClipboard(Reason::targetNotFrontmost)), "copiedToClipboard(targetNotFrontmost)");
    EXPECT_EQ(toString(Status::error("Mic error")), "error(\"Mic error\")");
    EXPECT_EQ(toString(Status::recordingLimitReached()), "recordingLimitReached");
    EXPECT_EQ(toString(Status::recordingFromDefaultInput()), "recording(default mic)");
    EXPECT_NE(Status::recordingFromDefaultInput(), Status::recording());
}

TEST(DictationTextForms, EqualityComparesCaseAndEveryPayload)
{
    EXPECT_EQ(Status::downloading("small", 37), Status::downloading("small", 37));
    EXPECT_NE(Status::downloading("small", 37), Status::downloading("small", 38));
    EXPECT_NE(Status::downloading("small", 37), Status::downloading("base", 37));
    EXPECT_NE(Status::loading("small"), Status::ready("small"));
    EXPECT_NE(Status::copiedToClipboard(Reason::noAccessibility), Status::notDelivered(Reason::noAccessibility));
    EXPECT_NE(Status::copiedToClipboard(Reason::noAccessibility), Status::copiedToClipboard(Reason::targetUnavailable));
    EXPECT_NE(DictationState::modelReady("small"), DictationState::modelReady("base"));
    EXPECT_TRUE(DictationState::pasting().isBusy());
    EXPECT_FALSE(DictationState::modelReady("small").isBusy());
}

}  // namespace
}  // namespace korvane
