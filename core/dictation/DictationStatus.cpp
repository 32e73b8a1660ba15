#include "core/dictation/DictationStatus.h"

namespace korvane {

DictationStatus DictationStatus::loading(std::string modelName)
{
    DictationStatus status(Kind::loading);
    status.text_ = std::move(modelName);
    return status;
}

DictationStatus DictationStatus::downloading(std::string modelName, int percent)
{
    DictationStatus status(Kind::downloading);
    status.text_ = std::move(modelName);
    status.percent_ = percent;
    return status;
}

DictationStatus DictationStatus::ready(std::string modelName)
{
    DictationStatus status(Kind::ready);
    status.text_ = std::move(modelName);
    return status;
}

DictationStatus DictationStatus::pasteSent(std::size_t characters)
{
    DictationStatus status(Kind::pasteSent);
    status.characters_ = characters;
    return status;
}

DictationStatus DictationStatus::copiedToClipboard(DeliveryFallbackReason reason)
{
    DictationStatus status(Kind::copiedToClipboard);
    status.reason_ = reason;
    return status;
}

DictationStatus DictationStatus::notDelivered(DeliveryFallbackReason reason)
{
    DictationStatus status(Kind::notDelivered);
    status.reason_ = reason;
    return status;
}

DictationStatus DictationStatus::error(std::string message)
{
    DictationStatus status(Kind::error);
    status.text_ = std::move(message);
    return status;
}

DictationStatus DictationStatus::recording()
{
    return DictationStatus(Kind::recording);
}

DictationStatus DictationStatus::recordingFromDefaultInput()
{
    DictationStatus status(Kind::recording);
    status.defaultInputFallback_ = true;
    return status;
}

DictationStatus DictationStatus::recordingLimitReached()
{
    return DictationStatus(Kind::recordingLimitReached);
}

DictationStatus DictationStatus::transcribing()
{
    return DictationStatus(Kind::transcribing);
}

DictationStatus DictationStatus::noSpeech()
{
    return DictationStatus(Kind::noSpeech);
}

DictationStatus DictationStatus::cancelled()
{
    return DictationStatus(Kind::cancelled);
}

std::string toString(const DictationStatus& status)
{
    auto quoted = [](const std::string& text) { return "\"" + text + "\""; };
    switch (status.kind()) {
    case DictationStatus::Kind::loading:
        return "loading(" + quoted(status.modelName()) + ")";
    case DictationStatus::Kind::downloading:
        return "downloading(" + quoted(status.modelName()) + ", " + std::to_string(status.percent()) + ")";
    case DictationStatus::Kind::ready:
        return "ready(" + quoted(status.modelName()) + ")";
    case DictationStatus::Kind::pasteSent:
        return "pasteSent(" + std::to_string(status.characters()) + ")";
    case DictationStatus::Kind::copiedToClipboard:
        return "copiedToClipboard(" + std::string(caseName(status.reason())) + ")";
    case DictationStatus::Kind::notDelivered:
        return "notDelivered(" + std::string(caseName(status.reason())) + ")";
    case DictationStatus::Kind::error:
        return "error(" + quoted(status.message()) + ")";
    case DictationStatus::Kind::recording:
        return status.onDefaultInputFallback() ? "recording(default mic)" : "recording";
    case DictationStatus::Kind::recordingLimitReached:
        return "recordingLimitReached";
    case DictationStatus::Kind::transcribing:
        return "transcribing";
    case DictationStatus::Kind::noSpeech:
        return "noSpeech";
    case DictationStatus::Kind::cancelled:
        return "cancelled";
    }
    return "unknown";
}

}  // namespace korvane
