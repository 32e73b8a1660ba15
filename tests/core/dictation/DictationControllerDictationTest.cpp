// SPDX-License-Identifier: MIT
// A dictation from start to final status: recording, the stop tail, transcription, delivery.
#include "tests/core/dictation/ControllerHarness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Status = DictationStatus;
using State = DictationController::State;

class DictationControllerDictation : public ::testing::Test {
protected:
    DictationControllerDictation() { h.loadInitialModel(); }

    // Start, stop, and let the tail and the transcription run.
    void dictateUntilDelivery()
    {
        h.dictation().start();
        h.dictation().stop();
        h.finishStopTail();
    }

    testing::ControllerHarness h;
};

TEST_F(DictationControllerDictation, PastesTheCleanedTranscriptIntoTheTargetApplication)
{
    h.focusTracker->setLastBundleId("org.gnome.TextEditor");
    h.transcriber->setTranscript(" [BLANK_AUDIO] Cafe\u0301 ok 👍🏽");
    h.cleaner->cleanEverythingTo("Cafe\u0301 ok 👍🏽");

    h.dictation().start();
    EXPECT_EQ(h.dictation().state(), State::recording());
    EXPECT_TRUE(h.recorder->isRecording());
    h.backgroundQueue->runAll();
    EXPECT_THAT(h.accessibility->preparedApps(), ElementsAre("org.gnome.TextEditor"));

    h.dictation().stop();
    EXPECT_EQ(h.dictation().state(), State::transcribing());
    h.mainQueue->advance(0.14);
    EXPECT_TRUE(h.recorder->isRecording()) << "the microphone keeps recording during the stop tail";
    h.mainQueue->advance(0.01);
    EXPECT_FALSE(h.recorder->isRecording());

    h.settle();
    EXPECT_THAT(h.cleaner->inputs(), ElementsAre(" [BLANK_AUDIO] Cafe\u0301 ok 👍🏽"));
    EXPECT_EQ(h.dictation().state(), State::pasting());
    EXPECT_EQ(h.dictation().lastTranscript(), "Cafe\u0301 ok 👍🏽");
    ASSERT_EQ(h.delivery->requests().size(), 1u);
    EXPECT_EQ(h.delivery->requests()[0].text, "Cafe\u0301 ok 👍🏽");
    EXPECT_EQ(h.delivery->requests()[0].targetApp, "org.gnome.TextEditor");

    h.delivery->completeNext(DeliveryOutcome::pasteSent(9));

    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording(), Status::transcribing(), Status::pasteSent(9)));
    EXPECT_EQ(h.dictation().state(), State::modelReady("small"));
    EXPECT_THAT(h.log->lines(), ElementsAre("Target app: org.gnome.TextEditor", "Transcribed 9 characters",
                                            "Paste sent to org.gnome.TextEditor: 9 chars"));
}

