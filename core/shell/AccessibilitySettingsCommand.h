#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// The command line that opens the accessibility settings of the desktop named by
// XDG_CURRENT_DESKTOP (a colon-separated list such as "ubuntu:GNOME", matched entry by entry,
// ignoring letter case), or nothing when no settings tool is known for it or the tool is missing.
// `isInstalled(program)` tells whether a program can be started (found on PATH).
std::optional<std::vector<std::string>>
accessibilitySettingsCommand(std::string_view currentDesktop,
                             const std::function<bool(const std::string& program)>& isInstalled);

}  // namespace korvane
