#include "text/Graphemes.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <memory>

namespace korvane {

std::size_t graphemeCount(std::string_view utf8)
{
    if (utf8.empty()) {
        return 0;
    }
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> breaks(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !breaks) {
        return static_cast<std::size_t>(text.countChar32());
    }
    breaks->setText(text);
    std::size_t count = 0;
    for (int32_t boundary = breaks->next(); boundary != icu::BreakIterator::DONE; boundary = breaks->next()) {
        ++count;
    }
    return count;
}

}  // namespace korvane
