// SPDX-License-Identifier: MIT
// The session Korvane finds itself in, the method it picks for each facility there, and how it
// writes the shortcut for a desktop's own configuration.
#include "core/session/CompositorBinding.h"
#include "core/session/PasteKeyChain.h"
#include "core/session/PasteMethods.h"
#include "core/session/SessionFacts.h"
#include "core/session/SessionMethods.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace korvane {
namespace {

using M = ChordModifier;

TEST(SessionFacts, KindDesktopAndXWaylandFromTheEnvironment)
{
    struct Case {
        SessionEnvironment environment;  // type, Wayland display, X display, desktops
        SessionFacts facts;
    };
    const Case cases[] = {
        {{"x11", "", ":0", "XFCE"}, {SessionKind::x11, "XFCE", false}},
        {{"wayland", "wayland-0", ":0", "KDE"}, {SessionKind::wayland, "KDE", true}},
        // sway started from a console: the login still says tty
        {{"tty", "wayland-1", "", "sway"}, {SessionKind::wayland, "sway", false}},
        {{"wayland", "", "", "ubuntu:GNOME"}, {SessionKind::wayland, "GNOME", false}},
        {{"x11", "", ":1", "pop:GNOME"}, {SessionKind::x11, "GNOME", false}},
        {{"", "", ":1", "Custom:Thing"}, {SessionKind::x11, "Custom", false}},
        // an X session's DISPLAY says nothing about XWayland
        {{"x11", "", ":0", "::"}, {SessionKind::x11, "", false}},
        {{"", "", "", ""}, {SessionKind::x11, "", false}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sessionFactsFrom(c.environment), c.facts)
            << c.environment.sessionType << "/" << c.environment.waylandDisplay << "/" << c.environment.currentDesktop;
    }
}

TEST(SessionMethods, EachFacilityTakesTheFirstMethodTheSessionOffers)
{
    struct Case {
        SessionFacts facts;
        SessionOffers offers;
        SessionMethods methods;
        const char* qtPlatform;
        const char* logLine;
    };
    const Case cases[] = {
        {{SessionKind::x11, "XFCE", false},
         {},
         {ShortcutMethod::keyGrab, FocusSource::activeWindow},
         "xcb",
         "Session: x11 (XFCE); shortcut: X11 key grab; focus: X11 active window"},
        // an X session ignores what a portal would offer
        {{SessionKind::x11, "", false},
         {1, true},
         {ShortcutMethod::keyGrab, FocusSource::activeWindow},
         "xcb",
         "Session: x11; shortcut: X11 key grab; focus: X11 active window"},
        {{SessionKind::wayland, "KDE", true},
         {1, false},
         {ShortcutMethod::portal, FocusSource::accessibility},
         "xcb",
         "Session: wayland (KDE), windows on XWayland; shortcut: portal (version 1); focus: AT-SPI"},
        {{SessionKind::wayland, "sway", false},
         {0, true},
         {ShortcutMethod::compositorBinding, FocusSource::foreignToplevel},
         "wayland",
         "Session: wayland (sway), windows on Wayland; shortcut: compositor binding (korvane --toggle); focus: "
         "foreign-toplevel and AT-SPI"},
        {{SessionKind::wayland, "GNOME", true},
         {0, false},
         {ShortcutMethod::compositorBinding, FocusSource::accessibility},
         "xcb",
         "Session: wayland (GNOME), windows on XWayland; shortcut: compositor binding (korvane --toggle); focus: "
         "AT-SPI"},
        {{SessionKind::wayland, "Hyprland", true},
         {2, true},
         {ShortcutMethod::portal, FocusSource::foreignToplevel},
         "xcb",
         "Session: wayland (Hyprland), windows on XWayland; shortcut: portal (version 2); focus: foreign-toplevel "
         "and AT-SPI"},
    };
    for (const Case& c : cases) {
        const SessionMethods methods = chooseSessionMethods(c.facts, c.offers);
        EXPECT_EQ(methods, c.methods) << c.logLine;
        EXPECT_STREQ(qtPlatformFor(c.facts), c.qtPlatform) << c.logLine;
        EXPECT_EQ(sessionLogLine(c.facts, c.offers, methods), c.logLine);
    }
}

TEST(PasteMethods, EachSessionTakesTheFirstWayToSendKeysThatItOffersAndHasNotFailed)
{
    using K = PasteKeyMethod;
    using C = ClipboardMethod;
    const SessionFacts x11{SessionKind::x11, "XFCE", false};
    const SessionFacts kde{SessionKind::wayland, "KDE", true};
    const SessionFacts sway{SessionKind::wayland, "sway", false};
    struct Case {
        const char* what;
        SessionFacts facts;
        PasteOffers offers;  // portal version, refused, virtual keyboard, uinput, data control
        std::vector<K> failed;
        PasteMethods methods;
        const char* missing;  // the start of missingPasteKeys(), "" when a method is there
    };
    const Case cases[] = {
        {"X11", x11, {}, {}, {K::xtest, C::x11Selections}, ""},
        {"X11 whose XTEST failed", x11, {}, {K::xtest}, {K::none, C::x11Selections}, ""},
        {"KDE with the portal", kde, {1, false, false, true, false}, {}, {K::remoteDesktop, C::x11Selections}, ""},
        {"KDE, portal refused", kde, {1, true, false, true, false}, {}, {K::uinput, C::x11Selections}, ""},
        {"XWayland and data control", kde, {1, false, false, false, true}, {}, {K::remoteDesktop, C::dataControl}, ""},
        {"KDE, portal failed this run",
         kde,
         {1, false, false, false, false},
         {K::remoteDesktop},
         {K::none, C::x11Selections},
         "This Wayland session offers no way"},
        {"sway", sway, {0, false, true, true, true}, {}, {K::virtualKeyboard, C::dataControl}, ""},
        {"the portal before a virtual keyboard",
         sway,
         {1, false, true, true, true},
         {},
         {K::remoteDesktop, C::dataControl},
         ""},
        {"sway, virtual keyboard failed",
         sway,
         {0, false, true, true, true},
         {K::virtualKeyboard},
         {K::uinput, C::dataControl},
         ""},
        {"refused and nothing else",
         kde,
         {1, true, false, false, false},
         {},
         {K::none, C::x11Selections},
         "You refused Korvane the desktop's permission"},
        {"nothing at all", sway, {}, {}, {K::none, C::none}, "This Wayland session offers no way"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(choosePasteMethods(c.facts, c.offers, c.failed), c.methods) << c.what;
        const std::string missing = missingPasteKeys(c.facts, c.offers);
        if (c.failed.empty()) {
            EXPECT_EQ(missing.rfind(c.missing, 0), 0u) << c.what << ": " << missing;
            EXPECT_EQ(missing.empty(), std::string(c.missing).empty()) << c.what;
        }
    }
}

TEST(DesktopShortcutText, ThePortalsTriggerSyntax)
{
    struct Case {
        ShortcutKeys keys;
        std::optional<std::string> trigger;
    };
    const Case cases[] = {
        {{{M::control, M::shift}, "space"}, "CTRL+SHIFT+space"},
        {{{M::shift, M::function, M::option}, "F1"}, "LOGO+ALT+SHIFT+F1"},
        {{{}, "F13"}, "F13"},
        {{{M::control, M::command}, "a"}, std::nullopt},  // Meta or Hyper has no name there
        {{{M::control}, ""}, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(xdgShortcutTrigger(c.keys), c.trigger) << c.keys.keyName;
    }
}

TEST(DesktopShortcutText, CompositorLinesRunTheCommandsOfEachMode)
{
    const ShortcutKeys ctrlShiftSpace{{M::control, M::shift}, "space"};
    const ShortcutKeys superF9{{M::function}, "F9"};
    struct Case {
        std::string desktop;
        ShortcutKeys keys;
        HotkeyMode mode;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {"sway", ctrlShiftSpace, HotkeyMode::toggle, "bindsym Ctrl+Shift+space exec korvane --toggle"},
        {"i3", superF9, HotkeyMode::hold,
         "bindsym Mod4+F9 exec korvane --start\nbindsym --release Mod4+F9 exec korvane --stop"},
        {"Hyprland", ctrlShiftSpace, HotkeyMode::toggle, "bind = CTRL SHIFT, space, exec, korvane --toggle"},
        {"Hyprland", superF9, HotkeyMode::hold,
         "bind = SUPER, F9, exec, korvane --start\nbindr = SUPER, F9, exec, korvane --stop"},
        {"sway", {{M::command, M::shift}, "a"}, HotkeyMode::toggle, std::nullopt},
        {"GNOME", ctrlShiftSpace, HotkeyMode::toggle,
         "In your desktop's keyboard settings, add a shortcut that runs: korvane --toggle"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(compositorBindingText(compositorFamilyOf(c.desktop), c.keys, c.mode), c.text) << c.desktop;
    }
    const std::optional<std::string> otherHold =
        compositorBindingText(CompositorFamily::other, ctrlShiftSpace, HotkeyMode::hold);
    ASSERT_TRUE(otherHold);
    EXPECT_NE(otherHold->find("\"korvane --start\" when pressed and \"korvane --stop\" when released"),
              std::string::npos);
}

// Sends chords, or fails them while `works` is false, and counts what it sent.
struct ScriptedKeys final : KeySynthesizer {
    bool works = true;
    int sent = 0;
    std::vector<KeyModifier> heldModifiers() override { return {}; }
    bool releaseModifiers(const std::vector<KeyModifier>&) override { return works; }
    bool sendChord(const KeyChord&) override
    {
        sent += works ? 1 : 0;
        return works;
    }
};

TEST(PasteKeyChain, AFailedMethodPassesTheChordOnAndIsPassedOverUntilProvidedAgain)
{
    std::vector<std::string> log;
    PasteKeyChain chain({SessionKind::wayland, "sway", false}, [&](std::string_view line) { log.emplace_back(line); });
    EXPECT_EQ(chain.current(), PasteKeyMethod::none) << "nothing offered yet";
    ScriptedKeys portal;
    ScriptedKeys keyboard;
    ScriptedKeys uinput;
    chain.setOffers({1, false, true, true, true});
    chain.provide(PasteKeyMethod::virtualKeyboard, &keyboard);
    chain.provide(PasteKeyMethod::uinput, &uinput);
    EXPECT_EQ(chain.current(), PasteKeyMethod::virtualKeyboard) << "the portal offered but not started";
    chain.provide(PasteKeyMethod::remoteDesktop, &portal);
    EXPECT_EQ(chain.current(), PasteKeyMethod::remoteDesktop);
    bool shortcutDown = true;
    chain.setShortcutHeld([&] { return shortcutDown; });
    EXPECT_EQ(chain.heldModifiers().size(), 4U) << "the desktop's shortcut still down";
    shortcutDown = false;
    EXPECT_TRUE(chain.heldModifiers().empty());

    portal.works = false;
    EXPECT_TRUE(chain.sendChord({{KeyModifier::control}, "v"}));
    EXPECT_EQ(keyboard.sent, 1);
    EXPECT_EQ(chain.current(), PasteKeyMethod::virtualKeyboard);
    portal.works = true;
    EXPECT_TRUE(chain.sendChord({{KeyModifier::control}, "v"}));
    EXPECT_EQ(portal.sent, 0) << "a failed method stays passed over";

    keyboard.works = false;
    uinput.works = false;
    EXPECT_FALSE(chain.sendChord({{KeyModifier::control}, "v"}));
    EXPECT_EQ(chain.current(), PasteKeyMethod::none);
    EXPECT_EQ(chain.missing(), "Sending keys failed through every way this session offers (remote desktop portal, "
                               "virtual keyboard, uinput).");
    EXPECT_EQ(log.back(), "Paste keys: sending through the uinput failed; no other way is left");

    chain.provide(PasteKeyMethod::remoteDesktop, &portal);  // the desktop approved again
    EXPECT_TRUE(chain.sendChord({{KeyModifier::control}, "v"}));
    EXPECT_EQ(portal.sent, 1);
    chain.provide(PasteKeyMethod::remoteDesktop, nullptr);
    EXPECT_EQ(chain.current(), PasteKeyMethod::none);
    EXPECT_FALSE(chain.releaseModifiers({KeyModifier::control}));
}

}  // namespace
}  // namespace korvane
