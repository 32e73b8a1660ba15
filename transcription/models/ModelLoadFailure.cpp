#include "transcription/models/ModelLoadFailure.h"

namespace korvane {

std::string plainReason(const ModelLoadFailure& failure)
{
    using Cause = ModelLoadFailure::Cause;
    switch (failure.cause) {
    case Cause::noConnection:
        return "No internet connection: could not reach " + failure.detail;
    case Cause::diskFull:
        return "Not enough disk space";
    case Cause::damaged:
        return "The download was damaged";
    case Cause::downloadFailed:
        return "The download failed: " + failure.detail;
    case Cause::unloadable:
        return "The model file could not be loaded";
    case Cause::other:
        break;
    }
    return failure.detail.empty() ? std::string("The model could not be prepared")
                                  : "The model could not be prepared: " + failure.detail;
}

}  // namespace korvane
