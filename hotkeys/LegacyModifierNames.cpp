#include "hotkeys/LegacyModifierNames.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstdint>

namespace korvane {

std::string lowercasedModifierName(std::string_view text)
{
    if (text.size() > static_cast<std::size_t>(INT32_MAX)) {
        // Far longer than any modifier name; ICU cannot take it and it could never match.
        return {};
    }
    icu::UnicodeString unicode =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    unicode.toLower(icu::Locale::getRoot());
    std::string lowered;
    unicode.toUTF8String(lowered);
    return lowered;
}

std::vector<std::string> sanitizeLegacyModifierNames(const std::vector<std::string>& names)
{
    std::vector<std::string> cleaned;
    for (const std::string& name : names) {
        const std::string lowered = lowercasedModifierName(name);
        std::string canonical;
        if (lowered == "ctrl" || lowered == "control") {
            canonical = "ctrl";
        } else if (lowered == "shift") {
            canonical = "shift";
        } else if (lowered == "alt" || lowered == "option") {
            canonical = "alt";
        } else if (lowered == "cmd" || lowered == "command") {
            canonical = "cmd";
        } else {
            continue;
        }
        if (std::find(cleaned.begin(), cleaned.end(), canonical) == cleaned.end()) {
            cleaned.push_back(std::move(canonical));
        }
    }
    if (cleaned.empty()) {
        return {"ctrl", "shift"};
    }
    return cleaned;
}

}  // namespace korvane
