// SPDX-License-Identifier: MIT
// The chosen input ("inputDevice") on a real PulseAudio daemon: recorded while another source is the
// default, replaced by the default while it is unplugged, taken back when it returns.
#include "audio/capture/AudioRecorder.h"
#include "platform/linux/pulse/PulseCaptureEngine.h"
#include "tests/support/RecordingLog.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/WaitingMainQueue.h"
#include "tests/support/pulse/PulseTestDaemon.h"
#include "tests/support/pulse/SpeechClip.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace korvane {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using testing::PulseTestDaemon;
using testing::SpeechClip;

constexpr auto kSourceEventTimeout = 15s;
// A faithful recording of a played clip correlates at 0.98 and more, one from another source near 0.
// The clips play in real time, so a heavily loaded machine can stretch them a little; the bar for
// "heard" allows for that and stays far above what a wrong source gives.
constexpr double kHeard = 0.7;
constexpr double kNotHeard = 0.5;

class PulseInputChoiceTest : public ::testing::Test {
protected:
    PulseInputChoiceTest()
    {
        recorder->setOnCaptureLost([this] { ++captureLosses; });
        recorder->setInputChoice([this] { return chosen; });
    }

    bool waitForLine(const std::string& prefix)
    {
        return queue.runUntil([&] { return !log.linesStartingWith(prefix).empty(); }, kSourceEventTimeout);
    }

    static double correlation(const std::vector<float>& samples, const SpeechClip& clip)
    {
        return testing::findSignal(samples, clip.reference).correlation;
    }

    testing::TemporaryDirectory files{"korvane-speech"};
    testing::WaitingMainQueue queue;
    testing::RecordingLog log;
    std::optional<std::string> chosen = "usb.monitor";
    std::unique_ptr<AudioRecorder> recorder = std::make_unique<AudioRecorder>(
        queue, [] { return std::make_unique<PulseCaptureEngine>(); }, log.sink());
    int captureLosses = 0;
};

TEST_F(PulseInputChoiceTest, RecordsTheChosenSourceWhileAnotherIsTheDefault)
{
    PulseTestDaemon daemon({{"builtin", 48000, 2}, {"usb", 16000, 1}});
    const auto wanted = SpeechClip::make(files.path(), "wanted", "Only this sentence should be written", 16000, 1);
    const auto other = SpeechClip::make(files.path(), "other", "Nobody asked the built in microphone", 48000, 2);

    recorder->start();
    EXPECT_FALSE(recorder->fellBackToDefaultInput());
    daemon.play("usb", wanted.soundFile);
    daemon.play("builtin", other.soundFile);
    // A new default while recording does not take the capture away from the chosen source.
    daemon.setDefaultSource("builtin.monitor");
    daemon.play("usb", wanted.soundFile);
    const auto samples = recorder->stop();

    EXPECT_GE(correlation(samples, wanted), kHeard) << log.text();
    EXPECT_LT(correlation(samples, other), kNotHeard) << "the default source was recorded too";
    EXPECT_TRUE(log.linesStartingWith("Audio engine configuration changed").empty()) << log.text();
    EXPECT_EQ(captureLosses, 0);
}

TEST_F(PulseInputChoiceTest, UnpluggedChosenSourceFallsBackToTheDefaultAndIsTakenBackWhenItReturns)
{
    PulseTestDaemon daemon({{"builtin", 48000, 2}, {"usb", 44100, 1}});
    const auto first = SpeechClip::make(files.path(), "first", "The headset is plugged in", 44100, 1);
    const auto fallback = SpeechClip::make(files.path(), "fallback", "Now the laptop is listening", 48000, 2);
    const auto back = SpeechClip::make(files.path(), "back", "And the headset is back again", 44100, 1);

    recorder->start();
    daemon.play("usb", first.soundFile);
    EXPECT_GE(correlation(recorder->stop(), first), kHeard) << log.text();

    // Unplugged between two dictations: the next one records from the default and says why.
    daemon.removeSink("usb");
    log.clear();
    recorder->start();
    EXPECT_TRUE(recorder->fellBackToDefaultInput());
    EXPECT_EQ(
        log.linesStartingWith("Chosen input \"usb.monitor\" not found -- recording from the default input").size(), 1u)
        << log.text();
    daemon.play("builtin", fallback.soundFile);

    // Plugged in again mid-recording: capture moves back to it, in the same recording.
    daemon.addSink({"usb", 44100, 1});
    ASSERT_TRUE(waitForLine("Recording resumed after device change: 44100.0Hz/1ch")) << log.text();
    EXPECT_FALSE(recorder->fellBackToDefaultInput());
    daemon.play("usb", back.soundFile);
    const auto samples = recorder->stop();

    const auto heardFallback = testing::findSignal(samples, fallback.reference);
    const auto heardBack = testing::findSignal(samples, back.reference);
    EXPECT_GE(heardFallback.correlation, kHeard) << log.text();
    EXPECT_GE(heardBack.correlation, kHeard) << log.text();
    EXPECT_LT(heardFallback.offset, heardBack.offset);
    EXPECT_EQ(captureLosses, 0);
}

TEST_F(PulseInputChoiceTest, BluetoothHeadsetProfileGetsOneLineSayingWhyQualityDrops)
{
    PulseTestDaemon daemon({{"builtin", 48000, 2}});
    daemon.addSource("bt_headset", "builtin.monitor", "device.bus=bluetooth bluetooth.protocol=headset_head_unit");
    chosen = "bt_headset";

    recorder->start();
    recorder->stop();

    const auto lines = log.linesStartingWith("Input \"bt_headset\" is a Bluetooth headset");
    ASSERT_EQ(lines.size(), 1u) << log.text();
    EXPECT_THAT(lines[0], HasSubstr("(headset_head_unit)"));
    EXPECT_THAT(lines[0], HasSubstr("narrow-band"));
    EXPECT_FALSE(recorder->fellBackToDefaultInput());
}

}  // namespace
}  // namespace korvane
