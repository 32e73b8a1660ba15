#include "audio/capture/AudioRecorder.h"
#include "audio/capture/AudioRecorderError.h"
#include "base/scheduling/VirtualMainQueue.h"
#include "tests/audio/capture/FakeCaptureEngine.h"
#include "tests/support/RecordingLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using testing::FakeEngineState;
using ::testing::IsEmpty;
using testing::RecordingLog;

constexpr auto kCap = static_cast<std::size_t>(AudioRecorder::maxSamples);

class AudioRecorderTest : public ::testing::Test {
protected:
    AudioRecorderTest()
    {
        recorder->setOnCapReached([this] { ++capReports; });
        recorder->setOnCaptureLost([this] { ++captureLosses; });
    }

    void useFormat(CaptureFormat format)
    {
        std::lock_guard lock(engine->mutex);
        engine->format = format;
    }

    // Starts a recording and forgets what starting it logged and asked.
    void startQuietly()
    {
        recorder->start();
        log.take();
        engine->takeCalls();
    }

    VirtualMainQueue queue;
    std::shared_ptr<FakeEngineState> engine = std::make_shared<FakeEngineState>();
    RecordingLog log;
    std::unique_ptr<AudioRecorder> recorder =
        std::make_unique<AudioRecorder>(queue, testing::fakeEngineFactory(engine), log.sink());
    int capReports = 0;
    int captureLosses = 0;
};

TEST_F(AudioRecorderTest, StartReadsTheInputFormatBuildsAConverterAndCaptures)
{
    recorder->start();

    EXPECT_THAT(engine->takeCalls(), ElementsAre("inputFormat", "startCapture 48000.0Hz/2ch"));
    EXPECT_THAT(log.take(), ElementsAre("Audio hardware format: 2ch, 48000.0Hz",
                                        "AVAudioConverter built: 48000.0Hz/2ch -> 16000Hz/1ch", "Recording started"));
    EXPECT_EQ(recorder->currentLevel(), 0.0f);
}

TEST_F(AudioRecorderTest, StartWhileRecordingKeepsTheRecordingGoing)
{
    useFormat({16000.0, 1});
    startQuietly();
    engine->deliver(std::vector<float>(800, 0.25f));

    recorder->start();

    EXPECT_THAT(engine->takeCalls(), IsEmpty());
    EXPECT_THAT(log.take(), IsEmpty());
    EXPECT_EQ(recorder->stop(), std::vector<float>(800, 0.25f));
}

TEST_F(AudioRecorderTest, StopWhileIdleReturnsNothingAndTouchesNothing)
{
    EXPECT_THAT(recorder->stop(), IsEmpty());
    recorder->start();
    recorder->stop();
    engine->takeCalls();
    log.take();

    EXPECT_THAT(recorder->stop(), IsEmpty());
    EXPECT_THAT(engine->takeCalls(), IsEmpty());
    EXPECT_THAT(log.take(), IsEmpty());
}

TEST_F(AudioRecorderTest, SoundSystemFailuresPropagateAndLeaveTheRecorderIdle)
{
    struct Case {
        const char* what;
        std::optional<std::string> FakeEngineState::*error;
    };
    for (const Case& failure : {Case{"no sound server", &FakeEngineState::makeError},
                                Case{"no input source", &FakeEngineState::inputFormatError},
                                Case{"stream refused", &FakeEngineState::startError}}) {
        SCOPED_TRACE(failure.what);
        {
            std::lock_guard lock(engine->mutex);
            (*engine).*failure.error = failure.what;
        }
        try {
            recorder->start();
            ADD_FAILURE() << "start() did not throw";
        } catch (const CaptureEngineError& error) {
            EXPECT_STREQ(error.what(), failure.what);
        }
        EXPECT_EQ(log.linesStartingWith("Recording started").size(), 0u);
        EXPECT_FALSE(engine->deliver(std::vector<float>(8, 0.5f))) << "capture left running";
        EXPECT_THAT(recorder->stop(), IsEmpty());

        {
            std::lock_guard lock(engine->mutex);
            (*engine).*failure.error = std::nullopt;
        }
        recorder->start();
        EXPECT_EQ(log.linesStartingWith("Recording started").size(), 1u);
        recorder->stop();
        log.take();
    }
    // The engine that could not be made was asked for again; the one made is kept.
    EXPECT_EQ(engine->enginesMade, 2);
}

