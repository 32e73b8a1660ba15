// SPDX-License-Identifier: MIT
// The hotkey backends against a private Xvfb with openbox: keys pressed through XTest (xdotool),
// a second X client that holds combinations, layout switches with setxkbmap.
#include "hotkeys/HotkeyBackendFactory.h"
#include "platform/linux/QtMainQueue.h"
#include "platform/linux/x11/InputPermission.h"
#include "platform/linux/x11/X11Connection.h"
#include "platform/linux/x11/X11HotkeyBackends.h"
#include "tests/hotkeys/HotkeyEventPrinting.h"
#include "tests/platform/desktop/DesktopFixture.h"
#include "tests/support/RecordingLog.h"
#include "tests/support/desktop/FieldsClient.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

using namespace std::chrono_literals;
using M = ChordModifier;
using ::testing::Contains;
using ::testing::ElementsAre;
using testing::xdotool;

constexpr auto kPressed = HotkeyEvent::pressed;
constexpr auto kReleased = HotkeyEvent::released;

::testing::Environment* const desktop = ::testing::AddGlobalTestEnvironment(new testing::DesktopEnvironment);

// Another client holding one combination until it is destroyed.
class OtherClientGrab {
public:
    explicit OtherClientGrab(const std::vector<std::string>& combination) : process_(command(combination))
    {
        answer_ = process_.readLine(10s).value_or("no answer");
    }
    const std::string& answer() const { return answer_; }

private:
    static std::vector<std::string> command(const std::vector<std::string>& combination)
    {
        std::vector<std::string> arguments{std::string(KORVANE_HOTKEY_GRAB_CLIENT)};
        for (const std::string& part : combination) {
            arguments.push_back(part);
        }
        return arguments;
    }

    testing::ChildProcess process_;
    std::string answer_;
};

class HotkeyIntegrationTest : public ::testing::Test {
protected:
    HotkeyIntegrationTest()
        : connection(X11Connection::open()), permission(connection.get()),
          queue(std::make_shared<QtMainQueue>(QCoreApplication::instance()))
    {
        // As at launch: the permission is checked on the connection before any shortcut exists.
        trusted = permission.isTrusted();
        factory = makeX11HotkeyBackendFactory(*connection, permission, queue, log.sink());
    }

    std::shared_ptr<HotkeyBackend> make(const HotkeyBinding& binding)
    {
        return factory->make(binding, [this](HotkeyEvent event) {
            events.push_back(event);
            allOnMainThread = allOnMainThread && queue->isMainThread();
        });
    }

    // The events so far, once `count` have come and a moment passed in which an extra one would
    // have shown up.
    std::vector<HotkeyEvent> eventsAfter(std::size_t count)
    {
        testing::processEventsUntil([&] { return events.size() >= count; }, 5s);
        settle(200ms);
        return events;
    }

    static void settle(std::chrono::milliseconds time)
    {
        testing::processEventsUntil([] { return false; }, time);
    }

    std::unique_ptr<X11Connection> connection;
    InputPermission permission;
    std::shared_ptr<QtMainQueue> queue;
    testing::RecordingLog log;
    bool trusted = false;
    std::unique_ptr<HotkeyBackendFactory> factory;
    std::vector<HotkeyEvent> events;
    bool allOnMainThread = true;
};

TEST_F(HotkeyIntegrationTest, KeyComboFiresOncePerPressWithLockKeysOnAndWhileHeld)
{
    const auto backend = make(HotkeyBinding::fallback());
    ASSERT_TRUE(backend->start()) << log.text();
    EXPECT_THAT(log.lines(), Contains("Carbon hotkey registered: id=1 keyCode=49 mods=4608"));

    xdotool({"key", "ctrl+shift+space"});
    EXPECT_THAT(eventsAfter(2), ElementsAre(kPressed, kReleased));
    xdotool({"key", "Num_Lock"});
    xdotool({"key", "ctrl+shift+space"});
    EXPECT_THAT(eventsAfter(4), ElementsAre(kPressed, kReleased, kPressed, kReleased)) << "Num Lock on";
    xdotool({"key", "Caps_Lock"});
    xdotool({"key", "ctrl+shift+space"});
    xdotool({"key", "Num_Lock", "Caps_Lock"});
    EXPECT_EQ(eventsAfter(6).size(), 6U) << "Num Lock and Caps Lock on";

    // Held for a second: the keyboard repeats the key many times, the client hears one press.
    events.clear();
    xdotool({"keydown", "ctrl+shift+space"});
    settle(1000ms);
    xdotool({"keyup", "space"});
    xdotool({"keyup", "ctrl+shift"});
    EXPECT_THAT(eventsAfter(2), ElementsAre(kPressed, kReleased));
    EXPECT_TRUE(log.linesStartingWith("Carbon hotkey duplicate").empty()) << log.text();
    EXPECT_TRUE(allOnMainThread);
}

