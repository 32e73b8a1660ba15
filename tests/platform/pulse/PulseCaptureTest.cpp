#include "audio/capture/AudioRecorder.h"
#include "platform/linux/pulse/PulseCaptureEngine.h"
#include "platform/linux/pulse/SystemAudioRecorder.h"
#include "tests/support/RecordingLog.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/WaitingMainQueue.h"
#include "tests/support/pulse/PulseTestDaemon.h"
#include "tests/support/pulse/SpeechClip.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>

namespace korvane {
namespace {

using namespace std::chrono_literals;
using testing::PulseTestDaemon;
using testing::SpeechClip;
using ::testing::StartsWith;

constexpr auto kEventTimeout = 15s;
// How closely a recording must match the speech played into the source. A faithful recording scores
// 0.98 and more, even across a device change; silence scores 0, and audio at twice its speed below 0.1.
constexpr double kMinimumCorrelation = 0.9;

// A recorder on the real PulseAudio engine, logging into `log`, counting lost captures.
class PulseCaptureTest : public ::testing::Test {
protected:
    std::unique_ptr<AudioRecorder> makeRecorder()
    {
        auto recorder = std::make_unique<AudioRecorder>(
            queue, [] { return std::make_unique<PulseCaptureEngine>(); }, log.sink());
        recorder->setOnCaptureLost([this] { ++captureLosses; });
        return recorder;
    }

    // Waits for a log line starting with `prefix`, running the recorder's main-queue tasks meanwhile.
    bool waitForLine(const std::string& prefix)
    {
        return queue.runUntil([&] { return !log.linesStartingWith(prefix).empty(); }, kEventTimeout);
    }

    // Checks that `clip` was recorded faithfully (same speed, 16 kHz mono), and returns where.
    static std::size_t expectRecorded(const std::vector<float>& samples, const SpeechClip& clip)
    {
        const testing::SignalMatch match = testing::findSignal(samples, clip.reference);
        EXPECT_GE(match.correlation, kMinimumCorrelation)
            << clip.soundFile.filename() << ": expected the played speech in the recording, seen a correlation of only "
            << match.correlation << " (best at sample " << match.offset << " of " << samples.size() << ")";
        return match.offset;
    }

