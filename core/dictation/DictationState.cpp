#include "core/dictation/DictationState.h"

namespace korvane {

std::string toString(const DictationState& state)
{
    switch (state.kind()) {
    case DictationState::Kind::modelReady:
        return "modelReady(\"" + state.modelName() + "\")";
    case DictationState::Kind::idle:
        return "idle";
    case DictationState::Kind::recording:
        return "recording";
    case DictationState::Kind::transcribing:
        return "transcribing";
    case DictationState::Kind::pasting:
        return "pasting";
    }
    return "idle";
}

}  // namespace korvane
