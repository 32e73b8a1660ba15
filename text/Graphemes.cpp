#include "text/Graphemes.h"

#include "text/UnicodeText.h"

namespace korvane {

std::size_t graphemeCount(std::string_view utf8)
{
    if (utf8.empty()) {
        return 0;
    }
    return unicode_text::graphemeCount(unicode_text::fromUtf8(utf8));
}

}  // namespace korvane
