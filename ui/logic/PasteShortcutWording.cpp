#include "ui/logic/PasteShortcutWording.h"

#include <array>
#include <string_view>

namespace korvane {

std::string withLocalPasteShortcut(std::string text)
{
    constexpr std::array<std::string_view, 2> kForeignPhrases = {"press Cmd+V", "press ⌘V"};
    constexpr std::string_view kLocalPhrase = "press Ctrl+V";
    for (const std::string_view phrase : kForeignPhrases) {
        for (auto at = text.find(phrase); at != std::string::npos; at = text.find(phrase, at + kLocalPhrase.size())) {
            text.replace(at, phrase.size(), kLocalPhrase);
        }
    }
    return text;
}

}  // namespace korvane
