// SPDX-License-Identifier: MIT
// Shortcuts as the user reads them: PC key names joined by "+", while the glyph form stays
// HotkeyBinding::displayText's.
#include "hotkeys/ShortcutLabel.h"
#include "hotkeys/KeyPositionTable.h"
#include "hotkeys/KeysymNames.h"

// Only X's keysym numbers, to check ours against.
#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace korvane {
namespace {

using M = ChordModifier;

TEST(ShortcutLabel, ModifiersInDesktopOrderThenTheKey)
{
    struct Case {
        HotkeyBinding binding;
        const char* label;
        const char* glyphs;  // unchanged, for the log and the stored value
    };
    const Case cases[] = {
        {HotkeyBinding::fallback(), "Ctrl+Shift+Space", "⌃⇧Space"},
        {HotkeyBinding::modifierChord({M::option, M::function}), "Alt+Super", "🌐⌥"},
        {HotkeyBinding::modifierChord({M::command, M::shift, M::function, M::option, M::control}),
         "Ctrl+Alt+Shift+Super+Meta", "🌐⌃⌥⇧⌘"},
        {HotkeyBinding::keyCombo({M::command, M::option}, 0), "Alt+Meta+A", "⌥⌘A"},
        {HotkeyBinding::keyCombo({M::control}, 51), "Ctrl+Backspace", "⌃Delete"},
        {HotkeyBinding::keyCombo({M::control}, 117), "Ctrl+Delete", "⌃ForwardDelete"},
        {HotkeyBinding::keyCombo({M::control}, 10), "Ctrl+<", "⌃Section"},
        {HotkeyBinding::keyCombo({M::shift}, 122), "Shift+F1", "⇧F1"},
        {HotkeyBinding::keyCombo({M::shift}, 89), "Shift+Keypad 7", "⇧Key89"},
        {HotkeyBinding::keyCombo({M::shift}, 90), "Shift+F20", "⇧Key90"},
        {HotkeyBinding::keyCombo({M::shift}, 114), "Shift+Insert", "⇧Key114"},
        {HotkeyBinding::keyCombo({M::control}, *KeyPositionTable::keyCode(XK_Print)), "Ctrl+Print", "⌃Key609"},
        {HotkeyBinding::keyCombo({M::control}, *KeyPositionTable::keyCode(XK_adiaeresis)), "Ctrl+Ä", "⌃Key484"},
        {HotkeyBinding::keyCombo({M::option}, 52), "Alt+Key52", "⌥Key52"},
        {HotkeyBinding::keyCombo({}, 49), "Space", "Space"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shortcutLabel(c.binding), c.label) << c.glyphs;
        EXPECT_EQ(c.binding.displayText(), c.glyphs);
    }
    EXPECT_EQ(shortcutLabel(ChordModifierSet{M::shift, M::control}), "Ctrl+Shift");
    EXPECT_EQ(shortcutLabel(ChordModifierSet{}), "");
}

TEST(ShortcutLabel, KeysOutsideThePositionTableAreNamedByTheirKeysym)
{
    struct Case {
        std::uint32_t keysym;
        std::optional<std::string> name;
    };
    const Case cases[] = {
        {XK_a, "A"},
        {XK_ampersand, "&"},
        {XK_ssharp, "ß"},
        {XK_odiaeresis, "Ö"},
        {XK_division, "÷"},
        {XK_F35, "F35"},
        {XK_KP_0, "Keypad 0"},
        {XK_KP_Home, "Keypad Home"},
        {XK_KP_Separator, "Keypad ,"},
        {XK_Pause, "Pause"},
        {XK_Menu, "Menu"},
        {XK_dead_acute, "Dead Acute"},
        {XF86XK_AudioRaiseVolume, "Volume Up"},
        {XF86XK_Calculator, "Calculator"},
        {XF86XK_AudioMicMute, "Mic Mute"},
        {0x01000000 + 0x20ac, "€"},  // a Unicode keysym
        {0x01000000 + 0xd800, std::nullopt},
        {XK_nobreakspace, std::nullopt},
        {XK_Cyrillic_a, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(keysymName(c.keysym), c.name) << std::hex << c.keysym;
    }
}

}  // namespace
}  // namespace korvane
