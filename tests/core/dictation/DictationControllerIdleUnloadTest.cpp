// SPDX-License-Identifier: MIT
// Freeing the model after idle minutes ("unloadModelAfterMinutes") and loading it again while the
// next dictation records.
#include "tests/core/dictation/ControllerHarness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Status = DictationStatus;
using State = DictationController::State;

constexpr double kMinute = 60.0;

class DictationControllerIdleUnload : public ::testing::Test {
protected:
    explicit DictationControllerIdleUnload(std::optional<std::int64_t> minutes = 10)
    {
        *h.unloadMinutes = minutes;
        h.delivery->answerImmediately(DeliveryOutcome::pasteSent(11));
        h.loadInitialModel();
    }

    void dictate()
    {
        h.dictation().start();
        h.dictation().stop();
        h.finishStopTail();
    }

    // Idles until the model is freed, and forgets what that logged.
    void idleUntilUnloaded()
    {
        h.mainQueue->advance(10 * kMinute);
        ASSERT_EQ(h.transcriber->releaseCount(), 1) << h.log->text();
        h.log->clear();
    }

    testing::ControllerHarness h;
};

TEST_F(DictationControllerIdleUnload, FreesTheModelAfterTheIdleMinutesAndStaysReady)
{
    EXPECT_EQ(h.mainQueue->pendingCount(), 1u) << "one timer while idle";
    h.mainQueue->advance(10 * kMinute - 1);
    EXPECT_EQ(h.transcriber->releaseCount(), 0);
    h.mainQueue->advance(2);
    EXPECT_EQ(h.transcriber->releaseCount(), 1);
    EXPECT_THAT(h.log->lines(), ElementsAre("Model small unloaded after 10 idle minutes"));
    EXPECT_EQ(h.dictation().state(), State::modelReady("small"));
    EXPECT_THAT(h.takeStatuses(), IsEmpty());

    // Unloaded, nothing is left to wake the process.
    EXPECT_EQ(h.mainQueue->pendingCount(), 0u);
    h.mainQueue->advance(24 * 60 * kMinute);
    EXPECT_EQ(h.transcriber->releaseCount(), 1);
}

TEST_F(DictationControllerIdleUnload, ActivityStartsTheIdleMinutesAgainWithOneTimer)
{
    h.mainQueue->advance(9 * kMinute);
    dictate();
    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording(), Status::transcribing(), Status::pasteSent(11)));
    EXPECT_EQ(h.mainQueue->pendingCount(), 1u) << "the pending timer is re-armed, not joined by another";

    h.mainQueue->advance(10 * kMinute - 1);
    EXPECT_EQ(h.transcriber->releaseCount(), 0) << "ten minutes count from the end of the dictation";
    h.mainQueue->advance(2);
    EXPECT_EQ(h.transcriber->releaseCount(), 1);

    // A model load is activity too: the limit counts from its end.
    h.dictation().preloadModel("medium");
    h.settle();
    h.mainQueue->advance(10 * kMinute - 1);
    EXPECT_EQ(h.transcriber->releaseCount(), 1);
    h.mainQueue->advance(2);
    EXPECT_EQ(h.transcriber->releaseCount(), 2);
}

TEST_F(DictationControllerIdleUnload, TimerDueDuringADictationWaitsForItsEnd)
{
    h.mainQueue->advance(10 * kMinute - 1);
    h.dictation().start();
    h.mainQueue->advance(5);
    EXPECT_EQ(h.transcriber->releaseCount(), 0) << "never while recording";
    h.dictation().stop();
    h.finishStopTail();
    h.mainQueue->advance(10 * kMinute - 1);
    EXPECT_EQ(h.transcriber->releaseCount(), 0);
    h.mainQueue->advance(2);
    EXPECT_EQ(h.transcriber->releaseCount(), 1);
}

TEST_F(DictationControllerIdleUnload, StartWhileUnloadedRecordsAtOnceAndTranscribesAfterTheLoad)
{
    idleUntilUnloaded();
    h.dictation().start();
    EXPECT_EQ(h.dictation().state(), State::recording());
    EXPECT_TRUE(h.recorder->isRecording()) << "recording does not wait for the model";
    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording()));

    h.dictation().stop();
    h.mainQueue->advance(DictationController::kStopTail);
    EXPECT_FALSE(h.recorder->isRecording());
    EXPECT_THAT(h.transcriber->transcribedSampleCounts(), IsEmpty()) << "the stop waits for the load";
    EXPECT_EQ(h.dictation().loadingModelName(), "small") << "the reload began with the recording";

    h.settle();
    EXPECT_THAT(h.transcriber->loadRequests(), ElementsAre("small", "small"));
    EXPECT_THAT(h.transcriber->transcribedSampleCounts(), ElementsAre(1600u));
    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::transcribing(), Status::pasteSent(11)));
    EXPECT_EQ(h.dictation().state(), State::modelReady("small"));
    EXPECT_THAT(h.log->linesStartingWith("Waiting for model small"), ElementsAre(::testing::_));

    // Loaded again, the idle count starts over.
    EXPECT_EQ(h.mainQueue->pendingCount(), 1u);
    h.mainQueue->advance(10 * kMinute);
    EXPECT_EQ(h.transcriber->releaseCount(), 2);
}