TEST_F(DictationControllerDictation, FallbackOutcomesBecomeTheFinalStatus)
{
    struct Case {
        DeliveryOutcome outcome;
        Status status;
        std::string logLine;
    };
    const std::vector<Case> cases = {
        {DeliveryOutcome::pasteSent(11), Status::pasteSent(11), "Paste sent to unknown: 11 chars"},
        {DeliveryOutcome::copiedToClipboard(DeliveryFallbackReason::targetNotFrontmost, 11),
         Status::copiedToClipboard(DeliveryFallbackReason::targetNotFrontmost),
         "Transcript left on clipboard (targetNotFrontmost): 11 chars"},
        {DeliveryOutcome::notDelivered(DeliveryFallbackReason::eventCreationFailed),
         Status::notDelivered(DeliveryFallbackReason::eventCreationFailed),
         "Transcript could not be delivered (eventCreationFailed)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logLine);
        dictateUntilDelivery();
        EXPECT_THAT(h.log->linesStartingWith("Target app: "), ElementsAre("Target app: nil"))
            << "no application was in front when the recording started";
        h.log->clear();
        h.takeStatuses();

        h.delivery->completeNext(c.outcome);

        EXPECT_THAT(h.takeStatuses(), ElementsAre(c.status));
        EXPECT_THAT(h.log->lines(), ElementsAre(c.logLine));
        EXPECT_EQ(h.dictation().state(), State::modelReady("small"));
    }
    EXPECT_EQ(h.delivery->requests().back().targetApp, std::nullopt);
}

TEST_F(DictationControllerDictation, ToggleStartsStopsAndIsIgnoredUntilTheDictationEnds)
{
    h.dictation().toggle();
    EXPECT_EQ(h.dictation().state(), State::modelReady("small")) << "toggle only posts";
    h.mainQueue->runUntilIdle();
    EXPECT_EQ(h.dictation().state(), State::recording());

    h.dictation().toggle();
    h.mainQueue->runUntilIdle();
    EXPECT_EQ(h.dictation().state(), State::transcribing());

    h.dictation().toggle();  // a second press within the stop tail
    h.mainQueue->advance(0.1);
    EXPECT_THAT(h.log->lines(), ElementsAre("Toggle ignored: state=transcribing"));

    h.mainQueue->advance(0.05);
    h.settle();
    h.dictation().toggle();
    h.mainQueue->runUntilIdle();
    EXPECT_EQ(h.log->lines().back(), "Toggle ignored: state=pasting");

    h.delivery->completeNext(DeliveryOutcome::pasteSent(11));
    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording(), Status::transcribing(), Status::pasteSent(11)));
    EXPECT_EQ(h.recorder->startCount(), 1);
}

TEST_F(DictationControllerDictation, HoldModePressWhileBusyAndReleaseWhileIdleDoNothing)
{
    h.dictation().stop();  // release with no recording
    EXPECT_THAT(h.takeStatuses(), IsEmpty());

    h.dictation().start();
    h.dictation().stop();
    h.dictation().start();  // press again while the tail runs
    h.dictation().stop();   // and release
    h.finishStopTail();
    h.dictation().start();  // press while pasting

    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording(), Status::transcribing()));
    EXPECT_EQ(h.recorder->startCount(), 1);
    EXPECT_EQ(h.recorder->stopCount(), 1);
    EXPECT_THAT(h.log->linesStartingWith("Toggle"), IsEmpty());
}

TEST_F(DictationControllerDictation, NothingRecordedEndsWithNoAudioAndNoTranscription)
{
    h.recorder->setSamples({});

    dictateUntilDelivery();

    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording(), Status::transcribing(), Status::error("No audio")));
    EXPECT_THAT(h.transcriber->transcribedSampleCounts(), IsEmpty());
    EXPECT_EQ(h.dictation().state(), State::modelReady("small"));
}

TEST_F(DictationControllerDictation, TranscriptThatCleansToNothingKeepsThePreviousTranscript)
{
    h.delivery->answerImmediately(DeliveryOutcome::pasteSent(11));
    dictateUntilDelivery();
    h.cleaner->cleanEverythingTo("");
    h.takeStatuses();

    dictateUntilDelivery();

    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording(), Status::transcribing(), Status::noSpeech()));
    EXPECT_EQ(h.dictation().lastTranscript(), "hello world");
    EXPECT_EQ(h.delivery->requests().size(), 1u);
    EXPECT_EQ(h.dictation().state(), State::modelReady("small"));
}

TEST_F(DictationControllerDictation, CapReachedWhileRecordingIsShownAndRecordingGoesOn)
{
    h.delivery->answerImmediately(DeliveryOutcome::pasteSent(11));
    h.dictation().start();

    h.recorder->reachCap();

    EXPECT_EQ(h.dictation().state(), State::recording());
    EXPECT_TRUE(h.recorder->isRecording());
    h.dictation().stop();
    h.recorder->reachCap();  // a late cap report during the tail shows nothing
    h.finishStopTail();
    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording(), Status::recordingLimitReached(),
                                              Status::transcribing(), Status::pasteSent(11)));
}

