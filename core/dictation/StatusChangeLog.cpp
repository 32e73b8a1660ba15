#include "core/dictation/StatusChangeLog.h"

namespace korvane {

namespace {

bool continuesDownload(const std::optional<DictationStatus>& last, const DictationStatus& status)
{
    return last && last->kind() == DictationStatus::Kind::downloading &&
           status.kind() == DictationStatus::Kind::downloading && last->modelName() == status.modelName();
}

}  // namespace

std::optional<std::string> StatusChangeLog::lineFor(const DictationStatus& status)
{
    const bool progressOnly = continuesDownload(last_, status);
    last_ = status;
    if (progressOnly) {
        return std::nullopt;
    }
    return "Status changed: " + toString(status);
}

}  // namespace korvane
