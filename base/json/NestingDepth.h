#pragma once

#include <cstddef>
#include <string_view>

namespace korvane {

// How deeply the arrays and objects in JSON text nest: 0 for a bare value, 1 for {"a": 1}, 2 for
// {"a": [1]}. Brackets inside strings do not count. Only the brackets are looked at, so text that
// does not parse still gets an answer; a document may then be refused before a recursive reader or
// writer ever sees it.
std::size_t jsonNestingDepth(std::string_view text);

}  // namespace korvane
