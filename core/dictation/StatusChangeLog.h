#pragma once

#include "core/dictation/DictationStatus.h"

#include <optional>
#include <string>

namespace korvane {

// Which statuses the debug log records. A download reports each percent it gets further, and
// a line for each buried everything else; its progress is not a change of what Korvane is doing,
// so a download is logged once, when it starts. Every other status is logged as it comes.
class StatusChangeLog {
public:
    // "Status changed: " and the status, or nothing for a download of the model already being
    // downloaded.
    std::optional<std::string> lineFor(const DictationStatus& status);

private:
    std::optional<DictationStatus> last_;
};

}  // namespace korvane
