// SPDX-License-Identifier: MIT
// The shortcut as a desktop portal binds it: what Korvane asks for, how the desktop's answers and
// later word reach the coordinator, and presses and releases that always alternate.
#include "hotkeys/PortalShortcutBackend.h"
#include "base/scheduling/VirtualMainQueue.h"
#include "hotkeys/HotkeyBackendFactory.h"
#include "tests/hotkeys/FakeHotkeyPorts.h"
#include "tests/hotkeys/HotkeyEventPrinting.h"
#include "tests/support/RecordingLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korvane {
namespace {

using M = ChordModifier;
using Portal = GlobalShortcutsPortal;
using ::testing::ElementsAre;

class PortalShortcutBackendTest : public ::testing::Test {
public:
    std::shared_ptr<testing::FakeGlobalShortcutsPortal> portal = std::make_shared<testing::FakeGlobalShortcutsPortal>();
    std::shared_ptr<VirtualMainQueue> queue = std::make_shared<VirtualMainQueue>();
    testing::RecordingLog log;
    HotkeyBackendFactory factory{
        {nullptr, nullptr, [] { return true; }, portal,
         [](std::uint32_t keysym) { return keysym == 0x20 ? std::string("space") : std::string(); }},
        queue,
        log.sink()};
    std::vector<HotkeyEvent> events;
    std::vector<HotkeyBackend::Settled> settled;

    std::shared_ptr<HotkeyBackend> started(const HotkeyBinding& binding = HotkeyBinding::fallback())
    {
        auto backend = factory.make(binding, [this](HotkeyEvent event) { events.push_back(event); });
        backend->setSettledObserver([this](const HotkeyBackend::Settled& word) { settled.push_back(word); });
        EXPECT_TRUE(backend->start());
        return backend;
    }

    static Portal::Answer bound(const std::string& trigger)
    {
        return {true, {{"dictation", "Start or stop dictation", trigger}}, ""};
    }
};

TEST_F(PortalShortcutBackendTest, AsksForTheDictationShortcutWithTheStoredKeysAndShowsTheDesktopsChoice)
{
    auto backend = started();
    EXPECT_THAT(portal->binds,
                ElementsAre(Portal::Shortcut{"dictation", "Start or stop dictation", "CTRL+SHIFT+space"}));
    EXPECT_TRUE(settled.empty());
    portal->answer(bound("Ctrl+Shift+Space"));
    ASSERT_EQ(settled.size(), 1u);
    EXPECT_TRUE(settled[0].active);
    EXPECT_EQ(settled[0].trigger, "Ctrl+Shift+Space");
    EXPECT_THAT(log.lines(), ::testing::Contains("Portal shortcut bound: Ctrl+Shift+Space"));

    portal->current.changed({{"dictation", "Start or stop dictation", "Super+D"}});
    ASSERT_EQ(settled.size(), 2u);
    EXPECT_TRUE(settled[1].active);
    EXPECT_EQ(settled[1].trigger, "Super+D");
}

TEST_F(PortalShortcutBackendTest, AModifierOnlyChordCannotBeBound)
{
    EXPECT_EQ(factory.make(HotkeyBinding::modifierChord({M::function, M::option}), [](HotkeyEvent) {}), nullptr);
    EXPECT_THAT(log.lines(),
                ::testing::Contains("A modifier-only shortcut cannot be bound through the desktop portal"));
    EXPECT_EQ(factory.makeBareKey(53, [](HotkeyEvent) {}), nullptr);  // no key grabber here
}

TEST_F(PortalShortcutBackendTest, EachWayOfNotGettingTheShortcutIsSettledWithItsReason)
{
    struct Case {
        const char* what;
        std::function<void(PortalShortcutBackendTest&)> happen;
        const char* reason;
    };
    const Case cases[] = {
        {"refused",
         [](auto& t) {
             t.portal->answer({false, {}, "The desktop refused the shortcut"});
         },
         "The desktop refused the shortcut"},
        {"left out",
         [](auto& t) {
             t.portal->answer({true, {{"other", "", "F1"}}, ""});
         },
         "The desktop did not assign the shortcut"},
        {"unanswered", [](auto& t) { t.queue->advance(PortalShortcutBackend::kAnswerLimit); },
         "The desktop did not answer"},
        {"closed",
         [](auto& t) {
             t.portal->answer(bound("F9"));
             t.portal->current.closed();
         },
         "The desktop ended the shortcut"},
    };
    for (const Case& c : cases) {
        settled.clear();
        auto backend = started();
        c.happen(*this);
        ASSERT_FALSE(settled.empty()) << c.what;
        EXPECT_FALSE(settled.back().active) << c.what;
        EXPECT_EQ(settled.back().reason, c.reason) << c.what;
    }
}

TEST_F(PortalShortcutBackendTest, PressesAndReleasesAlternateAndStopWithTheBackend)
{
    auto backend = started();
    portal->answer(bound("F9"));
    for (const auto& [id, press] : std::vector<std::pair<std::string, bool>>{{"dictation", false},
                                                                             {"other", true},
                                                                             {"dictation", true},
                                                                             {"dictation", true},
                                                                             {"dictation", false},
                                                                             {"dictation", false}}) {
        press ? portal->current.activated(id) : portal->current.deactivated(id);
    }
    EXPECT_TRUE(events.empty());  // delivered later, from the main queue
    queue->runUntilIdle();
    EXPECT_THAT(events, ElementsAre(HotkeyEvent::pressed, HotkeyEvent::released));

    // An answer to an earlier start is stale, and a stopped backend hears nothing.
    auto handlers = portal->current;
    backend->start();
    backend->start();
    const std::size_t settledBefore = settled.size();
    portal->answer(bound("F10"));
    EXPECT_EQ(settled.size(), settledBefore);
    backend->stop();
    EXPECT_EQ(portal->subscriber, 0u);
    handlers.activated("dictation");
    portal->answer(bound("F11"));
    queue->advance(PortalShortcutBackend::kAnswerLimit);
    EXPECT_EQ(events.size(), 2u);
    EXPECT_EQ(settled.size(), settledBefore);
}

}  // namespace
}  // namespace korvane
