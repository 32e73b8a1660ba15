// SPDX-License-Identifier: MIT
// The focus decisions over a scripted accessibility service: classification, the character before
// the caret, the frame, and their log lines.
#include "delivery/focus/FocusInspector.h"
#include "tests/delivery/focus/ScriptedAccessibility.h"
#include "text/UnicodeText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {

Answer<std::string> testing::ScriptedElement::stringForRange(TextRange range)
{
    rangesAsked.push_back(range);
    const icu::UnicodeString unicode = unicode_text::fromUtf8(text);
    if (range.location < 0 || range.location + range.length > unicode.countChar32()) {
        return Answer<std::string>::failed(AccessibilityStatus::failure);
    }
    const int32_t start = unicode.moveIndex32(0, static_cast<int32_t>(range.location));
    const int32_t end = unicode.moveIndex32(start, static_cast<int32_t>(range.length));
    return Answer<std::string>::ok(unicode_text::toUtf8(unicode.tempSubString(start, end - start)));
}

namespace {

using ::testing::ElementsAre;

struct Lines {
    std::vector<std::string> lines;
    LogSink sink()
    {
        return [this](std::string_view line) { lines.emplace_back(line); };
    }
};

constexpr int kFailed = AccessibilityStatus::failure;
const std::optional<std::string> kNil;

struct ClassifyCase {
    const char* name;
    std::optional<std::string> role;
    std::optional<std::string> subrole;
    std::optional<bool> valueSettable;         // nullopt: the query fails
    std::optional<bool> selectedTextSettable;  // nullopt: the query fails
    FocusClassification expected;
};

Answer<bool> settableAnswer(std::optional<bool> value)
{
    return value ? Answer<bool>::ok(*value) : Answer<bool>::failed(kFailed);
}

Answer<std::string> stringAnswer(const std::optional<std::string>& value)
{
    return value ? Answer<std::string>::ok(*value) : Answer<std::string>::failed(AccessibilityStatus::unsupported);
}

TEST(FocusInspectorClassify, DecidesByTheFirstMatchingRule)
{
    const std::vector<ClassifyCase> cases{
        {"selected text settable, any role", "AXButton", kNil, false, true, FocusClassification::editable},
        {"value settable, no role", kNil, kNil, true, std::nullopt, FocusClassification::editable},
        {"password field", "AXTextField", "AXSecureTextField", false, false, FocusClassification::editable},
        {"password field, queries failing", kNil, "AXSecureTextField", std::nullopt, std::nullopt,
         FocusClassification::editable},
        {"no role", kNil, kNil, false, false, FocusClassification::unknown},
        {"editable role", "AXTextArea", kNil, false, false, FocusClassification::editable},
        {"combo box", "AXComboBox", kNil, std::nullopt, std::nullopt, FocusClassification::editable},
        {"button, both queries said no", "AXButton", kNil, false, false, FocusClassification::nonEditable},
        {"button, one query failed", "AXButton", kNil, std::nullopt, false, FocusClassification::unknown},
        {"web area", "AXWebArea", kNil, false, false, FocusClassification::nonEditable},
        {"unlisted role", "AXGroup", kNil, false, false, FocusClassification::unknown},
    };
    for (const ClassifyCase& c : cases) {
        testing::ScriptedElement element;
        element.roleAnswer = stringAnswer(c.role);
        element.subroleAnswer = stringAnswer(c.subrole);
        element.valueSettable = settableAnswer(c.valueSettable);
        element.selectedTextSettable = settableAnswer(c.selectedTextSettable);
        Lines log;
        EXPECT_EQ(FocusInspector::classify(element, log.sink()), c.expected) << c.name;
        EXPECT_EQ(log.lines.size(), 1u) << c.name;
    }
}

TEST(FocusInspectorClassify, LogsRoleSubroleAndBothQueriesInOneLine)
{
    testing::ScriptedElement element;
    element.roleAnswer = Answer<std::string>::ok("AXTextArea");
    element.valueSettable = Answer<bool>::ok(true);
    element.selectedTextSettable = Answer<bool>::failed(kFailed);
    Lines log;
    FocusInspector::classify(element, log.sink());
    EXPECT_THAT(log.lines, ElementsAre("Focus inspection: role=AXTextArea subrole=nil valueSettable=true "
                                       "selectedTextSettable=nil"));
}

TEST(FocusInspectorFocus, NoFocusedElementIsUnknownWithItsStatusAndSilentWithoutPermission)
{
    testing::ScriptedAccessibility service;
    service.focusStatus = AccessibilityStatus::noReply;
    Lines log;
    EXPECT_EQ(FocusInspector::classifyFocusedElement(service, log.sink()), FocusClassification::unknown);
    EXPECT_THAT(log.lines, ElementsAre("Focus inspection: no focused element (status 2)"));

    service.trusted = false;
    log.lines.clear();
    EXPECT_EQ(FocusInspector::characterBeforeCaret(service, log.sink()), std::nullopt);
    EXPECT_FALSE(FocusInspector::focusedElementFrame(service, log.sink()));
    FocusInspector::enableAccessibility(service, "Gedit", log.sink());
    EXPECT_THAT(log.lines, ElementsAre("Caret read: no focused element"));
    EXPECT_TRUE(service.enabled.empty());
}

struct CaretCase {
    const char* name;
    std::string text;
    Answer<TextRange> selection;
    std::optional<std::string> expected;
    std::string logLine;
};

TEST(FocusInspectorCaret, ReadsTheCharacterBeforeTheSelectionAndLogsOnlyItsClass)
{
    const std::vector<CaretCase> cases{
        {"start of field", "hello", Answer<TextRange>::ok({0, 2}), std::nullopt,
         "Caret read: at start of field (selection length 2)"},
        {"after a letter", "hello", Answer<TextRange>::ok({5, 0}), "o",
         "Caret read: letter-or-digit before caret at 5, selection length 0"},
        {"before a selection", "ab(cdef", Answer<TextRange>::ok({3, 3}), "(",
         "Caret read: opener before caret at 3, selection length 3"},
        {"after a sentence", "Done.", Answer<TextRange>::ok({5, 0}), ".",
         "Caret read: sentence-end before caret at 5, selection length 0"},
        {"after a newline", "one\n", Answer<TextRange>::ok({4, 0}), "\n",
         "Caret read: newline before caret at 4, selection length 0"},
        {"no selection range", "hello", Answer<TextRange>::failed(AccessibilityStatus::unsupported), std::nullopt,
         "Caret read: no selection range (status 1)"},
        {"caret past the text", "hi", Answer<TextRange>::ok({7, 0}), std::nullopt,
         "Caret read: no text before caret at 7 (status 3)"},
    };
    for (const CaretCase& c : cases) {
        testing::ScriptedAccessibility service;
        service.element->text = c.text;
        service.element->selection = c.selection;
        Lines log;
        EXPECT_EQ(FocusInspector::characterBeforeCaret(service, log.sink()), c.expected) << c.name;
        EXPECT_THAT(log.lines, ElementsAre(c.logLine)) << c.name;
    }
}

TEST(FocusInspectorCaret, AsksForTheSingleCharacterBeforeTheSelectionStart)
{
    testing::ScriptedAccessibility service;
    service.element->text = "0123456789";
    service.element->selection = Answer<TextRange>::ok({5, 3});
    Lines log;
    EXPECT_EQ(FocusInspector::characterBeforeCaret(service, log.sink()), "4");
    ASSERT_EQ(service.element->rangesAsked.size(), 1u);
    EXPECT_EQ(service.element->rangesAsked[0].location, 4);
    EXPECT_EQ(service.element->rangesAsked[0].length, 1);
}

TEST(FocusInspectorCharacterClass, FollowsTheTableInOrder)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"\r", "newline"},
        {"\u2028", "newline"},
        {"\u0085", "newline"},
        {" ", "space"},
        {"\u00A0", "space"},
        {"\t", "space"},
        {"a", "letter-or-digit"},
        {"\u00E9", "letter-or-digit"},
        {"7", "letter-or-digit"},
        {"\u00BD", "letter-or-digit"},
        {"\u2026", "sentence-end"},
        {"?", "sentence-end"},
        {"\u201C", "opener"},
        {"-", "opener"},
        {"/", "opener"},
        {",", "other-punctuation"},
        {")", "other-punctuation"},
        {"\u201D", "other-punctuation"},
    };
    for (const auto& [character, expected] : cases) {
        EXPECT_EQ(FocusInspector::characterClass(character), expected) << character;
    }
}

