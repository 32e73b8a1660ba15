#include "hotkeys/HotkeyManager.h"
#include "base/scheduling/VirtualMainQueue.h"
#include "tests/hotkeys/FakeHotkeyPorts.h"
#include "tests/hotkeys/HotkeyEventPrinting.h"
#include "tests/support/RecordingLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

using M = ChordModifier;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class HotkeyManagerTest : public ::testing::Test {
protected:
    HotkeyManagerTest()
    {
        grabber->setEventHandler(
            [this](const GrabbedKeyEvent& event) { HotkeyManager::handleGrabbedKey(*registry, event); });
    }

    std::shared_ptr<HotkeyManager> make(const HotkeyBinding& binding = HotkeyBinding::fallback())
    {
        return HotkeyManager::create(binding, [this](HotkeyEvent event) { delivered.push_back(event); },
                                     {grabber, registry, queue, log.sink()});
    }

    std::shared_ptr<testing::FakeKeyGrabber> grabber = std::make_shared<testing::FakeKeyGrabber>();
    std::shared_ptr<HotkeyRegistry> registry = std::make_shared<HotkeyRegistry>();
    std::shared_ptr<VirtualMainQueue> queue = std::make_shared<VirtualMainQueue>();
    testing::RecordingLog log;
    std::vector<HotkeyEvent> delivered;
};

TEST_F(HotkeyManagerTest, GrabsTheKeyByPositionAndLogsIdKeyCodeAndMask)
{
    auto manager = make();
    ASSERT_TRUE(manager->start());
    EXPECT_EQ(manager->targetKeyCode(), 49U);
    EXPECT_EQ(manager->targetModifiers(), 4608U);
    ASSERT_EQ(grabber->requests.size(), 1U);
    EXPECT_EQ(grabber->requests[0].hotkeyId, manager->hotkeyId());
    EXPECT_EQ(grabber->requests[0].keysym, static_cast<std::uint32_t>(' '));
    EXPECT_EQ(grabber->requests[0].modifiers, (ChordModifierSet{M::control, M::shift}));

    // A second start lets go of the first grab before taking the key again, under the same id.
    ASSERT_TRUE(manager->start());
    EXPECT_THAT(grabber->freed, ElementsAre(1U));
    manager->stop();
    manager->stop();
    EXPECT_THAT(log.lines(),
                ElementsAre("HotkeyManager init: id=1 keyCode=49 carbonMods=4608",
                            "Carbon hotkey registered: id=1 keyCode=49 mods=4608", "Carbon hotkey unregistered: id=1",
                            "Carbon hotkey registered: id=1 keyCode=49 mods=4608", "Carbon hotkey unregistered: id=1"));
    EXPECT_THAT(grabber->held, IsEmpty());
    EXPECT_EQ(make()->hotkeyId(), 2U);
}

struct KeyReport {
    HotkeyEvent event;
    bool autoRepeat = false;
};

struct PairingCase {
    const char* name;
    std::vector<KeyReport> reports;
    std::vector<HotkeyEvent> delivered;
    std::size_t duplicateLines;
};

TEST_F(HotkeyManagerTest, PassesOnAlternatingPressesAndReleasesOnlyAndLaterFromTheMainQueue)
{
    constexpr auto pressed = HotkeyEvent::pressed;
    constexpr auto released = HotkeyEvent::released;
    const PairingCase cases[] = {
        {"press and release", {{pressed}, {released}}, {pressed, released}, 0},
        {"two presses", {{pressed}, {pressed}, {released}}, {pressed, released}, 1},
        {"release without press", {{released}}, {}, 1},
        {"held key repeating", {{pressed}, {pressed, true}, {pressed, true}, {released}}, {pressed, released}, 0},
        {"second release", {{pressed}, {released}, {released}, {pressed}}, {pressed, released, pressed}, 1},
    };
    for (const PairingCase& pairing : cases) {
        auto manager = make();
        ASSERT_TRUE(manager->start());
        log.clear();
        delivered.clear();
        for (const KeyReport& report : pairing.reports) {
            EXPECT_TRUE(
                HotkeyManager::handleGrabbedKey(*registry, {manager->hotkeyId(), report.event, report.autoRepeat}));
        }
        EXPECT_THAT(delivered, IsEmpty()) << pairing.name << ": the callback must not run inside the key handler";
        queue->runUntilIdle();
        EXPECT_EQ(delivered, pairing.delivered) << pairing.name;
        const std::string id = std::to_string(manager->hotkeyId());
        EXPECT_EQ(log.linesStartingWith("Carbon hotkey duplicate event ignored: id=" + id).size(),
                  pairing.duplicateLines)
            << pairing.name << "\n"
            << log.text();
        if (!pairing.delivered.empty()) {
            EXPECT_EQ(log.lines().front(), "Carbon hotkey pressed: id=" + id) << pairing.name;
        }
    }
}

