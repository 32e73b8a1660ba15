#include "core/dictation/PasteInstructionLatch.h"

namespace korvane {

bool PasteInstructionLatch::admit(const DictationStatus& status)
{
    switch (status.kind()) {
    case DictationStatus::Kind::copiedToClipboard:
    case DictationStatus::Kind::notDelivered:
        showing_ = true;
        return true;
    case DictationStatus::Kind::downloading:
        return !showing_;
    default:
        showing_ = false;
        return true;
    }
}

}  // namespace korvane
