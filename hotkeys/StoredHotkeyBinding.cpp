#include "hotkeys/StoredHotkeyBinding.h"

#include "base/json/WholeNumber.h"

#include <nlohmann/json.hpp>

#include <limits>

namespace korvane {

namespace {

constexpr std::string_view kKeyComboName = "keyCombo";
constexpr std::string_view kModifierChordName = "modifierChord";

std::string_view kindName(StoredHotkeyBinding::Kind kind)
{
    return kind == StoredHotkeyBinding::Kind::keyCombo ? kKeyComboName : kModifierChordName;
}

std::optional<StoredHotkeyBinding::Kind> kindFromName(const nlohmann::json& value)
{
    if (!value.is_string()) {
        return std::nullopt;
    }
    const auto& name = value.get_ref<const std::string&>();
    if (name == kKeyComboName) {
        return StoredHotkeyBinding::Kind::keyCombo;
    }
    if (name == kModifierChordName) {
        return StoredHotkeyBinding::Kind::modifierChord;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> StoredHotkeyBinding::encode(const HotkeyBinding& binding)
{
    StoredHotkeyBinding record;
    record.version = kCurrentVersion;
    record.kind = binding.isKeyCombo() ? Kind::keyCombo : Kind::modifierChord;
    record.modifiers = binding.modifiers().sortedRawValues();
    if (const auto keyCode = binding.keyCode()) {
        record.keyCode = static_cast<std::int64_t>(*keyCode);
    }
    try {
        return record.toJson();
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

std::string StoredHotkeyBinding::toJson() const
{
    // ordered_json keeps the members in the order written here.
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    object["version"] = version;
    object["kind"] = kindName(kind);
    object["modifiers"] = modifiers;
    if (keyCode) {
        object["keyCode"] = *keyCode;
    }
    return object.dump();
}

std::optional<StoredHotkeyBinding> StoredHotkeyBinding::decode(std::string_view json)
{
    const nlohmann::json document = nlohmann::json::parse(json, nullptr, /*allow_exceptions=*/false);
    if (!document.is_object()) {
        // Also what a parse error gives (a discarded value).
        return std::nullopt;
    }

    StoredHotkeyBinding record;

    const auto version = document.find("version");
    if (version == document.end()) {
        return std::nullopt;
    }
    const auto versionNumber = wholeNumber(*version);
    if (!versionNumber) {
        return std::nullopt;
    }
    record.version = *versionNumber;

    const auto kind = document.find("kind");
    if (kind == document.end()) {
        return std::nullopt;
    }
    const auto kindValue = kindFromName(*kind);
    if (!kindValue) {
        return std::nullopt;
    }
    record.kind = *kindValue;

    const auto modifiers = document.find("modifiers");
    if (modifiers == document.end() || !modifiers->is_array()) {
        return std::nullopt;
    }
    for (const nlohmann::json& name : *modifiers) {
        if (!name.is_string()) {
            return std::nullopt;
        }
        record.modifiers.push_back(name.get<std::string>());
    }

    const auto keyCode = document.find("keyCode");
    if (keyCode != document.end() && !keyCode->is_null()) {
        const auto keyCodeNumber = wholeNumber(*keyCode);
        if (!keyCodeNumber) {
            return std::nullopt;
        }
        record.keyCode = *keyCodeNumber;
    }
    return record;
}

std::optional<HotkeyBinding> StoredHotkeyBinding::binding() const
{
    if (version > kCurrentVersion) {
        // Written by a newer Korvane whose rules this one does not know.
        return std::nullopt;
    }

    ChordModifierSet set;
    for (const std::string& name : modifiers) {
        const auto modifier = chordModifierFromRawValue(name);
        if (!modifier) {
            return std::nullopt;
        }
        set.insert(*modifier);
    }

    if (kind == Kind::modifierChord) {
        if (set.size() > 1 && set.contains(ChordModifier::function)) {
            return HotkeyBinding::modifierChord(set);
        }
        return std::nullopt;
    }

    if (!keyCode || *keyCode < 0 || *keyCode > std::numeric_limits<std::uint16_t>::max()) {
        return std::nullopt;
    }
    if (set.contains(ChordModifier::function) || set.empty()) {
        return std::nullopt;
    }
    return HotkeyBinding::keyCombo(set, static_cast<std::uint16_t>(*keyCode));
}

}  // namespace korvane
