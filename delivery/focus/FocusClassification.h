#pragma once

#include <string_view>

namespace korvane {

// Whether the focused element takes typed or pasted text.
enum class FocusClassification {
    editable,     // it takes text
    nonEditable,  // it is known not to (a button, a menu, an image, ...)
    unknown,      // no focused element, no role, an unlisted role, or a failed query
};

std::string_view caseName(FocusClassification classification);

}  // namespace korvane
