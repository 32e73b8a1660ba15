#include "delivery/paste/PasteKeys.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace korvane {

namespace {

struct KnownTerminal {
    std::string_view windowClass;  // compared without regard to letter case
    bool pastesPrimary;            // Shift+Insert pastes PRIMARY there, and Ctrl+Shift+V does nothing
};

// Terminal emulators by the window classes they set (instance or class part of WM_CLASS).
constexpr std::array kKnownTerminals{
    KnownTerminal{"xterm", true},
    KnownTerminal{"urxvt", true},
    KnownTerminal{"rxvt", true},
    KnownTerminal{"gnome-terminal", false},
    KnownTerminal{"gnome-terminal-server", false},
    KnownTerminal{"konsole", false},
    KnownTerminal{"xfce4-terminal", false},
    KnownTerminal{"alacritty", false},
    KnownTerminal{"kitty", false},
    KnownTerminal{"org.wezfurlong.wezterm", false},
    KnownTerminal{"wezterm", false},
    KnownTerminal{"tilix", false},
    KnownTerminal{"terminator", false},
    KnownTerminal{"st", false},
    KnownTerminal{"st-256color", false},
    KnownTerminal{"foot", false},
    KnownTerminal{"lxterminal", false},
    KnownTerminal{"mate-terminal", false},
    KnownTerminal{"terminology", false},
    KnownTerminal{"sakura", false},
    KnownTerminal{"guake", false},
    KnownTerminal{"tilda", false},
    KnownTerminal{"qterminal", false},
    KnownTerminal{"kgx", false},
    KnownTerminal{"org.gnome.console", false},
    KnownTerminal{"ptyxis", false},
    KnownTerminal{"org.gnome.ptyxis", false},
    KnownTerminal{"cool-retro-term", false},
    KnownTerminal{"hyper", false},
    KnownTerminal{"termite", false},
    KnownTerminal{"eterm", false},
};

// How the AT-SPI adapter reports a terminal widget (VTE and Konsole's part), whatever its window.
constexpr std::string_view kTerminalSubrole = "AXTerminal";

constexpr std::array<std::pair<std::string_view, KeyModifier>, 5> kModifierNames{{
    {"ctrl", KeyModifier::control},
    {"control", KeyModifier::control},
    {"shift", KeyModifier::shift},
    {"alt", KeyModifier::alt},
    {"super", KeyModifier::super},
}};

std::string lowercased(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view trimmed(std::string_view text)
{
    const auto isSpace = [](unsigned char c) { return std::isspace(c) != 0; };
    while (!text.empty() && isSpace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<KeyModifier> modifierNamed(std::string_view name)
{
    const std::string lower = lowercased(name);
    for (const auto& [modifierName, modifier] : kModifierNames) {
        if (lower == modifierName) {
            return modifier;
        }
    }
    return std::nullopt;
}

const KnownTerminal* knownTerminal(const std::string& windowClass)
{
    const std::string lower = lowercased(windowClass);
    const auto* terminal = std::find_if(kKnownTerminals.begin(), kKnownTerminals.end(),
                                        [&lower](const KnownTerminal& known) { return known.windowClass == lower; });
    return terminal != kKnownTerminals.end() ? terminal : nullptr;
}

// X keysym names are made of ASCII letters, digits and underscores ("v", "Insert", "Page_Up",
// "KP_Enter", "U00E4"); anything else would reach the key synthesizer as a name no keymap holds.
bool isKeysymName(std::string_view name)
{
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    });
}

}  // namespace

PasteKeys pasteKeysFor(const std::optional<std::string>& windowClass, const std::optional<std::string>& focusedSubrole,
                       const std::map<std::string, std::string>& overrides)
{
    const KeyChord terminalPaste{{KeyModifier::control, KeyModifier::shift}, "v"};
    PasteKeys keys;
    if (focusedSubrole == kTerminalSubrole) {
        keys.chord = terminalPaste;
    }
    if (!windowClass) {
        return keys;
    }
    if (const KnownTerminal* terminal = knownTerminal(*windowClass)) {
        keys.alsoPrimary = terminal->pastesPrimary;
        keys.chord = terminal->pastesPrimary ? KeyChord{{KeyModifier::shift}, "Insert"} : terminalPaste;
    }
    if (const auto override = overrides.find(*windowClass); override != overrides.end()) {
        if (std::optional<KeyChord> chord = parseKeyChord(override->second)) {
            keys.chord = std::move(*chord);
        }
    }
    return keys;
}

std::optional<KeyChord> parseKeyChord(std::string_view text)
{
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t plus = text.find('+', start);
        parts.push_back(
            trimmed(text.substr(start, plus == std::string_view::npos ? std::string_view::npos : plus - start)));
        if (plus == std::string_view::npos) {
            break;
        }
        start = plus + 1;
    }
    const std::string_view key = parts.back();
    if (!isKeysymName(key) || modifierNamed(key)) {
        return std::nullopt;
    }
    KeyChord chord;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        const std::optional<KeyModifier> modifier = modifierNamed(parts[i]);
        if (!modifier) {
            return std::nullopt;
        }
        if (std::find(chord.modifiers.begin(), chord.modifiers.end(), *modifier) == chord.modifiers.end()) {
            chord.modifiers.push_back(*modifier);
        }
    }
    chord.key = key.size() == 1 ? lowercased(key) : std::string(key);
    return chord;
}

std::string modifierNames(const std::vector<KeyModifier>& modifiers)
{
    std::string names;
    for (KeyModifier modifier : modifiers) {
        const auto* named = std::find_if(kModifierNames.begin(), kModifierNames.end(),
                                         [modifier](const auto& entry) { return entry.second == modifier; });
        if (!names.empty()) {
            names += '+';
        }
        names += named->first;
    }
    return names;
}

}  // namespace korvane
