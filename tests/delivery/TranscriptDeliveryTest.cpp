// SPDX-License-Identifier: MIT
// The delivery decisions over a scripted desktop on virtual time.
#include "delivery/TranscriptDelivery.h"
#include "base/scheduling/VirtualMainQueue.h"
#include "tests/support/DeliveryPrinting.h"
#include "tests/support/RecordingLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using Outcome = DeliveryOutcome;
using Reason = DeliveryFallbackReason;

struct Desktop {
    std::shared_ptr<VirtualMainQueue> queue = std::make_shared<VirtualMainQueue>();
    testing::RecordingLog log;
    bool trusted = true;
    std::optional<std::string> front = "Gedit";
    bool targetRunning = true;
    bool activationTakesEffect = true;
    FocusClassification focus = FocusClassification::editable;
    std::optional<std::string> caret;
    bool copySucceeds = true;
    std::optional<std::string> clipboard;
    std::optional<PasteResult> pasteAnswer = PasteResult::sent;  // nothing: the test answers
    std::vector<std::string> activations;
    std::vector<std::string> pasted;
    std::vector<std::function<bool()>> targetChecks;
    std::vector<std::function<void(PasteResult)>> pasteCompletions;
    std::vector<Outcome> outcomes;

    TranscriptDeliveryEnvironment environment()
    {
        TranscriptDeliveryEnvironment e;
        e.isAccessibilityTrusted = [this] { return trusted; };
        e.isFrontmost = [this](const std::string& app) { return front == app; };
        e.activate = [this](const std::string& app) {
            activations.push_back(app);
            front = targetRunning && activationTakesEffect ? app : front;
            return targetRunning;
        };
        e.classifyFocus = [this] { return focus; };
        e.characterBeforeCaret = [this] { return caret; };
        e.copyToPasteboard = [this](const std::string& text) {
            clipboard = copySucceeds ? std::optional(text) : clipboard;
            return copySucceeds;
        };
        e.paste = [this](const std::string& text, const std::optional<std::string>&, std::function<bool()> check,
                         std::function<void(PasteResult)> completion) {
            pasted.push_back(text);
            targetChecks.push_back(check);
            if (pasteAnswer) {
                completion(*pasteAnswer);
            } else {
                pasteCompletions.push_back(completion);
            }
        };
        e.schedule = [q = queue](double seconds, Task task) { q->postAfter(seconds, std::move(task)); };
        e.log = log.sink();
        return e;
    }
    void deliver(const std::string& text, const std::optional<std::string>& targetApp)
    {
        TranscriptDelivery::deliver(text, targetApp, environment(), [this](Outcome o) { outcomes.push_back(o); });
    }
};

struct ImmediateCase {
    bool trusted;
    bool targetRunning;
    bool copySucceeds;
    std::vector<std::string> activations;
    Outcome expected;
};

TEST(TranscriptDelivery, FallsBackBeforeReturningWithoutPermissionOrTarget)
{
    const std::vector<ImmediateCase> cases{
        {false, true, true, {}, Outcome::copiedToClipboard(Reason::noAccessibility, 5)},
        {false, true, false, {}, Outcome::notDelivered(Reason::noAccessibility)},
        {true, false, true, {"Firefox"}, Outcome::copiedToClipboard(Reason::targetUnavailable, 5)},
        {true, false, false, {"Firefox"}, Outcome::notDelivered(Reason::targetUnavailable)},
    };
    for (const ImmediateCase& c : cases) {
        Desktop desktop;
        desktop.trusted = c.trusted;
        desktop.targetRunning = c.targetRunning;
        desktop.copySucceeds = c.copySucceeds;
        desktop.deliver("h\u00E9llo", "Firefox");  // five characters in six bytes
        EXPECT_THAT(desktop.outcomes, ElementsAre(c.expected));
        EXPECT_EQ(desktop.activations, c.activations);
        EXPECT_EQ(desktop.queue->pendingCount(), 0U);
        EXPECT_EQ(desktop.clipboard, c.copySucceeds ? std::optional<std::string>("h\u00E9llo") : std::nullopt);
    }
}

struct WaitCase {
    const char* name;
    std::optional<std::string> target;
    std::function<void(Desktop&)> arrange;
    double wait;
    Outcome expected;
};

