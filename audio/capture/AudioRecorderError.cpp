#include "audio/capture/AudioRecorderError.h"

namespace korvane {

std::string AudioRecorderError::description() const
{
    switch (kind_) {
    case Kind::converterCreationFailed:
        return "Could not create audio format converter";
    }
    return what();
}

const char* AudioRecorderError::what() const noexcept
{
    switch (kind_) {
    case Kind::converterCreationFailed:
        return "converterCreationFailed";
    }
    return "unknown";
}

std::string audioErrorDescription(const std::exception& error)
{
    if (const auto* recorderError = dynamic_cast<const AudioRecorderError*>(&error)) {
        return recorderError->description();
    }
    return error.what();
}

}  // namespace korvane
