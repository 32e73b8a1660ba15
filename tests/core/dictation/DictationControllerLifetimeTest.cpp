// SPDX-License-Identifier: MIT
// What happens to deferred work when the controller goes away, and the main-thread rule.
#include "tests/core/dictation/ControllerHarness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Status = DictationStatus;

TEST(DictationControllerLifetime, DeferredTasksOfAReleasedControllerDoNothing)
{
    testing::ControllerHarness h;
    h.loadInitialModel();
    h.focusTracker->setLastBundleId("org.kde.kate");
    int completions = 0;

    h.dictation().start();
    h.dictation().stop();                                                // the stop tail is pending
    h.dictation().toggle();                                              // a queued toggle
    h.dictation().preloadModel("medium", [&](bool) { ++completions; });  // a load not yet begun
    std::weak_ptr<DictationController> weak = h.controller;
    h.controller.reset();
    ASSERT_TRUE(weak.expired()) << "pending tasks must not keep the controller alive";

    h.mainQueue->advance(5.0);
    h.backgroundQueue->runAll();
    h.mainQueue->advance(5.0);

    EXPECT_EQ(h.recorder->stopCount(), 0);
    EXPECT_THAT(h.transcriber->loadRequests(), ElementsAre("small")) << "only the initial load ran";
    EXPECT_THAT(h.accessibility->preparedApps(), IsEmpty());
    EXPECT_EQ(completions, 0);
    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording(), Status::transcribing()));

    h.recorder->reachCap();  // recorder callbacks outliving the controller are harmless
    h.recorder->loseCapture();
}

TEST(DictationControllerLifetime, DeliveryOutcomeAfterReleaseIsIgnored)
{
    testing::ControllerHarness h;
    h.loadInitialModel();
    h.dictation().start();
    h.dictation().stop();
    h.finishStopTail();
    h.takeStatuses();

    h.controller.reset();
    h.delivery->completeNext(DeliveryOutcome::pasteSent(11));

    EXPECT_THAT(h.takeStatuses(), IsEmpty());
}

TEST(DictationControllerLifetime, BackgroundWorkUnderWayFinishesAndReleasesOnTheMainThread)
{
    testing::ControllerHarness h;
    std::weak_ptr<DictationController> weak = h.controller;
    std::vector<bool> completions;
    h.transcriber->setLoadBehaviour([&](const std::string&, const auto&) {
        h.controller.reset();  // the owner lets go while the load runs
        return true;
    });

    h.dictation().preloadModel("small", [&](bool success) { completions.push_back(success); });
    h.backgroundQueue->runAll();

    EXPECT_FALSE(weak.expired()) << "the result on its way to the main thread holds the controller";
    h.mainQueue->runUntilIdle();
    EXPECT_TRUE(weak.expired());
    EXPECT_THAT(completions, ElementsAre(true));
    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::loading("small"), Status::ready("small")));
}

TEST(DictationControllerLifetime, MissingCollaboratorIsRejectedAtCreation)
{
    DictationCollaborators incomplete;
    incomplete.mainQueue = std::make_shared<VirtualMainQueue>();
    EXPECT_THROW(DictationController::create("small", incomplete), std::invalid_argument);
}

TEST(DictationControllerLifetimeDeathTest, MainThreadOperationsAbortElsewhere)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            testing::ControllerHarness h;
            std::thread other([&] { h.dictation().start(); });
            other.join();
        },
        "DictationController::start must run on the main thread");
}

}  // namespace
}  // namespace korvane
