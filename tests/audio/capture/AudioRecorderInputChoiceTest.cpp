// SPDX-License-Identifier: MIT
// The chosen input ("inputDevice"): recording from it, falling back to the default when it is
// missing, taking it back when it appears, and the warning about Bluetooth headset profiles.
#include "audio/capture/AudioRecorder.h"
#include "audio/capture/InputSource.h"
#include "base/scheduling/VirtualMainQueue.h"
#include "tests/audio/capture/FakeCaptureEngine.h"
#include "tests/support/RecordingLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using testing::FakeEngineState;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::RecordingLog;

InputSourceDescription source(std::string name, CaptureFormat format)
{
    return InputSourceDescription{std::move(name), format, {}, {}};
}

class AudioRecorderInputChoiceTest : public ::testing::Test {
protected:
    AudioRecorderInputChoiceTest()
    {
        recorder->setOnCaptureLost([this] { ++captureLosses; });
        recorder->setInputChoice([this] { return chosen; });
        setSources({{"", source("builtin", {48000.0, 2})}, {"usb", source("usb", {16000.0, 1})}});
    }

    void setSources(std::map<std::string, InputSourceDescription> sources)
    {
        std::lock_guard lock(engine->mutex);
        engine->sources = std::move(sources);
    }

    std::vector<std::string> fallbackLines() { return log.linesStartingWith("Chosen input"); }

    VirtualMainQueue queue;
    std::shared_ptr<FakeEngineState> engine = std::make_shared<FakeEngineState>();
    RecordingLog log;
    std::unique_ptr<AudioRecorder> recorder =
        std::make_unique<AudioRecorder>(queue, testing::fakeEngineFactory(engine), log.sink());
    std::optional<std::string> chosen = "usb";
    int captureLosses = 0;
};

TEST_F(AudioRecorderInputChoiceTest, RecordsFromTheChosenSourceInItsOwnFormat)
{
    recorder->start();
    EXPECT_THAT(engine->takeCalls(), ElementsAre("describeSource usb", "startCaptureFrom usb 16000.0Hz/1ch"));
    EXPECT_FALSE(recorder->fellBackToDefaultInput());
    engine->deliverConstant(0.25f, 0.5);
    const auto samples = recorder->stop();
    ASSERT_NEAR(static_cast<double>(samples.size()), 8000.0, 1.0);
    EXPECT_NEAR(samples[4000], 0.25f, 1e-3);
    EXPECT_THAT(fallbackLines(), IsEmpty());
}

