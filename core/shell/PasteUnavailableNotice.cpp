#include "core/shell/PasteUnavailableNotice.h"

namespace korvane {

std::optional<PasteUnavailableNotice> PasteUnavailableNotices::observe(const DictationStatus& status,
                                                                       const std::string& missing)
{
    if (status.kind() != DictationStatus::Kind::copiedToClipboard ||
        status.reason() != DeliveryFallbackReason::noAccessibility || missing.empty() || missing == announced_) {
        return std::nullopt;
    }
    announced_ = missing;
    return PasteUnavailableNotice{"Paste unavailable", missing +
                                                           " The transcript is on the clipboard: paste it with Ctrl+V. "
                                                           "korvane --self-test says what would let Korvane paste."};
}

}  // namespace korvane
