#include "delivery/focus/FocusClassification.h"

namespace korvane {

std::string_view caseName(FocusClassification classification)
{
    switch (classification) {
    case FocusClassification::editable:
        return "editable";
    case FocusClassification::nonEditable:
        return "nonEditable";
    case FocusClassification::unknown:
        break;
    }
    return "unknown";
}

}  // namespace korvane
