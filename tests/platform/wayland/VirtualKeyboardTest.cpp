// SPDX-License-Identifier: MIT
// Paste keys through a wlroots compositor's virtual keyboard: our keymap as xkbcommon reads it, and
// Ctrl+V typed into GTK and Qt windows on a headless sway, which paste what wl-copy offers.
#include "platform/linux/wayland/PasteKeymap.h"
#include "platform/linux/wayland/WaylandVirtualKeyboard.h"
#include "tests/support/RecordingLog.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/wayland/HeadlessSway.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <memory>
#include <thread>

namespace korvane {
namespace {

using namespace std::chrono_literals;
using Toolkit = testing::HeadlessSway::Toolkit;

template <auto release>
struct Release {
    template <typename T>
    void operator()(T* object) const
    {
        release(object);
    }
};

TEST(PasteKeymapTest, EveryKeyTypesItsSymbolAndEveryModifierSetsItsBit)
{
    const std::unique_ptr<xkb_context, Release<xkb_context_unref>> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    const std::unique_ptr<xkb_keymap, Release<xkb_keymap_unref>> keymap(xkb_keymap_new_from_string(
        context.get(), PasteKeymap::text().c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
    ASSERT_TRUE(keymap) << PasteKeymap::text();
    for (const char* name : {"v", "y", "a", "z", "1", "0", "Insert", "Return", "space"}) {
        const std::optional<std::uint32_t> code = PasteKeymap::evdevCode(name);
        ASSERT_TRUE(code) << name;
        const xkb_keysym_t* symbols = nullptr;
        ASSERT_EQ(xkb_keymap_key_get_syms_by_level(keymap.get(), *code + 8, 0, 0, &symbols), 1) << name;
        EXPECT_EQ(symbols[0], xkb_keysym_from_name(name, XKB_KEYSYM_NO_FLAGS)) << name;
    }
    EXPECT_EQ(PasteKeymap::evdevCode("v"), 47U) << "Ctrl+V must come from the key a US keyboard has it on";
    EXPECT_FALSE(PasteKeymap::evdevCode("F13"));
    for (const auto& [modifier, name] :
         {std::pair{KeyModifier::shift, XKB_MOD_NAME_SHIFT}, std::pair{KeyModifier::control, XKB_MOD_NAME_CTRL},
          std::pair{KeyModifier::alt, XKB_MOD_NAME_ALT}, std::pair{KeyModifier::super, XKB_MOD_NAME_LOGO}}) {
        EXPECT_EQ(PasteKeymap::modifierMask({modifier}), 1U << xkb_keymap_mod_get_index(keymap.get(), name)) << name;
    }
}

// A sway with a GTK and a Qt window, and another client owning the clipboard.
class VirtualKeyboardTest : public ::testing::TestWithParam<Toolkit> {
protected:
    // What the field of `client` holds once it stops changing, up to 5 s.
    static std::string fieldText(testing::HeadlessSway::Client& client, const std::string& expected)
    {
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        do {
            client.process->writeLine("text single");
            text = client.process->expectLine("text single", 5s);
            text = text.size() > 12 ? text.substr(12) : "";
            if (text == expected) {
                break;
            }
            std::this_thread::sleep_for(20ms);
        } while (std::chrono::steady_clock::now() < deadline);
        return text;
    }

    testing::HeadlessSway sway;
    testing::ScopedEnvironment display{"WAYLAND_DISPLAY", sway.waylandDisplay()};
    testing::RecordingLog log;
};

TEST_P(VirtualKeyboardTest, CtrlVPastesTheClipboardIntoTheFocusedField)
{
    testing::HeadlessSway::Client client = sway.startClient(GetParam());
    const std::unique_ptr<WaylandVirtualKeyboard> keys = WaylandVirtualKeyboard::create(log.sink());
    ASSERT_TRUE(keys) << log.text();
    testing::ChildProcess owner(
        {"env", "WAYLAND_DISPLAY=" + sway.waylandDisplay(), "wl-copy", "--foreground", "Typed on a virtual keyboard"});
    sway.focus(client.appId);
    client.process->writeLine("focus single");
    client.process->expectLine("focused single", 5s);
    // wl-copy holds the clipboard once the compositor has announced it; it says nothing, so ask.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (sway.runAsUser({"sh", "-c", "wl-paste --no-newline 2>/dev/null || true"}) != "Typed on a virtual keyboard" &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }

    ASSERT_TRUE(keys->sendChord({{KeyModifier::control}, "v"})) << log.text();
    EXPECT_EQ(fieldText(client, "Typed on a virtual keyboard"), "Typed on a virtual keyboard");
    EXPECT_TRUE(keys->releaseModifiers({KeyModifier::control}));
    EXPECT_FALSE(keys->sendChord({{KeyModifier::control}, "F13"})) << "a key the keymap lacks";
}

INSTANTIATE_TEST_SUITE_P(Toolkits, VirtualKeyboardTest, ::testing::Values(Toolkit::gtk, Toolkit::qt),
                         [](const auto& instance) { return instance.param == Toolkit::gtk ? "Gtk" : "Qt"; });

TEST(VirtualKeyboardWithoutCompositorTest, IsNotCreated)
{
    const testing::ScopedEnvironment environment("WAYLAND_DISPLAY", "/nonexistent/wayland-9");
    testing::RecordingLog log;
    EXPECT_EQ(WaylandVirtualKeyboard::create(log.sink()), nullptr);
    EXPECT_THAT(log.lines(), ::testing::ElementsAre(::testing::StartsWith("Wayland: cannot connect")));
}

}  // namespace
}  // namespace korvane
