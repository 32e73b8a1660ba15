// SPDX-License-Identifier: MIT
// The controller with real worker threads: toggles from other threads, background loads and
// transcriptions that report back to the main thread. Run under ThreadSanitizer.
#include "base/scheduling/ThreadPool.h"
#include "base/scheduling/VirtualMainQueue.h"
#include "core/dictation/DictationController.h"
#include "tests/core/dictation/ControllerHarness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <latch>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace korvane {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using Status = DictationStatus;
using State = DictationController::State;

constexpr std::size_t kWorkers = 2;

struct ThreadedSetup {
    ThreadedSetup()
    {
        DictationCollaborators collaborators;
        collaborators.mainQueue = mainQueue;
        collaborators.backgroundQueue = pool;
        collaborators.recorder = recorder;
        collaborators.transcriber = transcriber;
        collaborators.cleaner = cleaner;
        collaborators.focusTracker = focus;
        collaborators.accessibility = accessibility;
        collaborators.delivery = delivery;
        collaborators.log = testing::RecordingLog::sinkFor(log);
        controller = DictationController::create("small", std::move(collaborators));
        controller->setOnStatusChange([this](const DictationStatus& status) {
            statuses.push_back(status);
            statusOnMainThread.push_back(mainQueue->isMainThread());
        });
        delivery->answerImmediately(DeliveryOutcome::pasteSent(11));
    }

    // A worker finishing a task still holds the controller for a moment. Were it the last owner, the
    // controller, and with it the pool, would be destroyed on that worker, which cannot join itself.
    ~ThreadedSetup() { waitUntilWorkersAreIdle(); }
    ThreadedSetup(const ThreadedSetup&) = delete;
    ThreadedSetup& operator=(const ThreadedSetup&) = delete;

    // Serves the main queue until `done` holds; gives up (and fails) after a generous limit so a
    // lost task shows as a failure instead of a hung test run.
    bool serveMainUntil(const std::function<bool()>& done)
    {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done()) {
            if (std::chrono::steady_clock::now() > giveUp) {
                return false;
            }
            mainQueue->runUntilIdle();
            std::this_thread::yield();
        }
        return true;
    }

    // Returns once every worker has finished the task it was running, so everything background work
    // posts to the main queue is there: each worker takes one of kWorkers tasks that only end together.
    void waitUntilWorkersAreIdle()
    {
        const auto allTaken = std::make_shared<std::latch>(kWorkers);
        const auto allDone = std::make_shared<std::latch>(kWorkers);
        for (std::size_t worker = 0; worker < kWorkers; ++worker) {
            pool->post([allTaken, allDone] {
                allTaken->arrive_and_wait();
                allDone->count_down();
            });
        }
        allDone->wait();
    }

    std::shared_ptr<VirtualMainQueue> mainQueue = std::make_shared<VirtualMainQueue>();
    std::shared_ptr<ThreadPool> pool = std::make_shared<ThreadPool>(kWorkers);
    std::shared_ptr<testing::FakeAudioRecorder> recorder = std::make_shared<testing::FakeAudioRecorder>();
    std::shared_ptr<testing::FakeSpeechTranscriber> transcriber = std::make_shared<testing::FakeSpeechTranscriber>();
    std::shared_ptr<testing::FakeTranscriptCleaner> cleaner = std::make_shared<testing::FakeTranscriptCleaner>();
    std::shared_ptr<testing::FakeFocusTracker> focus = std::make_shared<testing::FakeFocusTracker>();
    std::shared_ptr<testing::FakeAccessibilityPreparer> accessibility =
        std::make_shared<testing::FakeAccessibilityPreparer>();
    std::shared_ptr<testing::FakeTranscriptDelivery> delivery = std::make_shared<testing::FakeTranscriptDelivery>();
    std::shared_ptr<testing::RecordingLog> log = std::make_shared<testing::RecordingLog>();
    std::vector<DictationStatus> statuses;
    std::vector<bool> statusOnMainThread;
    std::shared_ptr<DictationController> controller;
};

TEST(DictationControllerThreads, LoadAndDictationOnWorkerThreadsReportInOrderOnTheMainThread)
{
    ThreadedSetup s;
    s.transcriber->setLoadProgress({10, 50, 99, 100});
    s.focus->setLastBundleId("firefox");

    s.controller->preloadModel("small");
    ASSERT_TRUE(s.serveMainUntil([&] { return s.controller->lastReadyModel().has_value(); }));
    s.controller->start();
    s.controller->stop();
    s.mainQueue->advance(DictationController::kStopTail);
    ASSERT_TRUE(s.serveMainUntil([&] { return !s.controller->isBusy(); }));

    EXPECT_THAT(s.statuses, ElementsAre(Status::loading("small"), Status::downloading("small", 10),
                                        Status::downloading("small", 50), Status::downloading("small", 99),
                                        Status::loading("small"), Status::ready("small"), Status::recording(),
                                        Status::transcribing(), Status::pasteSent(11)));
    EXPECT_EQ(s.log->lines().back(), "Paste sent to firefox: 11 chars");
}

TEST(DictationControllerThreads, FailedOrEmptyTranscriptionEndsOnceOnTheMainThread)
{
    struct Case {
        const char* label;
        std::optional<std::string> transcriptionError;
        Status final;
    };
    const std::vector<Case> cases{
        {"transcription fails", "decoder failed", Status::error("Transcription error")},
        {"nothing left after cleaning", std::nullopt, Status::noSpeech()},
    };
    for (const auto& [label, transcriptionError, final] : cases) {
        SCOPED_TRACE(label);
        ThreadedSetup s;
        s.transcriber->failTranscriptionWith(transcriptionError);
        s.cleaner->cleanEverythingTo("");
        s.controller->preloadModel("small");
        ASSERT_TRUE(s.serveMainUntil([&] { return s.controller->lastReadyModel().has_value(); }));
        s.statuses.clear();
        s.statusOnMainThread.clear();

        s.controller->start();
        s.controller->stop();
        s.mainQueue->advance(DictationController::kStopTail);
        ASSERT_TRUE(s.serveMainUntil([&] { return !s.controller->isBusy(); }));
        s.waitUntilWorkersAreIdle();
        s.mainQueue->runUntilIdle();

        EXPECT_THAT(s.statuses, ElementsAre(Status::recording(), Status::transcribing(), final));
        EXPECT_THAT(s.statusOnMainThread, Each(true));
        EXPECT_EQ(s.controller->state(), State::modelReady("small"));
    }
}

TEST(DictationControllerThreads, TogglesFromOtherThreadsAreServedOneByOneOnTheMainThread)
{
    ThreadedSetup s;
    s.controller->preloadModel("small");
    ASSERT_TRUE(s.serveMainUntil([&] { return s.controller->lastReadyModel().has_value(); }));
    s.statuses.clear();

    std::vector<std::thread> pressers;
    for (int i = 0; i < 4; ++i) {
        pressers.emplace_back([&] { s.controller->toggle(); });
    }
    for (auto& presser : pressers) {
        presser.join();
    }
    s.mainQueue->runUntilIdle();

    EXPECT_THAT(s.statuses, ElementsAre(Status::recording(), Status::transcribing()));
    EXPECT_THAT(s.log->linesStartingWith("Toggle ignored: "),
                ElementsAre("Toggle ignored: state=transcribing", "Toggle ignored: state=transcribing"));
    s.mainQueue->advance(DictationController::kStopTail);
    ASSERT_TRUE(s.serveMainUntil([&] { return !s.controller->isBusy(); }));
}

}  // namespace
}  // namespace korvane
