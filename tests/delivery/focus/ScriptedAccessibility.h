#pragma once

#include "delivery/focus/AccessibilityService.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvane::testing {

// An accessible element whose every answer the test sets; records the ranges asked for.
class ScriptedElement final : public AccessibleElement {
public:
    Answer<std::string> roleAnswer = Answer<std::string>::failed(AccessibilityStatus::unsupported);
    Answer<std::string> subroleAnswer = Answer<std::string>::failed(AccessibilityStatus::unsupported);
    Answer<bool> valueSettable = Answer<bool>::ok(false);
    Answer<bool> selectedTextSettable = Answer<bool>::ok(false);
    Answer<TextRange> selection = Answer<TextRange>::failed(AccessibilityStatus::unsupported);
    std::string text;  // stringForRange() answers from it (by code point)
    Answer<Rect> frame = Answer<Rect>::failed(AccessibilityStatus::unsupported);
    std::vector<TextRange> rangesAsked;

    Answer<std::string> role() override { return roleAnswer; }
    Answer<std::string> subrole() override { return subroleAnswer; }
    Answer<bool> isValueSettable() override { return valueSettable; }
    Answer<bool> isSelectedTextSettable() override { return selectedTextSettable; }
    Answer<TextRange> selectedTextRange() override { return selection; }
    Answer<std::string> stringForRange(TextRange range) override;
    Answer<Rect> frameFromTopLeft() override { return frame; }
};

// The service around one scripted element.
class ScriptedAccessibility final : public AccessibilityService {
public:
    bool trusted = true;
    std::shared_ptr<ScriptedElement> element = std::make_shared<ScriptedElement>();
    int focusStatus = AccessibilityStatus::success;
    std::vector<Rect> screenFrames{{0, 0, 1920, 1080}};
    std::optional<int> enableStatus = 0;
    std::vector<std::string> enabled;

    bool isTrusted() override { return trusted; }
    Answer<std::shared_ptr<AccessibleElement>> focusedElement() override
    {
        if (focusStatus != AccessibilityStatus::success) {
            return Answer<std::shared_ptr<AccessibleElement>>::failed(focusStatus);
        }
        return Answer<std::shared_ptr<AccessibleElement>>::ok(element);
    }
    std::vector<Rect> screens() override { return screenFrames; }
    std::optional<int> enableAccessibility(const std::string& bundleId) override
    {
        enabled.push_back(bundleId);
        return enableStatus;
    }
};

}  // namespace korvane::testing
