#pragma once

#include "core/dictation/DictationStatus.h"
#include "core/dictation/PasteInstructionLatch.h"
#include "core/dictation/StatusPresentation.h"

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// What the tray menu shows. The menu-bar title is the tray's tooltip; it is kept here as text so
// that tests and the log can read it.
struct StatusMenuTexts {
    std::string menuBarTitle;
    std::string statusLine;
    std::string dictationItemTitle;
    bool copyLastTranscriptEnabled = false;
    // "Cancel Dictation" is offered from the start of a recording until the dictation's end.
    bool cancelDictationVisible = false;

    friend bool operator==(const StatusMenuTexts&, const StatusMenuTexts&) = default;
};

// The tray icon's tooltip: "Korvane — " and the status line without its "Status: " label, so that
// hovering the icon tells what the menu would (an error included), not the menu-bar title.
std::string trayToolTip(std::string_view statusLine);

// The tray menu's state as statuses arrive from the dictation controller. The tray widget draws
// texts() after every call and passes the returned indicator change on to the listening indicator.
class StatusMenuModel {
public:
    // `bindingDisplayText` is the stored shortcut's display text, shown in the first status line.
    explicit StatusMenuModel(std::string_view bindingDisplayText);

    // Applies `status`. `hint` is hotkeyHint() for the current registration; `hasLastTranscript`
    // tells whether the controller holds a transcript to copy again. Returns what the listening
    // indicator must do; nothing when it stays as it is, or when the status is not shown at all (a
    // download's progress while the paste instruction is up).
    std::optional<IndicatorChange> apply(const DictationStatus& status, std::string_view hint, bool hasLastTranscript);

    // The outcome of Copy Last Transcript: `copied` is false when there was no transcript or the
    // clipboard refused it. Only the status line changes.
    void showCopyResult(bool copied);

    // For the shortcut wiring, which reports on the same line; the last writer wins.
    void setStatusLine(std::string line);

    const StatusMenuTexts& texts() const { return texts_; }
    bool showingPasteInstruction() const { return latch_.showingPasteInstruction(); }

private:
    StatusMenuTexts texts_;
    PasteInstructionLatch latch_;
};

}  // namespace korvane