TEST_F(DictationControllerDictation, LostCaptureStopsAndTranscribesWhatWasRecorded)
{
    h.recorder->setSamples(std::vector<float>(320, 0.5f));
    h.dictation().start();

    h.recorder->loseCapture();
    h.recorder->loseCapture();
    h.finishStopTail();

    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording(), Status::transcribing()));
    EXPECT_THAT(h.transcriber->transcribedSampleCounts(), ElementsAre(320u));
    EXPECT_EQ(h.dictation().state(), State::pasting());
}

TEST_F(DictationControllerDictation, MicErrorReturnsToReadyWithoutRecording)
{
    h.recorder->failStartWith("inputUnavailable");

    h.dictation().start();

    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::error("Mic error")));
    EXPECT_THAT(h.log->lines(), ElementsAre("Mic error: inputUnavailable"));
    EXPECT_EQ(h.dictation().state(), State::modelReady("small"));

    h.recorder->failStartWith(std::nullopt);
    h.dictation().start();
    EXPECT_EQ(h.dictation().state(), State::recording()) << "the next attempt may succeed";
}

TEST_F(DictationControllerDictation, TranscriptionOrCleaningFailureEndsWithTranscriptionError)
{
    h.transcriber->failTranscriptionWith("modelNotLoaded");
    dictateUntilDelivery();

    EXPECT_THAT(h.takeStatuses(),
                ElementsAre(Status::recording(), Status::transcribing(), Status::error("Transcription error")));
    EXPECT_THAT(h.log->linesStartingWith("Transcription error: "), ElementsAre("Transcription error: modelNotLoaded"));
    EXPECT_THAT(h.cleaner->inputs(), IsEmpty());
    EXPECT_EQ(h.dictation().state(), State::modelReady("small"));

    h.transcriber->failTranscriptionWith(std::nullopt);
    h.cleaner->failWith("U_REGEX_INTERNAL_ERROR");
    dictateUntilDelivery();
    EXPECT_THAT(h.takeStatuses(),
                ElementsAre(Status::recording(), Status::transcribing(), Status::error("Transcription error")));
    EXPECT_EQ(h.dictation().lastTranscript(), std::nullopt);
}

TEST_F(DictationControllerDictation, LateOrRepeatedDeliveryOutcomesChangeOnlyTheLog)
{
    dictateUntilDelivery();
    auto firstCompletion = h.delivery->lastCompletion();
    h.delivery->completeNext(DeliveryOutcome::pasteSent(11));
    h.takeStatuses();
    h.log->clear();

    firstCompletion(DeliveryOutcome::copiedToClipboard(DeliveryFallbackReason::noAccessibility, 11));
    EXPECT_THAT(h.log->lines(), ElementsAre("Delivery finished after state moved to modelReady(\"small\")"));

    dictateUntilDelivery();  // the next dictation is now with delivery
    firstCompletion(DeliveryOutcome::notDelivered(DeliveryFallbackReason::noAccessibility));
    EXPECT_EQ(h.dictation().state(), State::pasting()) << "an old outcome must not end the current delivery";
    EXPECT_EQ(h.log->lines().back(), "Delivery finished after state moved to pasting");

    h.delivery->completeNext(DeliveryOutcome::pasteSent(11));
    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording(), Status::transcribing(), Status::pasteSent(11)));
}

TEST_F(DictationControllerDictation, DeliveryThatFailsWithoutAnOutcomeDoesNotStrandTheDictation)
{
    h.delivery->failWith("clipboard owner vanished");

    dictateUntilDelivery();

    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording(), Status::transcribing(),
                                              Status::notDelivered(DeliveryFallbackReason::eventCreationFailed)));
    EXPECT_EQ(h.dictation().state(), State::modelReady("small"));
    EXPECT_EQ(h.dictation().lastTranscript(), "hello world") << "still available to Copy Last Transcript";
    EXPECT_EQ(h.log->lines().back(), "Transcript could not be delivered: clipboard owner vanished");
}