TEST_F(HotkeyManagerTest, StopWhileHeldReportsNoReleaseAndTheNextStartPairsAfresh)
{
    auto manager = make();
    ASSERT_TRUE(manager->start());
    grabber->send(manager->hotkeyId(), HotkeyEvent::pressed);
    manager->stop();
    ASSERT_TRUE(manager->start());
    grabber->send(manager->hotkeyId(), HotkeyEvent::pressed);
    queue->runUntilIdle();
    EXPECT_THAT(delivered, ElementsAre(HotkeyEvent::pressed, HotkeyEvent::pressed));
}

TEST_F(HotkeyManagerTest, ARefusedGrabFailsTheStartWithItsStatusAndRegistersNothing)
{
    grabber->refuseWith = 10;
    auto manager = make();
    EXPECT_FALSE(manager->start());
    EXPECT_EQ(log.lines().back(), "RegisterEventHotKey failed: 10 -- shortcut may already be in use");
    EXPECT_FALSE(HotkeyManager::handleGrabbedKey(*registry, {manager->hotkeyId(), HotkeyEvent::pressed}));

    // A key code that names no key never reaches the window system.
    grabber->refuseWith = KeyGrabStatus::grabbed;
    grabber->requests.clear();
    auto unknown = make(HotkeyBinding::keyCombo({M::option, M::command}, 52));
    EXPECT_FALSE(unknown->start());
    EXPECT_THAT(grabber->requests, IsEmpty());
    EXPECT_THAT(log.lines(), ::testing::IsSupersetOf({std::string("Key code 52 names no key"),
                                                      std::string("RegisterEventHotKey failed: -1 -- shortcut may "
                                                                  "already be in use")}));
    queue->runUntilIdle();
    EXPECT_THAT(delivered, IsEmpty());
}

TEST_F(HotkeyManagerTest, EventsFindTheirManagerByIdAndADroppedManagerLetsGoOfItsKey)
{
    auto first = make();
    auto second = make(HotkeyBinding::keyCombo({M::option}, 0));
    ASSERT_TRUE(first->start());
    ASSERT_TRUE(second->start());
    grabber->send(second->hotkeyId(), HotkeyEvent::pressed);
    queue->runUntilIdle();
    EXPECT_THAT(delivered, ElementsAre(HotkeyEvent::pressed));

    const std::uint32_t firstId = first->hotkeyId();
    first.reset();  // never stopped by its owner
    EXPECT_EQ(grabber->held, (std::set<std::uint32_t>{second->hotkeyId()}));
    EXPECT_EQ(log.lines().back(), "Carbon hotkey unregistered: id=" + std::to_string(firstId));
    EXPECT_FALSE(HotkeyManager::handleGrabbedKey(*registry, {firstId, HotkeyEvent::pressed}));
    EXPECT_FALSE(HotkeyManager::handleGrabbedKey(*registry, {99, HotkeyEvent::pressed}));
}

TEST_F(HotkeyManagerTest, OnlyKeyCombinationsWithAClassicMaskGetAManager)
{
    EXPECT_TRUE(make(HotkeyBinding::keyCombo({M::command}, 0)));
    EXPECT_FALSE(make(HotkeyBinding::keyCombo({M::function, M::control}, 0)));
    EXPECT_FALSE(make(HotkeyBinding::modifierChord({M::function, M::option})));
    EXPECT_EQ(log.lines().size(), 1U);
}

}  // namespace
}  // namespace korvane
