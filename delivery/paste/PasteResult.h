#pragma once

#include <string_view>

namespace korvane {

// How one paste attempt of the paste helper ended.
enum class PasteResult {
    sent,                 // the paste chord went out
    noAccessibility,      // synthetic input is not permitted
    eventCreationFailed,  // the clipboard could not be taken or the chord could not be sent
    targetChanged,        // the target left the front before the chord
    clipboardChanged,     // someone else took the clipboard before the chord
};

// The case name, as written in log lines ("targetChanged").
std::string_view caseName(PasteResult result);

}  // namespace korvane
