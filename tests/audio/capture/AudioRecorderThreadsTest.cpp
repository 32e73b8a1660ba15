#include "audio/capture/AudioRecorder.h"
#include "base/scheduling/VirtualMainQueue.h"
#include "tests/audio/capture/FakeCaptureEngine.h"
#include "tests/support/RecordingLog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace korvane {
namespace {

using testing::FakeEngineState;

// A capture thread delivers blocks and raises device changes without pause while the main thread
// reads the meter, runs the recoveries and finally stops: everything the recorder shares between the
// two threads is exercised (ThreadSanitizer checks the locking).
TEST(AudioRecorderThreads, CaptureThreadRacesMeterRecoveryAndStop)
{
    VirtualMainQueue queue;
    auto engine = std::make_shared<FakeEngineState>();
    testing::RecordingLog log;
    AudioRecorder recorder(queue, testing::fakeEngineFactory(engine), log.sink());
    std::thread::id capReportedOn;
    recorder.setOnCapReached([&] { capReportedOn = std::this_thread::get_id(); });

    recorder.start();
    std::atomic<bool> running{true};
    std::atomic<int> delivered{0};
    std::thread capture([&] {
        const std::vector<float> block(4096 * 2, 0.5f);
        // Bounded far below the cap (2,000 blocks are about 2.7 million samples), however long the main
        // thread takes to stop.
        while (running.load() && delivered.load() < 2000) {
            // While the main thread rebuilds capture there is no handler and the block is dropped.
            if (engine->deliver(block) && ++delivered % 50 == 0) {
                engine->fireChange();
            }
            // A real engine delivers at the pace of the audio. Without a pause this loop retakes the
            // (unfair) delivery mutex at once and can starve the main thread's rebuild for seconds.
            std::this_thread::yield();
        }
    });

    float loudest = 0.0f;
    while (delivered.load() < 400) {
        loudest = std::max(loudest, recorder.currentLevel());
        queue.runUntilIdle();
    }
    const auto samples = recorder.stop();
    running = false;
    capture.join();
    queue.runUntilIdle();

    EXPECT_NEAR(loudest, 0.9f, 0.01f);  // 0.5 is -6 dBFS
    EXPECT_GT(samples.size(), 100u * 1365u);
    EXPECT_EQ(recorder.currentLevel(), 0.0f);
    EXPECT_EQ(capReportedOn, std::thread::id());
}

TEST(AudioRecorderThreads, CapReachedOnTheCaptureThreadIsReportedOnTheMainThread)
{
    VirtualMainQueue queue;
    auto engine = std::make_shared<FakeEngineState>();
    {
        std::lock_guard lock(engine->mutex);
        engine->format = {16000.0, 1};
    }
    testing::RecordingLog log;
    AudioRecorder recorder(queue, testing::fakeEngineFactory(engine), log.sink());
    std::thread::id reportedOn;
    int reports = 0;
    recorder.setOnCapReached([&] {
        reportedOn = std::this_thread::get_id();
        ++reports;
    });
    recorder.start();

    std::thread capture([&] {
        engine->deliver(std::vector<float>(static_cast<std::size_t>(AudioRecorder::maxSamples), 0.1f));
        engine->deliver(std::vector<float>(64, 0.1f));
        engine->deliver(std::vector<float>(64, 0.1f));
    });
    capture.join();
    queue.runUntilIdle();

    EXPECT_EQ(reports, 1);
    EXPECT_EQ(reportedOn, std::this_thread::get_id());
    EXPECT_EQ(recorder.stop().size(), static_cast<std::size_t>(AudioRecorder::maxSamples));
}

}  // namespace
}  // namespace korvane
