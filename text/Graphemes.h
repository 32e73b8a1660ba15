#pragma once

#include <cstddef>
#include <string_view>

namespace korvane {

// Number of user-perceived characters (extended grapheme clusters) in UTF-8 text. Invalid byte
// sequences count as one character each (they are shown as replacement characters).
std::size_t graphemeCount(std::string_view utf8);

}  // namespace korvane
