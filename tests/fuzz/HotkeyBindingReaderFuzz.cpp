// SPDX-License-Identifier: MIT
// Feeds arbitrary text to the stored shortcut reader and the legacy-settings conversion. The
// reader must either refuse the text or give a record that writes and reads back unchanged; a
// binding it accepts must be valid and survive its own encoding. Any breach aborts.

#include "hotkeys/LegacyModifierNames.h"
#include "hotkeys/StoredHotkeyBinding.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

void checkReader(std::string_view text)
{
    const auto record = korvane::StoredHotkeyBinding::decode(text);
    if (!record) {
        return;
    }
    const auto reread = korvane::StoredHotkeyBinding::decode(record->toJson());
    require(reread == record);

    const auto binding = record->binding();
    if (!binding) {
        return;
    }
    require(binding->isValid());
    require(!binding->displayText().empty());
    const auto encoded = korvane::StoredHotkeyBinding::encode(*binding);
    require(encoded.has_value());
    const auto again = korvane::StoredHotkeyBinding::decode(*encoded);
    require(again.has_value() && again->binding() == binding);
}

// The same bytes read as a list of old modifier names, one per line.
void checkLegacyConversion(std::string_view text, std::uint16_t keyCode)
{
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        names.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    const std::vector<std::string> cleaned = korvane::sanitizeLegacyModifierNames(names);
    require(!cleaned.empty() && cleaned.size() <= 4);
    for (const std::string& name : cleaned) {
        require(name == "ctrl" || name == "shift" || name == "alt" || name == "cmd");
    }
    require(korvane::HotkeyBinding::migrating(names, keyCode).isValid());
    require(korvane::HotkeyBinding::migrating(cleaned, keyCode).isValid());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkReader(text);
    const auto keyCode = static_cast<std::uint16_t>(size >= 2 ? (data[0] << 8) | data[1] : size);
    checkLegacyConversion(text, keyCode);
    return 0;
}