TEST_F(AudioRecorderInputChoiceTest, MissingOrBlankChoiceFallsBackToTheDefault)
{
    struct Case {
        std::optional<std::string> chosen;
        std::vector<std::string> calls;
        std::vector<std::string> lines;
        bool fellBack;
    };
    const std::vector<Case> cases = {
        {"headset",
         {"describeSource headset", "describeSource (default)",
          "startCaptureFrom (default) awaiting headset 48000.0Hz/2ch"},
         {"Chosen input \"headset\" not found -- recording from the default input"},
         true},
        // Nothing chosen, or a name left empty by hand: the plain default input, as without the setting.
        {std::nullopt, {"inputFormat", "startCapture 48000.0Hz/2ch"}, {}, false},
        {" ",
         {"inputFormat", "startCapture 48000.0Hz/2ch"},
         {"Ignoring empty \"inputDevice\" setting -- recording from the default input"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen.value_or("(absent)"));
        chosen = c.chosen;
        recorder->start();
        EXPECT_THAT(engine->takeCalls(), ::testing::ElementsAreArray(c.calls));
        EXPECT_EQ(recorder->fellBackToDefaultInput(), c.fellBack);
        std::vector<std::string> lines = log.linesStartingWith("Chosen input");
        const std::vector<std::string> ignored = log.linesStartingWith("Ignoring");
        lines.insert(lines.end(), ignored.begin(), ignored.end());
        EXPECT_THAT(lines, ::testing::ElementsAreArray(c.lines));
        recorder->stop();
        engine->takeCalls();
        log.clear();
    }
}

TEST_F(AudioRecorderInputChoiceTest, NoDefaultEitherFailsTheStart)
{
    setSources({});
    EXPECT_THROW(recorder->start(), CaptureEngineError);
    EXPECT_TRUE(recorder->stop().empty());
}

TEST_F(AudioRecorderInputChoiceTest, DeviceChangesMoveBetweenTheChosenSourceAndTheDefault)
{
    // Missing at the start: the default records, and the chosen one is awaited.
    setSources({{"", source("builtin", {48000.0, 2})}});
    recorder->start();
    EXPECT_TRUE(recorder->fellBackToDefaultInput());
    engine->deliverConstant(0.2f, 0.5);
    engine->takeCalls();

    // It appears: capture moves to it and the recording goes on in the same buffer.
    setSources({{"", source("builtin", {48000.0, 2})}, {"usb", source("usb", {16000.0, 1})}});
    engine->fireChange();
    queue.runUntilIdle();
    EXPECT_THAT(engine->takeCalls(),
                ElementsAre("stopCapture", "describeSource usb", "startCaptureFrom usb 16000.0Hz/1ch"));
    EXPECT_FALSE(recorder->fellBackToDefaultInput());
    engine->deliverConstant(-0.3f, 0.5);

    // It goes away again: back to the default, logged.
    setSources({{"", source("builtin", {48000.0, 2})}});
    engine->fireChange();
    queue.runUntilIdle();
    EXPECT_THAT(engine->takeCalls(), ElementsAre("stopCapture", "describeSource usb", "describeSource (default)",
                                                 "startCaptureFrom (default) awaiting usb 48000.0Hz/2ch"));
    EXPECT_EQ(fallbackLines().size(), 2u) << log.text();
    engine->deliverConstant(0.1f, 0.5);

    const auto samples = recorder->stop();
    EXPECT_EQ(captureLosses, 0);
    ASSERT_NEAR(static_cast<double>(samples.size()), 24000.0, 3.0);
    EXPECT_NEAR(samples[4000], 0.2f, 1e-3);
    EXPECT_NEAR(samples[12000], -0.3f, 1e-3);
    EXPECT_NEAR(samples[20000], 0.1f, 1e-3);
}

TEST_F(AudioRecorderInputChoiceTest, BluetoothHeadsetProfileIsLoggedOnceWithTheReason)
{
    InputSourceDescription headset = source("bluez_input.00_1B_66_AA_BB_CC.0", {16000.0, 1});
    headset.properties = {{"device.bus", "bluetooth"}};
    headset.cardProfile = "headset-head-unit";
    setSources({{"", source("builtin", {48000.0, 2})}, {"usb", headset}});

    recorder->start();
    const auto lines = log.linesStartingWith("Input \"bluez_input.00_1B_66_AA_BB_CC.0\"");
    ASSERT_EQ(lines.size(), 1u) << log.text();
    EXPECT_THAT(lines[0], HasSubstr("headset profile (headset-head-unit)"));
    EXPECT_THAT(lines[0], HasSubstr("narrow-band"));
}

struct HeadsetCase {
    const char* what;
    std::string name;
    std::map<std::string, std::string> properties;
    std::string cardProfile;
    std::optional<std::string> profile;
};

TEST(NarrowBandHeadsetProfile, RecognisesHeadsetProfilesOfBluetoothSourcesOnly)
{
    const std::vector<HeadsetCase> cases = {
        {"PulseAudio card in HSP/HFP",
         "bluez_source.00_1B.headset_head_unit",
         {{"device.bus", "bluetooth"}},
         "headset_head_unit",
         "headset_head_unit"},
        {"PipeWire card with mSBC",
         "bluez_input.00_1B.0",
         {{"device.api", "bluez5"}},
         "headset-head-unit-msbc",
         "headset-head-unit-msbc"},
        {"handsfree profile", "bluez_input.00_1B.0", {}, "handsfree_head_unit", "handsfree_head_unit"},
        {"no card, properties tell",
         "bt-mic",
         {{"device.bus", "bluetooth"}, {"bluetooth.protocol", "hfp_hf"}},
         "",
         "hfp_hf"},
        {"PipeWire property",
         "bt-mic",
         {{"device.bus", "bluetooth"}, {"api.bluez5.profile", "headset-head-unit"}},
         "",
         "headset-head-unit"},
        // The card's active profile wins over stale properties.
        {"card in A2DP",
         "bluez_source.00_1B.a2dp_source",
         {{"device.bus", "bluetooth"}, {"bluetooth.protocol", "hsp_hs"}},
         "a2dp_source",
         std::nullopt},
        {"USB headset", "alsa_input.usb-Logitech_Headset", {{"device.bus", "usb"}}, "headset-mono", std::nullopt},
        {"built-in microphone",
         "alsa_input.pci-0000_00_1f.3.analog-stereo",
         {{"device.bus", "pci"}},
         "output:analog-stereo+input:analog-stereo",
         std::nullopt},
    };
    for (const HeadsetCase& c : cases) {
        SCOPED_TRACE(c.what);
        const InputSourceDescription description{c.name, {16000.0, 1}, c.properties, c.cardProfile};
        EXPECT_EQ(narrowBandHeadsetProfile(description), c.profile);
    }
}

}  // namespace
}  // namespace korvane