TEST_F(DictationControllerDictation, CancelDropsTheDictationAndTheNextOneStillPastes)
{
    struct Case {
        std::string moment;
        std::function<void()> reach;  // from ready to the moment of cancelling
        std::vector<Status> before;   // the statuses up to then
        std::string logLine;
    };
    const std::vector<Case> cases = {
        {"recording", [&] { h.dictation().start(); }, {Status::recording()}, "Dictation cancelled while recording"},
        {"stop tail",
         [&] {
             h.dictation().start();
             h.dictation().stop();
             h.mainQueue->advance(0.1);
         },
         {Status::recording(), Status::transcribing()},
         "Dictation cancelled while transcribing"},
        {"transcription under way",
         [&] {
             h.dictation().start();
             h.dictation().stop();
             h.mainQueue->advance(DictationController::kStopTail);
         },
         {Status::recording(), Status::transcribing()},
         "Dictation cancelled while transcribing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.moment);
        c.reach();

        h.dictation().cancel();

        EXPECT_FALSE(h.recorder->isRecording());
        EXPECT_EQ(h.dictation().state(), State::modelReady("small"));
        h.settle();
        h.mainQueue->advance(1.0);  // whatever was still under way comes back and is dropped
        std::vector<Status> expected = c.before;
        expected.push_back(Status::cancelled());
        EXPECT_THAT(h.takeStatuses(), ::testing::ElementsAreArray(expected));
        EXPECT_THAT(h.delivery->requests(), IsEmpty());
        EXPECT_EQ(h.dictation().lastTranscript(), std::nullopt);
        EXPECT_THAT(h.log->linesStartingWith("Dictation cancelled"), ElementsAre(c.logLine));
        h.log->clear();
    }
    EXPECT_EQ(h.recorder->stopCount(), 3) << "each cancelled recording stops the microphone exactly once";

    h.delivery->answerImmediately(DeliveryOutcome::pasteSent(11));
    dictateUntilDelivery();
    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording(), Status::transcribing(), Status::pasteSent(11)));
}

TEST_F(DictationControllerDictation, TranscriptOfACancelledDictationNeverReachesTheNextOne)
{
    h.dictation().start();
    h.dictation().stop();
    h.mainQueue->advance(DictationController::kStopTail);
    h.dictation().cancel();
    h.backgroundQueue->runAll();  // the cancelled transcription finishes; its result waits on main

    h.transcriber->setTranscript("the second dictation");
    h.cleaner->cleanEverythingTo("the second dictation");
    h.dictation().start();
    h.dictation().stop();
    h.mainQueue->runUntilIdle();  // the old result arrives while the new dictation transcribes
    EXPECT_EQ(h.dictation().state(), State::transcribing());
    h.finishStopTail();

    ASSERT_EQ(h.delivery->requests().size(), 1u);
    EXPECT_EQ(h.delivery->requests()[0].text, "the second dictation");
    EXPECT_THAT(h.log->linesStartingWith("Transcript of a cancelled"),
                ElementsAre("Transcript of a cancelled dictation dropped"));
    h.delivery->completeNext(DeliveryOutcome::pasteSent(20));
    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording(), Status::transcribing(), Status::cancelled(),
                                              Status::recording(), Status::transcribing(), Status::pasteSent(20)));
}

TEST_F(DictationControllerDictation, CancelWhileIdleOrPastingChangesNothing)
{
    h.dictation().cancel();
    EXPECT_THAT(h.takeStatuses(), IsEmpty());
    EXPECT_THAT(h.log->lines(), IsEmpty());

    dictateUntilDelivery();
    h.dictation().cancel();
    EXPECT_EQ(h.log->lines().back(), "Cancel ignored: state=pasting");
    h.delivery->completeNext(DeliveryOutcome::pasteSent(11));
    EXPECT_THAT(h.takeStatuses(), ElementsAre(Status::recording(), Status::transcribing(), Status::pasteSent(11)));
}

}  // namespace
}  // namespace korvane
