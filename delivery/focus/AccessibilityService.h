#pragma once

#include "delivery/focus/ScreenGeometry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// Status numbers of accessibility queries, written into log lines after the word "status".
// 0 is success; adapters may add numbers of their own above these.
namespace AccessibilityStatus {
inline constexpr int success = 0;
inline constexpr int unsupported = 1;  // the element does not offer that attribute or interface
inline constexpr int noReply = 2;      // the application did not answer in time
inline constexpr int failure = 3;      // any other failed query
}  // namespace AccessibilityStatus

// The answer to one query: a status and, on success, a value (which may still be absent).
template <class Value>
struct Answer {
    int status = AccessibilityStatus::failure;
    std::optional<Value> value;

    static Answer ok(Value v) { return {AccessibilityStatus::success, std::move(v)}; }
    static Answer failed(int status) { return {status, std::nullopt}; }
};

// A character range of a text element: `location` characters from the start, `length` long.
struct TextRange {
    std::int64_t location = 0;
    std::int64_t length = 0;
};

// One accessible element of another application, as the focus logic queries it. Its queries share
// the time-out of the lookup that found it (0.5 s for the lookup and all of them together), so one
// inspection of a hung application costs at most that.
class AccessibleElement {
public:
    virtual ~AccessibleElement() = default;

    // The role and subrole in the names the logic uses ("AXTextField", "AXSecureTextField", ...);
    // absent when the element has none or the platform role maps to nothing.
    virtual Answer<std::string> role() = 0;
    virtual Answer<std::string> subrole() = 0;

    // Whether the whole value can be written, and whether the selected text can be replaced.
    virtual Answer<bool> isValueSettable() = 0;
    virtual Answer<bool> isSelectedTextSettable() = 0;

    // The selection (its start is the caret), and the text of a character range.
    virtual Answer<TextRange> selectedTextRange() = 0;
    virtual Answer<std::string> stringForRange(TextRange range) = 0;

    // The element's frame with its origin at the top left of the primary screen, y downwards.
    virtual Answer<Rect> frameFromTopLeft() = 0;
};

// The platform's accessibility service as the focus logic sees it.
class AccessibilityService {
public:
    virtual ~AccessibilityService() = default;

    // Whether this process may observe and synthesize input and query other applications. Asked
    // afresh at every use: the answer may change while Korvane runs.
    virtual bool isTrusted() = 0;

    // The focused element of the active application; on failure the status and no element.
    virtual Answer<std::shared_ptr<AccessibleElement>> focusedElement() = 0;

    // The screens in the y-up geometry, the primary screen first; empty when none is known.
    virtual std::vector<Rect> screens() = 0;

    // Asks the running application with that identifier to expose its accessibility tree; the
    // status of the request, or nothing when no such application runs.
    virtual std::optional<int> enableAccessibility(const std::string& bundleId) = 0;
};

}  // namespace korvane
