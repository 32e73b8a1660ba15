#include "core/shell/ModelFailureNotices.h"

namespace korvane {

std::optional<ModelFailureNotice> ModelFailureNotices::observe(const DictationStatus& status,
                                                               const std::optional<std::string>& failedModelName,
                                                               const std::optional<ModelLoadFailure>& failure)
{
    if (status.kind() == DictationStatus::Kind::ready) {
        announced_.reset();
        return std::nullopt;
    }
    if (!failure || !failedModelName || failure == announced_) {
        return std::nullopt;
    }
    announced_ = failure;
    return ModelFailureNotice{"Failed to load " + *failedModelName + " model", plainReason(*failure)};
}

}  // namespace korvane
