#pragma once

#include <string_view>

namespace korvane::ProjectAddresses {

// The project's home page: the About pane's link.
inline constexpr std::string_view homePage = "https://korvane.app/";

// The update feed (see parseUpdateFeed). The "updateFeedURL" setting replaces it, for mirrors and
// for testing a release before it is published.
inline constexpr std::string_view updateFeed = "https://korvane.app/updates/linux.json";

}  // namespace korvane::ProjectAddresses
