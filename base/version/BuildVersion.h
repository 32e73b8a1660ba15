#pragma once

#include <string>
#include <string_view>

namespace korvane {

// The version this binary was built as: the project version ("0.1.0").
std::string_view korvaneVersion();

// What identifies the build within that version: KORVANE_BUILD when the build was configured with
// one (a packager's build number), otherwise the source's git commit ("1a2b3c4", with "-dirty" when
// uncommitted changes were built); empty when neither is known.
std::string_view korvaneBuild();

// The About pane's line: "Version " + version + " (" + build + ")", or without the parentheses when
// there is no build; a missing version reads "unknown".
std::string versionText(std::string_view version, std::string_view build);

}  // namespace korvane