TEST_F(HotkeyIntegrationTest, AfterStopTheKeyReachesTheFocusedWindowAndAnotherClientCanGrabIt)
{
    testing::FieldsClient client(testing::FieldsClient::Toolkit::qt);
    client.activate();
    client.focus("single");
    const auto backend = make(HotkeyBinding::keyCombo({M::shift}, 6));  // ⇧Z
    ASSERT_TRUE(backend->start()) << log.text();

    xdotool({"key", "shift+z"});
    EXPECT_THAT(eventsAfter(2), ElementsAre(kPressed, kReleased));
    EXPECT_EQ(client.text("single"), "");

    backend->stop();
    xdotool({"key", "shift+z"});
    EXPECT_TRUE(testing::processEventsUntil([&] { return client.text("single") == "Z"; })) << client.text("single");
    EXPECT_EQ(events.size(), 2U);
    EXPECT_EQ(OtherClientGrab({"z", "shift"}).answer(), "grabbed");
    EXPECT_EQ(OtherClientGrab({"z", "shift", "lock", "numlock"}).answer(), "grabbed");
}

TEST_F(HotkeyIntegrationTest, ACombinationAnotherClientHoldsFailsTheStartAndLeavesNothingGrabbed)
{
    // The other client holds only the Num Lock variant, so some of our grabs succeed first.
    const OtherClientGrab other({"space", "control", "shift", "numlock"});
    ASSERT_EQ(other.answer(), "grabbed");
    const auto backend = make(HotkeyBinding::fallback());
    EXPECT_FALSE(backend->start());
    EXPECT_THAT(log.lines(), Contains("RegisterEventHotKey failed: 10 -- shortcut may already be in use"));
    EXPECT_EQ(OtherClientGrab({"space", "control", "shift"}).answer(), "grabbed");
    EXPECT_EQ(OtherClientGrab({"space", "control", "shift", "lock"}).answer(), "grabbed");
}

TEST_F(HotkeyIntegrationTest, TheShortcutFollowsItsKeyThroughALayoutSwitch)
{
    ASSERT_TRUE(testing::succeeds({"setxkbmap", "us"}));
    const auto backend = make(HotkeyBinding::keyCombo({M::control, M::shift}, 6));  // ⌃⇧Z
    ASSERT_TRUE(backend->start()) << log.text();
    xdotool({"key", "ctrl+shift+z"});
    EXPECT_THAT(eventsAfter(2), ElementsAre(kPressed, kReleased));

    // On a German layout Z sits where Y is on an American one: another key code.
    ASSERT_TRUE(testing::succeeds({"setxkbmap", "de"}));
    EXPECT_TRUE(testing::processEventsUntil([&] {
        return !log.linesStartingWith("Key grab renewed after a keyboard mapping change: id=1").empty();
    })) << log.text();
    xdotool({"key", "ctrl+shift+z"});
    const std::vector<HotkeyEvent> afterSwitch = eventsAfter(4);
    ASSERT_TRUE(testing::succeeds({"setxkbmap", "us"}));
    EXPECT_THAT(afterSwitch, ElementsAre(kPressed, kReleased, kPressed, kReleased));
}

TEST_F(HotkeyIntegrationTest, SuperAltChordPressesAndReleasesAndIgnoresCapsLock)
{
    ASSERT_TRUE(trusted) << permission.whyUntrusted().value_or("");
    const auto backend = make(HotkeyBinding::modifierChord({M::function, M::option}));
    ASSERT_TRUE(backend->start()) << log.text();

    xdotool({"keydown", "Super_L"});
    xdotool({"keydown", "Alt_L"});    // pressed
    xdotool({"keyup", "Alt_L"});      // released
    xdotool({"keydown", "Alt_L"});    // pressed
    xdotool({"keydown", "Shift_L"});  // released: more than the chord
    xdotool({"keyup", "Shift_L"});    // pressed
    xdotool({"key", "Caps_Lock"});
    xdotool({"key", "a"});
    xdotool({"key", "Caps_Lock"});
    xdotool({"keyup", "Alt_L"});  // released
    xdotool({"keyup", "Super_L"});
    EXPECT_THAT(eventsAfter(6), ElementsAre(kPressed, kReleased, kPressed, kReleased, kPressed, kReleased))
        << log.text();
    EXPECT_TRUE(allOnMainThread);
}

// Menus and password prompts grab the keyboard; the chord still fires, as a shortcut held in a
// menu of another application does on the Mac.
TEST_F(HotkeyIntegrationTest, AChordFiresWhileAnotherClientHoldsTheKeyboard)
{
    const auto backend = make(HotkeyBinding::modifierChord({M::function, M::option}));
    ASSERT_TRUE(backend->start()) << log.text();
    const OtherClientGrab menu({"--keyboard"});
    ASSERT_EQ(menu.answer(), "grabbed");
    xdotool({"keydown", "Super_L", "Alt_L"});
    xdotool({"keyup", "Alt_L"});
    EXPECT_THAT(eventsAfter(2), ElementsAre(kPressed, kReleased));
    xdotool({"keyup", "Super_L"});
}

TEST_F(HotkeyIntegrationTest, AChordHeldAtStartFiresOnlyAfterBeingLetGoOnce)
{
    xdotool({"keydown", "Super_L", "Alt_L"});
    const auto backend = make(HotkeyBinding::modifierChord({M::function, M::option}));
    ASSERT_TRUE(backend->start()) << log.text();
    xdotool({"keyup", "Alt_L"});
    settle(200ms);
    EXPECT_TRUE(events.empty());
    xdotool({"keydown", "Alt_L"});
    xdotool({"keyup", "Alt_L", "Super_L"});
    EXPECT_THAT(eventsAfter(2), ElementsAre(kPressed, kReleased));
}

}  // namespace
}  // namespace korvane
