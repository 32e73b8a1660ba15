#include "delivery/paste/PasteResult.h"

namespace korvane {

std::string_view caseName(PasteResult result)
{
    switch (result) {
    case PasteResult::sent:
        return "sent";
    case PasteResult::noAccessibility:
        return "noAccessibility";
    case PasteResult::eventCreationFailed:
        return "eventCreationFailed";
    case PasteResult::targetChanged:
        return "targetChanged";
    case PasteResult::clipboardChanged:
        return "clipboardChanged";
    }
    return "unknown";
}

}  // namespace korvane