TEST_F(DictationControllerIdleUnload, FailedReloadEndsTheDictationWithTheLoadError)
{
    struct Case {
        const char* name;
        bool loadBeforeStop;  // the load fails while recording, or after the stop is waiting for it
    };
    for (const Case& c : {Case{"fails while recording", true}, Case{"fails after the stop", false}}) {
        SCOPED_TRACE(c.name);
        testing::ControllerHarness local;
        *local.unloadMinutes = 10;
        local.delivery->answerImmediately(DeliveryOutcome::pasteSent(11));
        local.loadInitialModel();
        local.mainQueue->advance(10 * kMinute);
        ASSERT_EQ(local.transcriber->releaseCount(), 1);
        local.transcriber->setLoadResult(false);

        local.dictation().start();
        if (c.loadBeforeStop) {
            local.settle();
        }
        local.dictation().stop();
        local.finishStopTail();

        EXPECT_THAT(local.takeStatuses(), ElementsAre(Status::recording(), Status::transcribing(),
                                                      Status::error("Failed to load small model")));
        EXPECT_EQ(local.dictation().state(), State::modelReady("small"));
        EXPECT_THAT(local.transcriber->transcribedSampleCounts(), IsEmpty());
        EXPECT_THAT(local.delivery->requests(), IsEmpty());

        // The next dictation tries the load again and succeeds.
        local.transcriber->setLoadResult(true);
        local.dictation().start();
        local.dictation().stop();
        local.finishStopTail();
        EXPECT_THAT(local.takeStatuses(),
                    ElementsAre(Status::recording(), Status::transcribing(), Status::pasteSent(11)));
    }
}

class DictationControllerWithoutIdleUnload : public DictationControllerIdleUnload {
protected:
    DictationControllerWithoutIdleUnload() : DictationControllerIdleUnload(std::nullopt) {}
};

TEST_F(DictationControllerWithoutIdleUnload, NoTimerAndNoDictationWithoutAReadyModel)
{
    EXPECT_EQ(h.mainQueue->pendingCount(), 0u);
    dictate();
    EXPECT_EQ(h.mainQueue->pendingCount(), 0u);
    h.mainQueue->advance(7 * 24 * 60 * kMinute);
    EXPECT_EQ(h.transcriber->releaseCount(), 0);

    // The old rule: with no model ready, a start loads one and records nothing.
    testing::ControllerHarness fresh;
    fresh.dictation().start();
    EXPECT_EQ(fresh.recorder->startCount(), 0);
    EXPECT_THAT(fresh.takeStatuses(), ElementsAre(Status::loading("small")));
}

TEST_F(DictationControllerIdleUnload, SettingRemovedOrShortenedWhileTheTimerRuns)
{
    // Removed: the timer fires, finds no limit, and is not armed again.
    *h.unloadMinutes = std::nullopt;
    h.mainQueue->advance(10 * kMinute);
    EXPECT_EQ(h.transcriber->releaseCount(), 0);
    EXPECT_EQ(h.mainQueue->pendingCount(), 0u);

    // Set again with a longer limit: the next idle spell measures it in full.
    *h.unloadMinutes = 30;
    dictate();
    h.mainQueue->advance(30 * kMinute - 1);
    EXPECT_EQ(h.transcriber->releaseCount(), 0);
    h.mainQueue->advance(2);
    EXPECT_EQ(h.transcriber->releaseCount(), 1);
}

TEST(DictationControllerIdleUnloadRandom, NoTranscriptionEverRunsWithoutItsModelAndEveryDictationEnds)
{
    int dictations = 0;
    for (unsigned seed = 1; seed <= 100; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        testing::ControllerHarness h;
        *h.unloadMinutes = 1;
        h.delivery->answerImmediately(DeliveryOutcome::pasteSent(5));
        int started = 0;
        int ended = 0;
        h.dictation().setOnStatusChange([&](const DictationStatus& status) {
            // The fake recogniser throws when asked to transcribe after a release without a new load.
            EXPECT_NE(status, DictationStatus::error("Transcription error"));
            if (status.kind() == DictationStatus::Kind::transcribing) {
                ++started;
            } else if (status.kind() == DictationStatus::Kind::pasteSent ||
                       (status.kind() == DictationStatus::Kind::error && started > ended)) {
                // An error outside a dictation (a failed load while idle) ends nothing.
                EXPECT_FALSE(h.dictation().isBusy());
                ++ended;
            }
        });
        for (int step = 0; step < 200; ++step) {
            switch (std::uniform_int_distribution<int>(0, 6)(rng)) {
            case 0:
                h.dictation().start();
                break;
            case 1:
                h.dictation().stop();
                break;
            case 2:
                h.backgroundQueue->runOne();
                break;
            case 3:
                h.mainQueue->runUntilIdle();
                break;
            case 4:
                h.mainQueue->advance(std::uniform_int_distribution<int>(1, 90)(rng));
                break;
            case 5:
                h.transcriber->setLoadResult(std::bernoulli_distribution(0.8)(rng));
                break;
            default:
                h.dictation().preloadModel("small");
                break;
            }
        }
        for (int round = 0; round < 5; ++round) {
            h.dictation().stop();
            h.settle();
            h.mainQueue->advance(1.0);
            h.settle();
        }
        EXPECT_FALSE(h.dictation().isBusy());
        EXPECT_EQ(started, ended);
        dictations += started;
    }
    EXPECT_GT(dictations, 100) << "the random runs should exercise many dictations";
}

}  // namespace
}  // namespace korvane
