// SPDX-License-Identifier: MIT
// Feeds arbitrary text to the paste-key override reader, as a user's "pasteKeys" entry. A chord it
// accepts names known modifiers and an X keysym name, reads back the same from its own spelling,
// and is what a window of that class then gets; anything else leaves the class's own keys. Any
// breach aborts.

#include "delivery/paste/PasteKeys.h"
#include "tests/fuzz/FuzzChecks.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace {

using korvane::fuzz::require;

bool isKeysymName(std::string_view key)
{
    if (key.empty()) {
        return false;
    }
    for (const char c : key) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') {
            return false;
        }
    }
    return key.size() > 1 || !std::isupper(static_cast<unsigned char>(key.front()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(korvane::fuzz::textOf(data, size));
    const std::optional<std::string> windowClass = std::string("Emacs");
    const auto ownKeys = korvane::pasteKeysFor(windowClass, std::nullopt, {});
    const auto keys = korvane::pasteKeysFor(windowClass, std::nullopt, {{"Emacs", text}});
    const auto chord = korvane::parseKeyChord(text);
    if (!chord) {
        require(keys == ownKeys);
        return 0;
    }
    require(keys.chord == *chord && keys.alsoPrimary == ownKeys.alsoPrimary);
    require(isKeysymName(chord->key));
    const std::string modifiers = korvane::modifierNames(chord->modifiers);
    const auto reread = korvane::parseKeyChord(modifiers.empty() ? chord->key : modifiers + "+" + chord->key);
    require(reread == chord);
    return 0;
}