TEST(TranscriptDelivery, WaitsForTheTargetThenLooksAtTheFrontAndTheFocusAgain)
{
    const auto nothing = [](Desktop&) {};
    const std::vector<WaitCase> cases{
        {"in front", "Gedit", nothing, 0.05, Outcome::pasteSent(5)},
        {"activated", "Firefox", nothing, 0.4, Outcome::pasteSent(5)},
        {"no target", std::nullopt, [](Desktop& d) { d.front.reset(); }, 0.5, Outcome::pasteSent(5)},
        {"focus unknown", "Gedit", [](Desktop& d) { d.focus = FocusClassification::unknown; }, 0.05,
         Outcome::pasteSent(5)},
        {"activated, still behind", "Firefox", [](Desktop& d) { d.activationTakesEffect = false; }, 0.4,
         Outcome::copiedToClipboard(Reason::targetNotFrontmost, 5)},
        {"left during the wait", "Gedit", [](Desktop& d) { d.queue->postAfter(0.02, [&d] { d.front = "xterm"; }); },
         0.05, Outcome::copiedToClipboard(Reason::targetNotFrontmost, 5)},
        {"focus on a button", "Gedit", [](Desktop& d) { d.focus = FocusClassification::nonEditable; }, 0.05,
         Outcome::copiedToClipboard(Reason::focusNotEditable, 5)},
    };
    for (const WaitCase& c : cases) {
        SCOPED_TRACE(c.name);
        Desktop desktop;
        c.arrange(desktop);
        desktop.deliver("hello", c.target);
        desktop.queue->advance(c.wait - 0.01);
        EXPECT_TRUE(desktop.outcomes.empty());
        desktop.queue->advance(0.02);
        EXPECT_THAT(desktop.outcomes, ElementsAre(c.expected));
        EXPECT_EQ(desktop.pasted.size(), c.expected.kind == Outcome::Kind::pasteSent ? 1U : 0U);
    }
}

struct PasteCase {
    std::optional<std::string> caret;
    std::string text;
    PasteResult result;
    bool copySucceeds;
    std::string pasted;
    Outcome expected;
};

TEST(TranscriptDelivery, PastesWithALeadingSpaceWhereNeededAndFallsBackToTheTranscriptAsGiven)
{
    const std::string emoji = "he\u0301llo \U0001F44D\U0001F3FD";  // seven characters
    const std::vector<PasteCase> cases{
        {"d", "hello", PasteResult::sent, true, " hello", Outcome::pasteSent(5)},
        {"(", "hello", PasteResult::sent, true, "hello", Outcome::pasteSent(5)},
        {std::nullopt, "hello", PasteResult::sent, true, "hello", Outcome::pasteSent(5)},
        {"d", ", then", PasteResult::sent, true, ", then", Outcome::pasteSent(6)},
        {"d", emoji, PasteResult::sent, true, " " + emoji, Outcome::pasteSent(7)},
        {"d", "hello", PasteResult::noAccessibility, true, " hello",
         Outcome::copiedToClipboard(Reason::noAccessibility, 5)},
        {"d", "hello", PasteResult::targetChanged, true, " hello",
         Outcome::copiedToClipboard(Reason::targetNotFrontmost, 5)},
        {"d", "hello", PasteResult::eventCreationFailed, true, " hello",
         Outcome::copiedToClipboard(Reason::eventCreationFailed, 5)},
        {"d", "hello", PasteResult::clipboardChanged, true, " hello",
         Outcome::copiedToClipboard(Reason::eventCreationFailed, 5)},
        {"d", "hello", PasteResult::clipboardChanged, false, " hello",
         Outcome::notDelivered(Reason::eventCreationFailed)},
    };
    for (const PasteCase& c : cases) {
        SCOPED_TRACE(c.caret.value_or("start") + " + " + c.text + " " + std::string(caseName(c.result)));
        Desktop desktop;
        desktop.caret = c.caret;
        desktop.pasteAnswer = c.result;
        desktop.copySucceeds = c.copySucceeds;
        desktop.deliver(c.text, "Gedit");
        desktop.queue->advance(1);
        EXPECT_THAT(desktop.pasted, ElementsAre(c.pasted));
        EXPECT_THAT(desktop.outcomes, ElementsAre(c.expected));
        const bool fellBack = c.expected.kind == Outcome::Kind::copiedToClipboard;
        EXPECT_EQ(desktop.clipboard, fellBack ? std::optional(c.text) : std::nullopt);
        EXPECT_THAT(desktop.log.lines(),
                    ElementsAre(std::string("Leading space added: ") + (c.pasted != c.text ? "true" : "false")));
    }
}

