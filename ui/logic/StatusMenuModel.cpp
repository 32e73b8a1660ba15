#include "ui/logic/StatusMenuModel.h"

#include <utility>

namespace korvane {

StatusMenuModel::StatusMenuModel(std::string_view bindingDisplayText)
    : texts_{"[mic off]", "Status: Idle — press " + std::string(bindingDisplayText), "Start Dictation", false}
{
}

std::optional<IndicatorChange> StatusMenuModel::apply(const DictationStatus& status, std::string_view hint,
                                                      bool hasLastTranscript)
{
    if (!latch_.admit(status)) {
        return std::nullopt;
    }
    StatusPresentation row = presentStatus(status, hint);
    texts_.menuBarTitle = std::move(row.menuBarTitle);
    texts_.statusLine = std::move(row.statusLine);
    if (row.dictationItemTitle) {
        texts_.dictationItemTitle = std::move(*row.dictationItemTitle);
    }
    texts_.copyLastTranscriptEnabled = hasLastTranscript;
    // Delivery takes its transcript without a status of its own, so the item stays during the
    // short paste too; the controller ignores a cancel there.
    const DictationStatus::Kind kind = status.kind();
    texts_.cancelDictationVisible = kind == DictationStatus::Kind::recording ||
                                    kind == DictationStatus::Kind::recordingLimitReached ||
                                    kind == DictationStatus::Kind::transcribing;
    return row.indicator;
}

void StatusMenuModel::showCopyResult(bool copied)
{
    texts_.statusLine = copied ? "Status: Transcript copied -- press Ctrl+V" : "Status: No transcript to copy";
}

std::string trayToolTip(std::string_view statusLine)
{
    constexpr std::string_view label = "Status: ";
    if (statusLine.starts_with(label)) {
        statusLine.remove_prefix(label.size());
    }
    return "Korvane — " + std::string(statusLine);
}

void StatusMenuModel::setStatusLine(std::string line)
{
    texts_.statusLine = std::move(line);
}

}  // namespace korvane
