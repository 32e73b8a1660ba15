#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// Lower-cases text with the locale-independent full Unicode mapping, so that names typed in any
// letter case compare equal to the lower-case words they are matched against. Invalid UTF-8 comes
// back with replacement characters and therefore matches none of those words.
std::string lowercasedModifierName(std::string_view text);

// Cleans the list of modifier names kept by the old unversioned settings: each name is matched
// ignoring letter case and rewritten as "ctrl", "shift", "alt" or "cmd"; other names (the
// function key's among them, which those settings could not express) are dropped, as are repeats
// after their first occurrence. An empty result becomes ["ctrl", "shift"], the default shortcut's
// modifiers.
std::vector<std::string> sanitizeLegacyModifierNames(const std::vector<std::string>& names);

}  // namespace korvane