TEST(TranscriptDelivery, TargetCheckHandedToThePasteAsksAfreshAndPassesWithoutATarget)
{
    Desktop desktop;
    desktop.pasteAnswer.reset();
    desktop.deliver("hello", "Gedit");
    desktop.deliver("hello", std::nullopt);
    desktop.queue->advance(1);
    ASSERT_EQ(desktop.targetChecks.size(), 2U);
    EXPECT_TRUE(desktop.targetChecks[0]());
    desktop.front = "Firefox";
    EXPECT_FALSE(desktop.targetChecks[0]());
    EXPECT_TRUE(desktop.targetChecks[1]());
    EXPECT_TRUE(desktop.outcomes.empty());
    desktop.pasteCompletions[0](PasteResult::sent);
    EXPECT_THAT(desktop.outcomes, ElementsAre(Outcome::pasteSent(5)));
}

TEST(TranscriptDelivery, PortKeepsItsOwnCopyOfTheEnvironment)
{
    Desktop desktop;
    TranscriptDeliveryEnvironment environment = desktop.environment();
    EnvironmentDelivery delivery(environment);
    environment.isAccessibilityTrusted = [] { return false; };
    delivery.deliver("hello", "Gedit", [&](Outcome outcome) { desktop.outcomes.push_back(outcome); });
    desktop.queue->advance(1);
    EXPECT_THAT(desktop.outcomes, ElementsAre(Outcome::pasteSent(5)));
}

TEST(TranscriptDelivery, LeadingSpaceOnlyBetweenTwoWordLikeCharacters)
{
    std::vector<std::tuple<std::optional<std::string>, std::string, bool>> cases{
        {"d", "word", true},    {".", "Next", true},           {"\u201D", "word", true}, {"e\u0301", "word", true},
        {"d", "(aside)", true}, {std::nullopt, "word", false}, {"", "word", false},      {"d", "", false},
        {" ", "word", false},   {"\r\n", "word", false},       {"\t", "word", false},    {"\u00A0", "word", false},
        {"d", " word", false},  {"d", "\nword", false},
    };
    for (const char* opener : {"(", "[", "{", "\"", "'", "\u201C", "\u2018", "/", "-"}) {
        cases.emplace_back(opener, "word", false);
    }
    for (const char* closer : {".", ",", ";", ":", "!", "?", ")", "]", "}", "\u2026"}) {
        cases.emplace_back("d", std::string(closer) + " more", false);
    }
    for (const auto& [previous, text, expected] : cases) {
        EXPECT_EQ(TranscriptDelivery::needsLeadingSpace(text, previous), expected)
            << "'" << previous.value_or("(none)") << "' then '" << text << "'";
    }
}

// Failure messages name outcomes and show clipboard bytes legibly instead of dumping raw memory.
TEST(TranscriptDelivery, FailureMessagesShowOutcomesAndClipboardFormatsReadably)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {::testing::PrintToString(Outcome::pasteSent(5)), "pasteSent(5 chars)"},
        {::testing::PrintToString(Outcome::copiedToClipboard(Reason::targetUnavailable, 3)),
         "copiedToClipboard(targetUnavailable, 3 chars)"},
        {::testing::PrintToString(Outcome::notDelivered(Reason::noAccessibility)), "notDelivered(noAccessibility)"},
        {::testing::PrintToString(PasteResult::clipboardChanged), "clipboardChanged"},
        {::testing::PrintToString(ClipboardSnapshot{{"text/plain", "say \"hi\""}}),
         "{ {text/plain: \"say \\\"hi\\\"\"} }"},
        {::testing::PrintToString(ClipboardFormat{"image/png", "\x89PNG\r\n" + std::string(60, 'x')}),
         "{image/png: \"\\x89PNG\\x0d\\x0a" + std::string(42, 'x') + "\"... (66 bytes)}"},
    };
    for (const auto& [printed, expected] : cases) {
        EXPECT_EQ(printed, expected);
    }
}

}  // namespace
}  // namespace korvane