TEST_F(AudioRecorderTest, UnusableInputFormatThrowsConverterCreationFailed)
{
    for (const CaptureFormat format : {CaptureFormat{0.0, 2}, CaptureFormat{48000.0, 0}}) {
        useFormat(format);
        engine->takeCalls();
        try {
            recorder->start();
            ADD_FAILURE() << "start() did not throw";
        } catch (const AudioRecorderError& error) {
            EXPECT_EQ(audioErrorDescription(error), "Could not create audio format converter");
        }
        EXPECT_THAT(engine->takeCalls(), ElementsAre("inputFormat"));
        EXPECT_THAT(recorder->stop(), IsEmpty());
    }
}

TEST_F(AudioRecorderTest, ConvertsToSixteenKilohertzMonoAndKeepsTheTailAtStop)
{
    startQuietly();
    std::vector<float> block;
    for (std::size_t frame = 0; frame < 48000; ++frame) {
        const auto value = static_cast<float>(0.5 * std::sin(2.0 * 3.141592653589793 * 440.0 * frame / 48000.0));
        block.push_back(value);
        block.push_back(value);
    }
    for (std::size_t offset = 0; offset < block.size(); offset += 8192) {
        engine->deliver(
            std::vector<float>(block.begin() + static_cast<std::ptrdiff_t>(offset),
                               block.begin() + static_cast<std::ptrdiff_t>(std::min(offset + 8192, block.size()))));
    }

    const auto samples = recorder->stop();

    // Without the drained tail, the last few dozen samples would be missing.
    EXPECT_NEAR(static_cast<double>(samples.size()), 16000.0, 1.0);
    EXPECT_THAT(engine->takeCalls(), ElementsAre("stopCapture"));
    const auto lines = log.take();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_THAT(lines[0], ::testing::StartsWith("Captured 1.0s, peak=0.50"));
}

TEST_F(AudioRecorderTest, CapIsReportedOnceWhenABlockFindsNoRoom)
{
    useFormat({16000.0, 1});  // no resampling: samples map one to one
    startQuietly();
    // Exactly the cap, in blocks marked by their index so the kept audio can be checked.
    constexpr std::size_t blockSize = 4000;
    for (std::size_t block = 0; block < kCap / blockSize; ++block) {
        engine->deliver(std::vector<float>(blockSize, static_cast<float>(block % 1000) / 1000.0f));
    }
    queue.runUntilIdle();
    EXPECT_EQ(capReports, 0) << "full, but nothing was discarded yet";
    EXPECT_EQ(log.linesStartingWith("Recording cap reached").size(), 0u);

    for (int extra = 0; extra < 3; ++extra) {
        engine->deliver(std::vector<float>(blockSize, 0.9f));
    }
    EXPECT_EQ(capReports, 0) << "reported on the capture thread instead of the main queue";
    queue.runUntilIdle();
    EXPECT_EQ(capReports, 1);
    EXPECT_THAT(log.take(), ElementsAre("Recording cap reached (9600000 samples) -- discarding further audio"));

    const auto samples = recorder->stop();
    ASSERT_EQ(samples.size(), kCap);
    EXPECT_EQ(samples.back(), static_cast<float>((kCap / blockSize - 1) % 1000) / 1000.0f);

    // The next recording may hit the cap again and is told again.
    startQuietly();
    engine->deliver(std::vector<float>(16, 0.1f));
    EXPECT_THAT(recorder->stop(), ElementsAre(0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f,
                                              0.1f, 0.1f, 0.1f, 0.1f));
}

