#pragma once

#include "core/dictation/DictationStatus.h"

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// What the listening indicator should do for a status: hide, or show one of its states with a
// message (the message is used by copiedToClipboard and error, and by recording when its label
// differs from the plain "Listening").
struct IndicatorChange {
    enum class Kind { hidden, recording, recordingLimitReached, transcribing, copiedToClipboard, error };

    Kind kind = Kind::hidden;
    std::string message;

    friend bool operator==(const IndicatorChange&, const IndicatorChange&) = default;
};

// The four surfaces on which a status is shown. An absent optional leaves that surface as it is.
struct StatusPresentation {
    std::string menuBarTitle;
    std::string statusLine;
    std::optional<std::string> dictationItemTitle;
    std::optional<IndicatorChange> indicator;

    friend bool operator==(const StatusPresentation&, const StatusPresentation&) = default;
};

// The hint appended to the ready status line: empty while no shortcut is registered, otherwise
// " — press " followed by the shortcut's display text.
std::string hotkeyHint(const std::optional<std::string>& registeredShortcutText);

// How the tray and the indicator present `status`. `hint` is the result of hotkeyHint().
StatusPresentation presentStatus(const DictationStatus& status, std::string_view hint);

}  // namespace korvane
