#pragma once

namespace korvane {

// Who asked for a check.
enum class UpdateCheckKind {
    userInitiated,  // "Check Now…": always runs, and its outcome is always shown
    scheduled,      // the once-a-day check: refused while a dictation is busy, silent unless newer
};

}  // namespace korvane