TEST_F(AudioRecorderTest, BlockThatOnlyPartlyFitsIsCutAtTheCap)
{
    useFormat({16000.0, 1});
    startQuietly();
    const std::vector<float> filler(kCap - 1000, 0.1f);
    engine->deliver(filler);
    engine->deliver(std::vector<float>(4096, 0.7f));
    queue.runUntilIdle();
    EXPECT_EQ(capReports, 0) << "the cut block itself is not yet a report";

    const auto samples = recorder->stop();
    ASSERT_EQ(samples.size(), kCap);
    EXPECT_EQ(samples[kCap - 1001], 0.1f);
    EXPECT_EQ(samples[kCap - 1000], 0.7f);
    EXPECT_EQ(samples.back(), 0.7f);
}

TEST_F(AudioRecorderTest, TailDrainedAtStopCountsAgainstTheCap)
{
    useFormat({48000.0, 1});
    startQuietly();
    // A few samples more than the cap in total; the resampler still holds them back when stop() comes,
    // so only the drained tail can cross the cap.
    engine->deliverConstant(0.25f, static_cast<double>(kCap + 20) / 16000.0, 48000);

    const auto samples = recorder->stop();
    EXPECT_EQ(samples.size(), kCap);
}

TEST_F(AudioRecorderTest, LevelFollowsTheLatestBlockAndIsZeroOutsideRecordings)
{
    useFormat({16000.0, 1});
    startQuietly();
    engine->deliver(std::vector<float>(1024, 1.0f));
    EXPECT_FLOAT_EQ(recorder->currentLevel(), 1.0f);
    engine->deliver(std::vector<float>(1024, 0.001f));  // -60 dBFS
    EXPECT_EQ(recorder->currentLevel(), 0.0f);
    engine->deliver(std::vector<float>(1024, std::pow(10.0f, -30.0f / 20.0f)));
    EXPECT_NEAR(recorder->currentLevel(), 0.5f, 1e-4);
    recorder->stop();
    EXPECT_EQ(recorder->currentLevel(), 0.0f);

    // A loud tail drained at stop must not leave the meter up.
    useFormat({48000.0, 1});
    recorder->start();
    EXPECT_EQ(recorder->currentLevel(), 0.0f);
    engine->deliverConstant(1.0f, 0.5);
    recorder->stop();
    EXPECT_EQ(recorder->currentLevel(), 0.0f);
}

