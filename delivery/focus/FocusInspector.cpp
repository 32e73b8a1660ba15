#include "delivery/focus/FocusInspector.h"

#include "text/UnicodeText.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <array>
#include <cmath>
#include <memory>
#include <set>

namespace korvane::FocusInspector {

namespace {

const std::set<std::string, std::less<>>& editableRoles()
{
    static const std::set<std::string, std::less<>> roles{"AXTextField", "AXTextArea", "AXComboBox", "AXSearchField"};
    return roles;
}

const std::set<std::string, std::less<>>& editableSubroles()
{
    static const std::set<std::string, std::less<>> subroles{"AXSearchField", "AXSecureTextField", "AXContentList"};
    return subroles;
}

const std::set<std::string, std::less<>>& staticRoles()
{
    static const std::set<std::string, std::less<>> roles{
        "AXButton", "AXMenu",  "AXMenuItem",          "AXMenuBar", "AXMenuBarItem", "AXCheckBox", "AXRadioButton",
        "AXSlider", "AXImage", "AXProgressIndicator", "AXToolbar", "AXTabGroup",    "AXWebArea",
    };
    return roles;
}

// A string attribute: absent when the query failed or gave nothing.
std::optional<std::string> stringAttribute(const Answer<std::string>& answer)
{
    return answer.status == AccessibilityStatus::success ? answer.value : std::nullopt;
}

// A settable query in its three states: failed (absent), settable, not settable.
std::optional<bool> settable(const Answer<bool>& answer)
{
    if (answer.status != AccessibilityStatus::success || !answer.value) {
        return std::nullopt;
    }
    return *answer.value;
}

std::string_view describe(const std::optional<bool>& value)
{
    if (!value) {
        return "nil";
    }
    return *value ? "true" : "false";
}

// The last user-perceived character of UTF-8 text.
std::string lastCharacter(const std::string& text)
{
    const icu::UnicodeString unicode = unicode_text::fromUtf8(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !characters) {
        return unicode_text::toUtf8(unicode.tempSubString(unicode.moveIndex32(unicode.length(), -1)));
    }
    characters->setText(unicode);
    const int32_t end = characters->last();
    const int32_t start = characters->previous();
    return unicode_text::toUtf8(unicode.tempSubString(start, end - start));
}

std::string wholeNumber(double value)
{
    return std::to_string(static_cast<long long>(std::trunc(value)));
}

}  // namespace

std::shared_ptr<AccessibleElement> focusedElement(AccessibilityService& service, const LogSink& log)
{
    if (!service.isTrusted()) {
        return nullptr;
    }
    Answer<std::shared_ptr<AccessibleElement>> focused = service.focusedElement();
    if (focused.status != AccessibilityStatus::success || !focused.value || !*focused.value) {
        log("Focus inspection: no focused element (status " + std::to_string(focused.status) + ")");
        return nullptr;
    }
    return *focused.value;
}

FocusClassification classify(AccessibleElement& element, const LogSink& log)
{
    const std::optional<std::string> role = stringAttribute(element.role());
    const std::optional<std::string> subrole = stringAttribute(element.subrole());
    const std::optional<bool> valueSettable = settable(element.isValueSettable());
    const std::optional<bool> selectedTextSettable = settable(element.isSelectedTextSettable());
    log("Focus inspection: role=" + role.value_or("nil") + " subrole=" + subrole.value_or("nil") + " valueSettable=" +
        std::string(describe(valueSettable)) + " selectedTextSettable=" + std::string(describe(selectedTextSettable)));

    if (valueSettable == true || selectedTextSettable == true) {
        return FocusClassification::editable;
    }
    if (subrole && editableSubroles().contains(*subrole)) {
        return FocusClassification::editable;
    }
    if (!role) {
        return FocusClassification::unknown;
    }
    if (editableRoles().contains(*role)) {
        return FocusClassification::editable;
    }
    if (staticRoles().contains(*role) && valueSettable && selectedTextSettable) {
        return FocusClassification::nonEditable;
    }
    return FocusClassification::unknown;
}

FocusClassification classifyFocusedElement(AccessibilityService& service, const LogSink& log)
{
    const std::shared_ptr<AccessibleElement> element = focusedElement(service, log);
    return element ? classify(*element, log) : FocusClassification::unknown;
}

std::optional<std::string> characterBeforeCaret(AccessibilityService& service, const LogSink& log)
{
    const std::shared_ptr<AccessibleElement> element = focusedElement(service, log);
    if (!element) {
        log("Caret read: no focused element");
        return std::nullopt;
    }
    const Answer<TextRange> selection = element->selectedTextRange();
    if (selection.status != AccessibilityStatus::success || !selection.value) {
        log("Caret read: no selection range (status " + std::to_string(selection.status) + ")");
        return std::nullopt;
    }
    const TextRange range = *selection.value;
    if (range.location < 1) {
        log("Caret read: at start of field (selection length " + std::to_string(range.length) + ")");
        return std::nullopt;
    }
    const Answer<std::string> before = element->stringForRange({range.location - 1, 1});
    if (before.status != AccessibilityStatus::success || !before.value || before.value->empty()) {
        log("Caret read: no text before caret at " + std::to_string(range.location) + " (status " +
            std::to_string(before.status) + ")");
        return std::nullopt;
    }
    std::string character = lastCharacter(*before.value);
    log("Caret read: " + std::string(characterClass(character)) + " before caret at " + std::to_string(range.location) +
        ", selection length " + std::to_string(range.length));
    return character;
}

std::optional<Rect> focusedElementFrame(AccessibilityService& service, const LogSink& log)
{
    const std::shared_ptr<AccessibleElement> element = focusedElement(service, log);
    if (!element) {
        return std::nullopt;
    }
    const std::vector<Rect> screens = service.screens();
    if (screens.empty()) {
        return std::nullopt;
    }
    const Answer<Rect> frame = element->frameFromTopLeft();
    if (frame.status != AccessibilityStatus::success || !frame.value || frame.value->width <= 0 ||
        frame.value->height <= 0) {
        return std::nullopt;
    }
    const Rect& topLeft = *frame.value;
    const Rect converted = fromTopLeftOrigin(topLeft.x, topLeft.y, topLeft.width, topLeft.height, screens.front());
    for (const Rect& screen : screens) {
        if (screen.intersects(converted)) {
            log("Focus frame: " + wholeNumber(converted.x) + "," + wholeNumber(converted.y) + " " +
                wholeNumber(converted.width) + "x" + wholeNumber(converted.height));
            return converted;
        }
    }
    return std::nullopt;
}

void enableAccessibility(AccessibilityService& service, const std::string& bundleId, const LogSink& log)
{
    if (!service.isTrusted()) {
        return;
    }
    if (const std::optional<int> status = service.enableAccessibility(bundleId)) {
        log("AXManualAccessibility for " + bundleId + ": status " + std::to_string(*status));
    }
}

std::string_view characterClass(std::string_view character)
{
    const icu::UnicodeString text = unicode_text::fromUtf8(character);
    if (text.isEmpty()) {
        return "other-punctuation";
    }
    const UChar32 first = text.char32At(0);
    if ((first >= 0x0A && first <= 0x0D) || first == 0x85 || first == 0x2028 || first == 0x2029) {
        return "newline";
    }
    if (u_isUWhiteSpace(first)) {
        return "space";
    }
    if (u_hasBinaryProperty(first, UCHAR_ALPHABETIC) || u_getNumericValue(first) != U_NO_NUMERIC_VALUE) {
        return "letter-or-digit";
    }
    static constexpr std::array<std::string_view, 4> sentenceEnds{".", "!", "?", "\u2026"};
    static constexpr std::array<std::string_view, 9> openers{"(", "[", "{", "\"", "'", "\u201C", "\u2018", "/", "-"};
    for (std::string_view end : sentenceEnds) {
        if (character == end) {
            return "sentence-end";
        }
    }
    for (std::string_view opener : openers) {
        if (character == opener) {
            return "opener";
        }
    }
    return "other-punctuation";
}

}  // namespace korvane::FocusInspector
