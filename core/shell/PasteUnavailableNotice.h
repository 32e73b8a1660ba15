#pragma once

#include "core/dictation/DictationStatus.h"

#include <optional>
#include <string>

namespace korvane {

// A desktop notification for a transcript left on the clipboard because this session gives
// Korvane no way of sending the paste keys (a Wayland desktop without any of the ways Korvane knows).
struct PasteUnavailableNotice {
    std::string summary;  // "Paste unavailable"
    std::string body;     // what the session lacks, and what to do with the transcript

    friend bool operator==(const PasteUnavailableNotice&, const PasteUnavailableNotice&) = default;
};

// Decides when that is announced: the tray's status line says "Accessibility permission needed",
// which on such a desktop explains nothing, so the first such dictation says what is missing. The
// same lack is not announced again; a different one is (the user refused the desktop's approval
// after a method failed, say).
class PasteUnavailableNotices {
public:
    // Called with every status and, at that moment, what the session lacks for sending keys (empty
    // when nothing is missing). Returns the notice to show, or nothing.
    std::optional<PasteUnavailableNotice> observe(const DictationStatus& status, const std::string& missing);

private:
    std::string announced_;
};

}  // namespace korvane