TEST_F(AudioRecorderTest, ConverterIsReusedForTheSameFormatAndRebuiltWhenRateOrChannelsChange)
{
    struct Step {
        CaptureFormat format;
        bool rebuilt;
    };
    const Step steps[] = {
        {{48000.0, 2}, true},   // first recording
        {{48000.0, 2}, false},  // same format: reused after a reset
        {{44100.0, 2}, true},   // only the rate changed
        {{44100.0, 1}, true},   // only the channel count changed
        {{44100.0, 1}, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(formatSampleRate(step.format.sampleRate) + "/" + std::to_string(step.format.channelCount));
        useFormat(step.format);
        recorder->start();
        EXPECT_EQ(log.linesStartingWith("AVAudioConverter built: ").size(), step.rebuilt ? 1u : 0u);
        engine->deliverConstant(0.3f, 1.0);
        const auto samples = recorder->stop();
        // A converter left over from another format would produce the wrong amount of audio.
        EXPECT_NEAR(static_cast<double>(samples.size()), 16000.0, 1.0);
        EXPECT_NEAR(samples[8000], 0.3f, 1e-3);
        log.take();
    }
}

TEST_F(AudioRecorderTest, DeviceChangeRebuildsCaptureAndKeepsOneBuffer)
{
    startQuietly();
    engine->deliverConstant(0.2f, 0.5);

    useFormat({44100.0, 1});
    engine->fireChange();
    EXPECT_THAT(engine->takeCalls(), IsEmpty()) << "recovery must wait for the main queue";
    queue.runUntilIdle();

    EXPECT_THAT(engine->takeCalls(), ElementsAre("stopCapture", "inputFormat", "startCapture 44100.0Hz/1ch"));
    EXPECT_THAT(log.take(), ElementsAre("Audio engine configuration changed mid-recording -- rebuilding tap",
                                        "AVAudioConverter built: 44100.0Hz/1ch -> 16000Hz/1ch",
                                        "Recording resumed after device change: 44100.0Hz/1ch"));
    engine->deliverConstant(-0.3f, 0.5);

    const auto samples = recorder->stop();
    EXPECT_EQ(captureLosses, 0);
    ASSERT_NEAR(static_cast<double>(samples.size()), 16000.0, 2.0);
    EXPECT_NEAR(samples[4000], 0.2f, 1e-3);
    EXPECT_NEAR(samples[12000], -0.3f, 1e-3);
}

TEST_F(AudioRecorderTest, UnusableFormatAfterADeviceChangeEndsCaptureAndKeepsTheAudio)
{
    for (const CaptureFormat format : {CaptureFormat{0.0, 1}, CaptureFormat{48000.0, 0}}) {
        useFormat({48000.0, 2});
        startQuietly();
        engine->deliverConstant(0.2f, 0.5);
        useFormat(format);
        engine->fireChange();
        queue.runUntilIdle();

        EXPECT_THAT(engine->takeCalls(), ElementsAre("stopCapture", "inputFormat"));
        EXPECT_THAT(log.take(), ElementsAre("Audio engine configuration changed mid-recording -- rebuilding tap",
                                            "New hardware format invalid after configuration change -- recording "
                                            "will be partial"));
        EXPECT_EQ(captureLosses, 1);
        captureLosses = 0;
        EXPECT_NEAR(static_cast<double>(recorder->stop().size()), 8000.0, 1.0);
    }
}

TEST_F(AudioRecorderTest, FailedResumeAfterADeviceChangeEndsCaptureAndKeepsTheAudio)
{
    for (auto error : {&FakeEngineState::inputFormatError, &FakeEngineState::startError}) {
        startQuietly();
        engine->deliverConstant(0.2f, 0.25);
        {
            std::lock_guard lock(engine->mutex);
            (*engine).*error = "Could not connect to the sound server: Connection refused";
        }
        engine->fireChange();
        queue.runUntilIdle();

        const auto lines = log.take();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[1], "Failed to resume recording after device change: Could not connect to the sound server: "
                            "Connection refused");
        EXPECT_EQ(captureLosses, 1);
        captureLosses = 0;
        EXPECT_NEAR(static_cast<double>(recorder->stop().size()), 4000.0, 1.0);
        std::lock_guard lock(engine->mutex);
        (*engine).*error = std::nullopt;
    }
}

TEST_F(AudioRecorderTest, ChangesWhileIdleOrAfterTheRecorderIsGoneDoNothing)
{
    startQuietly();
    recorder->stop();
    engine->takeCalls();
    log.take();

    engine->fireChange();
    queue.runUntilIdle();
    EXPECT_THAT(engine->takeCalls(), IsEmpty());
    EXPECT_THAT(log.take(), IsEmpty());

    // A change and a cap report still queued when the recorder is destroyed must not reach it.
    useFormat({16000.0, 1});
    startQuietly();
    engine->deliver(std::vector<float>(kCap + 10, 0.1f));
    engine->deliver(std::vector<float>(10, 0.1f));
    engine->fireChange();
    recorder.reset();
    queue.runUntilIdle();
    EXPECT_EQ(capReports, 0);
    EXPECT_EQ(captureLosses, 0);
}

}  // namespace
}  // namespace korvane