    testing::TemporaryDirectory files{"korvane-speech"};
    testing::WaitingMainQueue queue;
    testing::RecordingLog log;
    int captureLosses = 0;
};

struct SourceFormat {
    unsigned rate;
    unsigned channels;
};

class PulseCaptureFormatTest : public PulseCaptureTest, public ::testing::WithParamInterface<SourceFormat> {};

TEST_P(PulseCaptureFormatTest, RecordsSpeechAsSixteenKilohertzMono)
{
    const SourceFormat format = GetParam();
    PulseTestDaemon daemon({{"mic", format.rate, format.channels}});
    const auto clip =
        SpeechClip::make(files.path(), "clip", "Please write this sentence down for me", format.rate, format.channels);
    auto recorder = makeRecorder();

    recorder->start();
    daemon.play("mic", clip.soundFile);
    const auto samples = recorder->stop();

    std::ostringstream expectedFormat;
    expectedFormat << "Audio hardware format: " << format.channels << "ch, " << format.rate << ".0Hz";
    EXPECT_EQ(log.linesStartingWith(expectedFormat.str()).size(), 1u) << log.text();
    // A wrong rate would stretch the speech in time, and the correlation over seconds would collapse.
    expectRecorded(samples, clip);
    EXPECT_LT(static_cast<double>(samples.size()) / 16000.0, clip.seconds + 3.0);
    EXPECT_EQ(captureLosses, 0);
}

INSTANTIATE_TEST_SUITE_P(SourceFormats, PulseCaptureFormatTest,
                         ::testing::Values(SourceFormat{48000, 2}, SourceFormat{44100, 1}), [](const auto& param) {
                             return std::to_string(param.param.rate) + "Hz" + std::to_string(param.param.channels) +
                                    "ch";
                         });

TEST_F(PulseCaptureTest, SwitchingTheDefaultSourceMidRecordingKeepsOneBuffer)
{
    PulseTestDaemon daemon({{"headset", 48000, 2}, {"webcam", 44100, 1}});
    const auto before = SpeechClip::make(files.path(), "before", "The first half goes to the headset", 48000, 2);
    const auto after = SpeechClip::make(files.path(), "after", "And now the webcam is listening", 44100, 1);
    auto recorder = makeRecorder();

    recorder->start();
    daemon.play("headset", before.soundFile);
    daemon.setDefaultSource("webcam.monitor");
    ASSERT_TRUE(waitForLine("Recording resumed after device change: 44100.0Hz/1ch")) << log.text();
    daemon.play("webcam", after.soundFile);
    const auto samples = recorder->stop();

    const std::size_t first = expectRecorded(samples, before);
    const std::size_t second = expectRecorded(samples, after);
    EXPECT_LE(first + before.reference.size(), second);
    EXPECT_EQ(captureLosses, 0);
}

TEST_F(PulseCaptureTest, UnpluggingTheSourceInUseMovesCaptureToTheRemainingOne)
{
    PulseTestDaemon daemon({{"usb", 48000, 2}, {"builtin", 16000, 1}});
    const auto before = SpeechClip::make(files.path(), "before", "Something is about to happen", 48000, 2);
    const auto after = SpeechClip::make(files.path(), "after", "Still recording after that", 16000, 1);
    auto recorder = makeRecorder();

    recorder->start();
    daemon.play("usb", before.soundFile);
    // Unloading the sink removes its monitor, the source we record from, as unplugging a device does.
    const std::string modules = daemon.pactl({"list", "short", "modules"});
    const std::size_t line = modules.rfind('\n', modules.find("sink_name=usb"));
    const std::size_t start = line == std::string::npos ? 0 : line + 1;
    daemon.pactl({"unload-module", modules.substr(start, modules.find_first_of(" \t", start) - start)});
    ASSERT_TRUE(waitForLine("Recording resumed after device change: 16000.0Hz/1ch")) << log.text();
    daemon.play("builtin", after.soundFile);
    const auto samples = recorder->stop();

    EXPECT_LT(expectRecorded(samples, before), expectRecorded(samples, after));
    EXPECT_EQ(captureLosses, 0);
}

TEST_F(PulseCaptureTest, SuspendedSourceIsRebuiltAndRecordsAgainAfterResume)
{
    PulseTestDaemon daemon({{"mic", 48000, 2}});
    const auto before = SpeechClip::make(files.path(), "before", "Going to sleep now", 48000, 2);
    const auto after = SpeechClip::make(files.path(), "after", "Awake again and listening", 48000, 2);
    auto recorder = makeRecorder();

    recorder->start();
    daemon.play("mic", before.soundFile);
    daemon.pactl({"suspend-sink", "mic", "1"});  // its monitor, our source, with it
    ASSERT_TRUE(waitForLine("Recording resumed after device change: 48000.0Hz/2ch")) << log.text();
    daemon.pactl({"suspend-sink", "mic", "0"});
    daemon.play("mic", after.soundFile);
    const auto samples = recorder->stop();

    EXPECT_LT(expectRecorded(samples, before), expectRecorded(samples, after));
    EXPECT_EQ(captureLosses, 0);
}

TEST_F(PulseCaptureTest, KilledServerEndsCaptureAndKeepsWhatWasRecorded)
{
    PulseTestDaemon daemon({{"mic", 48000, 2}});
    const auto clip = SpeechClip::make(files.path(), "clip", "This part must survive the crash", 48000, 2);
    auto recorder = makeRecorder();

    recorder->start();
    daemon.play("mic", clip.soundFile);
    daemon.kill();
    ASSERT_TRUE(queue.runUntil([&] { return captureLosses > 0; }, kEventTimeout)) << log.text();
    const auto samples = recorder->stop();

    EXPECT_EQ(captureLosses, 1);
    EXPECT_EQ(log.linesStartingWith("Failed to resume recording after device change: Could not connect to the sound "
                                    "server")
                  .size(),
              1u)
        << log.text();
    expectRecorded(samples, clip);
}

TEST_F(PulseCaptureTest, TheRecordingAfterTheServerRestartedRecords)
{
    PulseTestDaemon daemon({{"mic", 48000, 1}});
    const auto before = SpeechClip::make(files.path(), "before", "Said before the restart", 48000, 1);
    const auto after = SpeechClip::make(files.path(), "after", "Said after the restart", 48000, 1);
    auto recorder = makeRecorder();

    recorder->start();
    daemon.play("mic", before.soundFile);
    expectRecorded(recorder->stop(), before);

    daemon.restart();
    recorder->start();
    daemon.play("mic", after.soundFile);
    expectRecorded(recorder->stop(), after);
    EXPECT_EQ(captureLosses, 0) << log.text();
}

TEST_F(PulseCaptureTest, StartFailsWithoutAServerOrWithoutASource)
{
    {
        const testing::ScopedEnvironment nowhere("PULSE_SERVER", "unix:" + (files.path() / "native").string());
        const auto recorder = makeSystemAudioRecorder(queue);
        try {
            recorder->start();
            ADD_FAILURE() << "start() did not throw";
        } catch (const CaptureEngineError& error) {
            EXPECT_THAT(error.what(), StartsWith("Could not connect to the sound server: "));
        }
        EXPECT_TRUE(recorder->stop().empty());
    }
    {
        PulseTestDaemon daemon({});
        auto recorder = makeRecorder();
        try {
            recorder->start();
            ADD_FAILURE() << "start() did not throw";
        } catch (const CaptureEngineError& error) {
            EXPECT_STREQ(error.what(), "No audio input source");
        }
        EXPECT_TRUE(recorder->stop().empty());
    }
}

}  // namespace
}  // namespace korvane