struct FrameCase {
    const char* name;
    std::vector<Rect> screens;  // y-up, primary first
    Answer<Rect> frame;         // top-left origin, y down
    std::optional<Rect> expected;
};

TEST(FocusInspectorFrame, ConvertsToBottomLeftOriginAndNeedsAScreen)
{
    const Rect primary{0, 0, 1920, 1080};
    const Rect above{0, 1080, 1280, 1024};  // a second screen stacked above the primary one
    const std::vector<FrameCase> cases{
        {"on the primary screen", {primary}, Answer<Rect>::ok({100, 200, 300, 40}), Rect{100, 840, 300, 40}},
        {"on the screen above", {primary, above}, Answer<Rect>::ok({10, -500, 200, 30}), Rect{10, 1550, 200, 30}},
        {"off every screen", {primary}, Answer<Rect>::ok({3000, 200, 300, 40}), std::nullopt},
        {"empty size", {primary}, Answer<Rect>::ok({100, 200, 0, 40}), std::nullopt},
        {"failed query", {primary}, Answer<Rect>::failed(kFailed), std::nullopt},
        {"no screens", {}, Answer<Rect>::ok({100, 200, 300, 40}), std::nullopt},
    };
    for (const FrameCase& c : cases) {
        testing::ScriptedAccessibility service;
        service.screenFrames = c.screens;
        service.element->frame = c.frame;
        Lines log;
        EXPECT_EQ(FocusInspector::focusedElementFrame(service, log.sink()), c.expected) << c.name;
        EXPECT_EQ(log.lines.size(), c.expected ? 1u : 0u) << c.name;
    }
    testing::ScriptedAccessibility service;
    service.element->frame = Answer<Rect>::ok({100.7, 200.2, 300.9, 40.5});
    Lines log;
    FocusInspector::focusedElementFrame(service, log.sink());
    EXPECT_THAT(log.lines, ElementsAre("Focus frame: 100,839 300x40"));
}

TEST(FocusInspectorEnable, LogsTheStatusOnlyWhenTheApplicationRuns)
{
    testing::ScriptedAccessibility service;
    service.enableStatus = 0;
    Lines log;
    FocusInspector::enableAccessibility(service, "Gedit", log.sink());
    service.enableStatus = std::nullopt;
    FocusInspector::enableAccessibility(service, "Gone", log.sink());
    EXPECT_THAT(log.lines, ElementsAre("AXManualAccessibility for Gedit: status 0"));
    EXPECT_THAT(service.enabled, ElementsAre("Gedit", "Gone"));
}

}  // namespace
}  // namespace korvane
