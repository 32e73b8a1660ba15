#include "core/dictation/StatusPresentation.h"

namespace korvane {

namespace {

constexpr const char* kMicOff = "[mic off]";
constexpr const char* kStartDictation = "Start Dictation";

IndicatorChange hidden()
{
    return {IndicatorChange::Kind::hidden, {}};
}

}  // namespace

std::string hotkeyHint(const std::optional<std::string>& registeredShortcutText)
{
    if (!registeredShortcutText) {
        return {};
    }
    return " — press " + *registeredShortcutText;
}

StatusPresentation presentStatus(const DictationStatus& status, std::string_view hint)
{
    using Kind = DictationStatus::Kind;
    switch (status.kind()) {
    case Kind::loading:
        return {"[loading...]", "Status: Loading " + status.modelName() + " model...", std::nullopt, hidden()};
    case Kind::downloading: {
        const std::string percent = std::to_string(status.percent());
        return {"[downloading " + percent + "%]",
                "Status: Downloading " + status.modelName() + " model... " + percent + "%", std::nullopt, std::nullopt};
    }
    case Kind::ready:
        return {kMicOff, "Status: Ready (" + status.modelName() + ")" + std::string(hint), std::nullopt, hidden()};
    case Kind::pasteSent:
        return {kMicOff, "Status: Paste sent (" + std::to_string(status.characters()) + " chars)", std::nullopt,
                hidden()};
    case Kind::copiedToClipboard:
        return {"[on clipboard]",
                "Status: Transcript copied -- press Ctrl+V (" + std::string(reasonText(status.reason())) + ")",
                kStartDictation,
                IndicatorChange{IndicatorChange::Kind::copiedToClipboard, "Transcript copied — press Ctrl+V"}};
    case Kind::notDelivered:
        return {kMicOff,
                "Status: Clipboard unavailable (" + std::string(reasonText(status.reason())) +
                    ") -- use Copy Last Transcript",
                kStartDictation, IndicatorChange{IndicatorChange::Kind::error, "Use Copy Last Transcript"}};
    case Kind::error:
        return {kMicOff, "Status: " + status.message(), kStartDictation,
                IndicatorChange{IndicatorChange::Kind::error, status.message()}};
    case Kind::recording:
        // The indicator is where the user looks while speaking, so it says when the chosen
        // microphone was missing and the default one listens instead.
        return {"[recording...]", "Status: Recording...", "Stop Dictation",
                IndicatorChange{IndicatorChange::Kind::recording,
                                status.onDefaultInputFallback() ? "Listening (default mic)" : std::string()}};
    case Kind::recordingLimitReached:
        return {"[limit reached]", "Status: Recording limit reached -- stop to transcribe", std::nullopt,
                IndicatorChange{IndicatorChange::Kind::recordingLimitReached, {}}};
    case Kind::transcribing:
        return {"[transcribing...]", "Status: Transcribing...", kStartDictation,
                IndicatorChange{IndicatorChange::Kind::transcribing, {}}};
    case Kind::noSpeech:
        return {kMicOff, "Status: No speech detected", std::nullopt, hidden()};
    case Kind::cancelled:
        // The indicator going away is the answer to the user's Escape; the line says why.
        return {kMicOff, "Status: Dictation cancelled", kStartDictation, hidden()};
    }
    return {kMicOff, "Status: " + toString(status), std::nullopt, std::nullopt};
}

}  // namespace korvane
