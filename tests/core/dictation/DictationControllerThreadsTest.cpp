// The controller with real worker threads: toggles from other threads, background loads and
// transcriptions that report back to the main thread. Run under ThreadSanitizer.
#include "core/dictation/DictationController.h"
#include "core/scheduling/ThreadPool.h"
#include "core/scheduling/VirtualMainQueue.h"
#include "tests/core/dictation/ControllerHarness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using Status = DictationStatus;

struct ThreadedSetup {
    ThreadedSetup()
    {
        DictationCollaborators collaborators{mainQueue,     pool,     recorder,
                                             transcriber,   cleaner,  focus,
                                             accessibility, delivery, testing::RecordingLog::sinkFor(log)};
        controller = DictationController::create("small", std::move(collaborators));
        controller->setOnStatusChange([this](const DictationStatus& status) { statuses.push_back(status); });
        delivery->answerImmediately(DeliveryOutcome::pasteSent(11));
    }

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

    std::shared_ptr<VirtualMainQueue> mainQueue = std::make_shared<VirtualMainQueue>();
    std::shared_ptr<ThreadPool> pool = std::make_shared<ThreadPool>(2);
    std::shared_ptr<testing::FakeAudioRecorder> recorder = std::make_shared<testing::FakeAudioRecorder>();
    std::shared_ptr<testing::FakeSpeechTranscriber> transcriber = std::make_shared<testing::FakeSpeechTranscriber>();
    std::shared_ptr<testing::FakeTranscriptCleaner> cleaner = std::make_shared<testing::FakeTranscriptCleaner>();
    std::shared_ptr<testing::FakeFocusTracker> focus = std::make_shared<testing::FakeFocusTracker>();
    std::shared_ptr<testing::FakeAccessibilityPreparer> accessibility =
        std::make_shared<testing::FakeAccessibilityPreparer>();
    std::shared_ptr<testing::FakeTranscriptDelivery> delivery = std::make_shared<testing::FakeTranscriptDelivery>();
    std::shared_ptr<testing::RecordingLog> log = std::make_shared<testing::RecordingLog>();
    std::vector<DictationStatus> statuses;
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
