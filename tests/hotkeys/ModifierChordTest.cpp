#include "base/scheduling/VirtualMainQueue.h"
#include "hotkeys/ModifierChordBackend.h"
#include "hotkeys/ModifierChordState.h"
#include "tests/hotkeys/FakeHotkeyPorts.h"
#include "tests/hotkeys/HotkeyEventPrinting.h"
#include "tests/support/RecordingLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace korvane {
namespace {

using M = ChordModifier;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr ChordModifierSet kFnOption{M::function, M::option};
constexpr auto kPressed = HotkeyEvent::pressed;
constexpr auto kReleased = HotkeyEvent::released;

struct Step {
    ChordModifierSet held;
    std::optional<HotkeyEvent> expected;
};

struct ChordCase {
    const char* name;
    ChordModifierSet heldAtStart;
    std::vector<Step> steps;
};

TEST(ModifierChordState, FiresOnExactlyTheChordAndReleasesOnAnyOtherSet)
{
    const ChordCase cases[] = {
        {"fn, then option, option up and down again",
         {},
         {{{M::function}, {}}, {kFnOption, kPressed}, {{M::function}, kReleased}, {kFnOption, kPressed}}},
        {"option first, then fn", {}, {{{M::option}, {}}, {kFnOption, kPressed}}},
        {"shift added releases, shift let go presses again",
         {},
         {{kFnOption, kPressed}, {{M::function, M::option, M::shift}, kReleased}, {kFnOption, kPressed}}},
        {"a superset never matches", {}, {{{M::function, M::option, M::command}, {}}, {kFnOption, kPressed}}},
        {"the same set twice reports once", {}, {{kFnOption, kPressed}, {kFnOption, {}}, {{}, kReleased}, {{}, {}}}},
        {"held at start fires only after being let go",
         kFnOption,
         {{kFnOption, {}}, {{M::function}, {}}, {kFnOption, kPressed}}},
    };
    for (const ChordCase& chord : cases) {
        ModifierChordState state(kFnOption, chord.heldAtStart);
        for (std::size_t i = 0; i < chord.steps.size(); ++i) {
            EXPECT_EQ(state.observe(chord.steps[i].held), chord.steps[i].expected) << chord.name << ", step " << i;
        }
    }
}

class ModifierChordBackendTest : public ::testing::Test {
protected:
    std::shared_ptr<ModifierChordBackend> make()
    {
        return ModifierChordBackend::create(kFnOption, [this](HotkeyEvent event) { delivered.push_back(event); },
                                            {keys, [this] { return trusted; }, queue, log.sink()});
    }

    std::shared_ptr<testing::FakeModifierKeys> keys = std::make_shared<testing::FakeModifierKeys>();
    std::shared_ptr<VirtualMainQueue> queue = std::make_shared<VirtualMainQueue>();
    testing::RecordingLog log;
    bool trusted = true;
    std::vector<HotkeyEvent> delivered;
};

TEST_F(ModifierChordBackendTest, StartsOnlyWithThePermissionAndAWatch)
{
    trusted = false;
    auto backend = make();
    EXPECT_FALSE(backend->start());
    trusted = true;
    keys->canWatch = false;
    EXPECT_FALSE(backend->start());
    keys->canWatch = true;
    EXPECT_TRUE(backend->start());
    EXPECT_THAT(log.lines(),
                ElementsAre(R"(ModifierChordBackend init: target=["function", "option"])",
                            "ModifierChordBackend: Accessibility not granted -- cannot observe modifiers globally",
                            "ModifierChordBackend: global monitor could not be installed",
                            R"(ModifierChordBackend started: target=["function", "option"])"));
    backend.reset();
    EXPECT_FALSE(keys->watched());
}

TEST_F(ModifierChordBackendTest, ReportsFromTheMainQueueAndAChordHeldAtStartWaitsForALetGo)
{
    keys->hold(kFnOption);
    auto backend = make();
    ASSERT_TRUE(backend->start());
    keys->change(kFnOption);  // a watch may first report the keys it found down
    queue->runUntilIdle();
    EXPECT_THAT(delivered, IsEmpty());
    keys->change({M::function, M::option, M::shift});
    keys->change(kFnOption);
    EXPECT_THAT(delivered, IsEmpty());
    queue->runUntilIdle();
    EXPECT_THAT(delivered, ElementsAre(kPressed));
    EXPECT_EQ(log.lines().back(), "Modifier chord pressed");
}

TEST_F(ModifierChordBackendTest, TheTimerCatchesAMissedReleaseAndEndsWithThePress)
{
    auto backend = make();
    ASSERT_TRUE(backend->start());
    keys->change(kFnOption);
    queue->advance(1.0);  // still held: the timer keeps looking and finds nothing
    EXPECT_THAT(delivered, ElementsAre(kPressed));
    EXPECT_EQ(queue->pendingCount(), 1U);

    keys->hold({});  // let go without the watch noticing
    queue->advance(0.25);
    EXPECT_THAT(delivered, ElementsAre(kPressed, kReleased));
    EXPECT_THAT(log.lines(), ::testing::Contains("ModifierChordBackend: reconciled a missed release"));
    EXPECT_EQ(queue->pendingCount(), 0U) << "the timer runs only while the chord is held";

    // The next complete press fires as usual.
    keys->change({M::function});
    keys->change(kFnOption);
    queue->runUntilIdle();
    EXPECT_THAT(delivered, ElementsAre(kPressed, kReleased, kPressed));
}

TEST_F(ModifierChordBackendTest, StoppingDuringAPressReportsOneReleaseAndNothingMore)
{
    auto backend = make();
    ASSERT_TRUE(backend->start());
    keys->change(kFnOption);
    backend->stop();
    backend->stop();
    keys->change({});
    queue->advance(1.0);
    EXPECT_THAT(delivered, ElementsAre(kPressed, kReleased));
    EXPECT_EQ(log.linesStartingWith("ModifierChordBackend stopped while chord active -- emitting release").size(), 1U);

    // Restarted with the chord still down: it must be let go once first.
    keys->hold(kFnOption);
    ASSERT_TRUE(backend->start());
    keys->change(kFnOption);
    backend.reset();
    queue->runUntilIdle();
    EXPECT_THAT(delivered, ElementsAre(kPressed, kReleased));
}

TEST_F(ModifierChordBackendTest, ADroppedBackendStillReportsTheReleaseOfAHeldChord)
{
    auto backend = make();
    ASSERT_TRUE(backend->start());
    keys->change(kFnOption);
    backend.reset();
    queue->advance(1.0);
    EXPECT_THAT(delivered, ElementsAre(kPressed, kReleased));
    EXPECT_FALSE(keys->watched());
}

}  // namespace
}  // namespace korvane
