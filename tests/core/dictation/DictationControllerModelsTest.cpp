// SPDX-License-Identifier: MIT
// Model loading and deletion through the dictation controller.
#include "tests/core/dictation/ControllerHarness.h"
#include "tests/support/fakes/FakeError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Status = DictationStatus;
using State = DictationController::State;

TEST(DictationControllerModels, StartDuringFirstLoadShowsItsProgressInsteadOfRecording)
{
    testing::ControllerHarness h;
    std::vector<Status> seenWhileLoading;
    h.transcriber->setLoadBehaviour([&](const std::string&, const auto& progress) {
        h.dictation().start();  // no progress reported yet: the percentage is unknown
        progress(37);
        h.mainQueue->runUntilIdle();
        h.dictation().start();
        seenWhileLoading = h.takeStatuses();
        return true;
    });

    EXPECT_TRUE(h.dictation().preloadModel("small"));
    h.settle();

    EXPECT_THAT(seenWhileLoading, ElementsAre(Status::loading("small"), Status::loading("small"),
                                              Status::downloading("small", 37), Status::downloading("small", 37)));
    EXPECT_EQ(h.recorder->startCount(), 0);
    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::ready("small")));
    EXPECT_EQ(h.dictation().state(), State::modelReady("small"));
}

TEST(DictationControllerModels, StartWithNoModelAndNoLoadLoadsTheCurrentModel)
{
    testing::ControllerHarness h("medium");

    h.dictation().start();

    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::loading("medium")));
    EXPECT_EQ(h.dictation().loadingModelName(), "medium");
    EXPECT_EQ(h.recorder->startCount(), 0);
    EXPECT_EQ(h.dictation().state(), State::idle());

    h.settle();
    EXPECT_THAT(h.transcriber->loadRequests(), ElementsAre("medium"));
    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::ready("medium")));
    EXPECT_EQ(h.dictation().lastReadyModel(), "medium");
}

TEST(DictationControllerModels, ProgressOf100MeansLoadingWithNoPercentage)
{
    testing::ControllerHarness h;
    std::optional<int> percentAt99;
    std::optional<int> percentAt100 = -1;
    h.transcriber->setLoadBehaviour([&](const std::string&, const auto& progress) {
        progress(99);
        h.mainQueue->runUntilIdle();
        percentAt99 = h.dictation().downloadPercent();
        progress(100);
        h.mainQueue->runUntilIdle();
        percentAt100 = h.dictation().downloadPercent();
        return true;
    });

    h.dictation().preloadModel("small");
    h.settle();

    EXPECT_EQ(percentAt99, 99);
    EXPECT_EQ(percentAt100, std::nullopt);
    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::loading("small"), Status::downloading("small", 99),
                                              Status::loading("small"), Status::ready("small")));
    EXPECT_EQ(h.dictation().downloadPercent(), std::nullopt);
    EXPECT_EQ(h.dictation().loadingModelName(), std::nullopt);
}

TEST(DictationControllerModels, ProgressArrivingAfterTheLoadEndedIsDropped)
{
    testing::ControllerHarness h;
    std::function<void(int)> keptProgress;
    h.transcriber->setLoadBehaviour([&](const std::string&, const auto& progress) {
        keptProgress = progress;
        return true;
    });
    h.dictation().preloadModel("small");
    h.settle();
    h.takeStatuses();

    keptProgress(50);
    h.settle();

    EXPECT_THAT(h.takeStatuses(), IsEmpty());
    EXPECT_EQ(h.dictation().downloadPercent(), std::nullopt);
}

TEST(DictationControllerModels, LoadFinishingDuringARecordingOnlyShowsAtTheEndOfTheDictation)
{
    testing::ControllerHarness h;
    h.loadInitialModel();
    h.delivery->answerImmediately(DeliveryOutcome::pasteSent(11));
    h.dictation().start();

    EXPECT_TRUE(h.dictation().preloadModel("medium"));
    h.settle();

    EXPECT_EQ(h.dictation().lastReadyModel(), "medium");
    EXPECT_EQ(h.dictation().state(), State::recording());
    h.dictation().stop();
    h.finishStopTail();

    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording(), Status::transcribing(), Status::pasteSent(11)));
    EXPECT_EQ(h.dictation().state(), State::modelReady("medium"));
    EXPECT_EQ(h.dictation().currentModelName(), "medium");
}

TEST(DictationControllerModels, DownloadProgressDuringADictationLeavesItsStatusAlone)
{
    testing::ControllerHarness h;
    h.loadInitialModel();
    h.delivery->answerImmediately(DeliveryOutcome::pasteSent(11));
    std::vector<std::optional<int>> percentsSeen;
    h.transcriber->setLoadBehaviour([&](const std::string&, const auto& progress) {
        progress(30);  // while recording
        h.mainQueue->runUntilIdle();
        percentsSeen.push_back(h.dictation().downloadPercent());
        h.dictation().stop();
        progress(60);  // while transcribing
        progress(100);
        h.mainQueue->runUntilIdle();
        percentsSeen.push_back(h.dictation().downloadPercent());
        return true;
    });
    h.dictation().start();

    h.dictation().preloadModel("medium");
    h.backgroundQueue->runOne();

    EXPECT_THAT(percentsSeen, ElementsAre(30, std::nullopt)) << "the percentage is still kept";
    EXPECT_EQ(h.dictation().state(), State::transcribing());
    h.finishStopTail();
    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording(), Status::transcribing(), Status::pasteSent(11)));
}

