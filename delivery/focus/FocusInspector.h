#pragma once

#include "base/logging/LogSink.h"
#include "delivery/focus/AccessibilityService.h"
#include "delivery/focus/FocusClassification.h"
#include "delivery/focus/ScreenGeometry.h"

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// What the focused element of the whole desktop is: whether it takes text, which character stands
// before the caret, where it is on screen. Stateless: each operation asks the accessibility
// service afresh and logs its findings (statuses as numbers, never the user's text).
namespace FocusInspector {

// The focused element, or nothing (without permission, silently; otherwise with a log line).
std::shared_ptr<AccessibleElement> focusedElement(AccessibilityService& service, const LogSink& log);

// Judges the element from its role, subrole and the two settable queries (one log line).
FocusClassification classify(AccessibleElement& element, const LogSink& log);

// classify() of the focused element; `unknown` when there is none.
FocusClassification classifyFocusedElement(AccessibilityService& service, const LogSink& log);

// The user-perceived character just before the caret (before the selection, if any), or nothing.
std::optional<std::string> characterBeforeCaret(AccessibilityService& service, const LogSink& log);

// The focused element's frame in y-up geometry, when it lies on some screen.
std::optional<Rect> focusedElementFrame(AccessibilityService& service, const LogSink& log);

// Asks the application to expose its accessibility tree; logs the request's status.
void enableAccessibility(AccessibilityService& service, const std::string& bundleId, const LogSink& log);

// The class name of one character for log lines: "newline", "space", "letter-or-digit",
// "sentence-end", "opener" or "other-punctuation".
std::string_view characterClass(std::string_view character);

}  // namespace FocusInspector

}  // namespace korvane
