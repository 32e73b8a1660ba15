#pragma once

#include "core/dictation/DictationStatus.h"

namespace korvane {

// Keeps the "transcript is on the clipboard" instruction on screen until something more important
// than a background download replaces it.
//
// copiedToClipboard and notDelivered set the latch; a downloading status that arrives while it is
// set is dropped entirely (no surface changes); a downloading status otherwise leaves the latch as
// it is; every other status clears it.
class PasteInstructionLatch {
public:
    // Updates the latch for `status`; false when the status must not be shown at all.
    bool admit(const DictationStatus& status);

    bool showingPasteInstruction() const { return showing_; }

private:
    bool showing_ = false;
};

}  // namespace korvane