TEST(DictationControllerModels, FailedLoadIsReportedWhenIdleAndSilentWhileBusy)
{
    testing::ControllerHarness h;
    h.loadInitialModel();
    const ModelLoadFailure offline{ModelLoadFailure::Cause::noConnection, "huggingface.co"};
    h.transcriber->setLoadFailure(offline);
    std::vector<bool> completions;

    h.dictation().preloadModel("turbo", [&](bool success) { completions.push_back(success); });
    h.settle();

    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::loading("turbo"), Status::error("Failed to load turbo model")));
    EXPECT_EQ(h.dictation().state(), State::modelReady("small"));
    EXPECT_EQ(h.dictation().failedModelName(), "turbo");
    EXPECT_EQ(h.dictation().modelLoadFailure(), offline);
    EXPECT_EQ(h.dictation().lastReadyModel(), "small");
    EXPECT_THAT(completions, ElementsAre(false));

    h.dictation().start();
    h.dictation().preloadModel("base");
    EXPECT_EQ(h.dictation().failedModelName(), std::nullopt) << "a new load clears the earlier failure";
    EXPECT_EQ(h.dictation().modelLoadFailure(), std::nullopt);
    h.settle();
    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording()));
    EXPECT_EQ(h.dictation().failedModelName(), "base");
}

TEST(DictationControllerModels, LoadThatThrowsCountsAsAFailedLoad)
{
    testing::ControllerHarness h;
    h.transcriber->setLoadBehaviour(
        [](const std::string&, const auto&) -> bool { throw testing::FakeError("checksumMismatch(small)"); });

    h.dictation().preloadModel("small");
    h.settle();

    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::loading("small"), Status::error("Failed to load small model")));
    EXPECT_EQ(h.dictation().loadingModelName(), std::nullopt);
    EXPECT_EQ(h.dictation().modelLoadFailure(),
              (ModelLoadFailure{ModelLoadFailure::Cause::other, "checksumMismatch(small)"}));
    EXPECT_THAT(h.log->lines(), ElementsAre("Loading model small failed: checksumMismatch(small)"));
}

TEST(DictationControllerModels, SecondLoadRequestDuringALoadIsRefused)
{
    testing::ControllerHarness h;
    int firstCompletions = 0;
    int secondCompletions = 0;

    EXPECT_TRUE(h.dictation().preloadModel("small", [&](bool) { ++firstCompletions; }));
    EXPECT_FALSE(h.dictation().preloadModel("medium", [&](bool) { ++secondCompletions; }));
    h.settle();

    EXPECT_THAT(h.log->lines(), ElementsAre("Ignoring model load request for medium: already loading small"));
    EXPECT_THAT(h.transcriber->loadRequests(), ElementsAre("small"));
    EXPECT_EQ(firstCompletions, 1);
    EXPECT_EQ(secondCompletions, 0);
    EXPECT_EQ(h.dictation().currentModelName(), "small");
}

TEST(DictationControllerModels, UnknownModelNamesMeanTheDefaultModel)
{
    testing::ControllerHarness h("huge");
    EXPECT_EQ(h.dictation().currentModelName(), "small");

    h.dictation().preloadModel("../../etc/passwd");
    h.settle();

    EXPECT_THAT(h.transcriber->loadRequests(), ElementsAre("small"));
    EXPECT_EQ(h.dictation().lastReadyModel(), "small");
    EXPECT_FALSE(h.dictation().deleteModel("small"));
}

TEST(DictationControllerModels, OfferedModelsReplaceTheBuiltInOnes)
{
    testing::ControllerHarness h("small", ModelNameRule({"tiny-test", "own"}));
    EXPECT_EQ(h.dictation().currentModelName(), "tiny-test");

    h.dictation().preloadModel("own");
    h.settle();
    h.dictation().preloadModel("medium");
    h.settle();

    EXPECT_THAT(h.transcriber->loadRequests(), ElementsAre("own", "tiny-test"));
    EXPECT_EQ(h.dictation().lastReadyModel(), "tiny-test");
}

TEST(DictationControllerModels, DeleteRefusesTheReadyAndTheLoadingModel)
{
    testing::ControllerHarness h;
    h.loadInitialModel();
    h.dictation().preloadModel("medium");

    EXPECT_FALSE(h.dictation().deleteModel("small"));
    EXPECT_FALSE(h.dictation().deleteModel("medium"));
    EXPECT_THAT(h.transcriber->deletedModels(), IsEmpty());
    EXPECT_THAT(h.log->lines(), ElementsAre("Refusing to delete model small: in use or loading",
                                            "Refusing to delete model medium: in use or loading"));

    EXPECT_TRUE(h.dictation().deleteModel("base"));
    EXPECT_THAT(h.transcriber->deletedModels(), ElementsAre("base"));
    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::loading("medium"))) << "deleting emits no status";
}

TEST(DictationControllerModels, FailedDeletionIsLoggedAndReported)
{
    testing::ControllerHarness h;
    h.transcriber->failDeletionWith("Permission denied");

    EXPECT_FALSE(h.dictation().deleteModel("turbo"));
    EXPECT_THAT(h.log->lines(), ElementsAre("Deleting model turbo failed: Permission denied"));
}

}  // namespace
}  // namespace korvane
