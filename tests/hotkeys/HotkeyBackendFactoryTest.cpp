#include "hotkeys/HotkeyBackendFactory.h"
#include "base/scheduling/VirtualMainQueue.h"
#include "hotkeys/HotkeyManager.h"
#include "hotkeys/ModifierChordBackend.h"
#include "tests/hotkeys/FakeHotkeyPorts.h"
#include "tests/hotkeys/HotkeyEventPrinting.h"
#include "tests/support/RecordingLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace korvane {
namespace {

using M = ChordModifier;

enum class Built { keyCombo, chord, nothing };

struct FactoryCase {
    HotkeyBinding binding;
    Built built;
};

class HotkeyBackendFactoryTest : public ::testing::Test {
protected:
    std::shared_ptr<testing::FakeKeyGrabber> grabber = std::make_shared<testing::FakeKeyGrabber>();
    std::shared_ptr<testing::FakeModifierKeys> keys = std::make_shared<testing::FakeModifierKeys>();
    std::shared_ptr<VirtualMainQueue> queue = std::make_shared<VirtualMainQueue>();
    testing::RecordingLog log;
    HotkeyBackendFactory factory{{grabber, keys, [] { return true; }, nullptr, {}}, queue, log.sink()};
};

TEST_F(HotkeyBackendFactoryTest, GrabsKeyCombinationsWatchesChordsAndRefusesTheRest)
{
    const FactoryCase cases[] = {
        {HotkeyBinding::fallback(), Built::keyCombo},
        {HotkeyBinding::keyCombo({M::command}, 122), Built::keyCombo},
        {HotkeyBinding::modifierChord({M::function, M::option}), Built::chord},
        {HotkeyBinding::modifierChord({M::function, M::control, M::shift}), Built::chord},
        {HotkeyBinding::keyCombo({M::function, M::control}, 49), Built::nothing},
        {HotkeyBinding::keyCombo({}, 49), Built::nothing},
        {HotkeyBinding::modifierChord({M::option, M::shift}), Built::nothing},
        {HotkeyBinding::modifierChord({M::function}), Built::nothing},
    };
    for (const FactoryCase& made : cases) {
        log.clear();
        const auto built = factory.make(made.binding, [](HotkeyEvent) {});
        const auto* manager = dynamic_cast<const HotkeyManager*>(built.get());
        const auto* chord = dynamic_cast<const ModifierChordBackend*>(built.get());
        switch (made.built) {
        case Built::keyCombo:
            ASSERT_NE(manager, nullptr) << made.binding.displayText();
            EXPECT_EQ(manager->targetKeyCode(), *made.binding.keyCode());
            EXPECT_EQ(manager->targetModifiers(), *made.binding.carbonModifierMask());
            break;
        case Built::chord:
            ASSERT_NE(chord, nullptr) << made.binding.displayText();
            EXPECT_EQ(chord->target(), made.binding.modifiers());
            break;
        case Built::nothing:
            EXPECT_EQ(built, nullptr) << made.binding.displayText();
            EXPECT_THAT(log.lines(), ::testing::ElementsAre("Refusing to build backend for invalid binding"));
            break;
        }
    }
}

TEST_F(HotkeyBackendFactoryTest, GrabEventsReachTheManagerThatOwnsTheId)
{
    std::vector<HotkeyEvent> first;
    std::vector<HotkeyEvent> second;
    const auto a = factory.make(HotkeyBinding::fallback(), [&](HotkeyEvent event) { first.push_back(event); });
    const auto b =
        factory.make(HotkeyBinding::keyCombo({M::option}, 0), [&](HotkeyEvent event) { second.push_back(event); });
    ASSERT_TRUE(a->start());
    ASSERT_TRUE(b->start());
    grabber->send(grabber->requests.back().hotkeyId, HotkeyEvent::pressed);
    grabber->send(grabber->requests.back().hotkeyId, HotkeyEvent::released);
    queue->runUntilIdle();
    EXPECT_TRUE(first.empty());
    EXPECT_THAT(second, ::testing::ElementsAre(HotkeyEvent::pressed, HotkeyEvent::released));
}

}  // namespace
}  // namespace korvane
