// SPDX-License-Identifier: MIT
// The adaptive encoder window against whisper.cpp with generated model files.
#include "tests/transcription/whisper/TestAudio.h"
#include "tests/transcription/whisper/TranscriberFixture.h"
#include "tests/transcription/whisper/TranscriberLog.h"
#include "transcription/whisper/EncoderWindow.h"
#include "transcription/whisper/WhisperTranscriber.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace korvane {
namespace {

using WhisperAdaptiveWindowTest = testing::TranscriberFixture;
using ::testing::ElementsAre;
using ::testing::StartsWith;

constexpr std::size_t kSecond = 16000;

TEST_F(WhisperAdaptiveWindowTest, ShortRecordingsGiveTheStandardTextInAShorterWindowWhileTheSettingIsOn)
{
    addModel("small", testing::scriptedModel(" Hello from Korvane."));
    auto transcriber = makeTranscriber();
    ASSERT_TRUE(transcriber->loadModel("small", {}));
    const auto speech = testing::toneBurst(5 * kSecond, 0, 5 * kSecond);
    const auto longSpeech = testing::toneBurst(31 * kSecond, 0, 31 * kSecond);
    const testing::TranscriberLog log;
    TranscriptionTimings timings;

    EXPECT_EQ(transcriber->transcribe(speech, timings), "Hello from Korvane.");
    EXPECT_EQ(timings.encoderWindowSamples, EncoderWindow::kStandardSamples);

    settings_->setAdaptiveEncoderWindow(true);  // read at the next transcription
    EXPECT_EQ(transcriber->transcribe(speech, timings), "Hello from Korvane.");
    EXPECT_EQ(timings.encoderWindowSamples, 10 * kSecond);
    EXPECT_FALSE(timings.redoneInStandardWindow);

    // More than one window: the standard path, whatever the setting says.
    const std::string longText = transcriber->transcribe(longSpeech, timings);
    EXPECT_THAT(longText, StartsWith("Hello from Korvane."));
    EXPECT_EQ(timings.encoderWindowSamples, EncoderWindow::kStandardSamples);

    EXPECT_THAT(log.messages(),
                ElementsAre("Sending 5.00s to whisper", "Transcription complete: 19 characters",
                            "Sending 5.00s to whisper in a 10.00s encoder window",
                            "Transcription complete: 19 characters", "Sending 31.00s to whisper",
                            "Transcription complete: " + std::to_string(longText.size()) + " characters"));
}

TEST_F(WhisperAdaptiveWindowTest, ARunawayDecodeInTheAdaptiveWindowIsRedoneOnceInTheStandardWindow)
{
    addModel("small", testing::loopingModel(" Thank you."));
    settings_->setAdaptiveEncoderWindow(true);
    auto transcriber = makeTranscriber();
    ASSERT_TRUE(transcriber->loadModel("small", {}));
    const testing::TranscriberLog log;
    TranscriptionTimings timings;

    // The standard window's decode runs away too; its text is kept rather than retried again.
    const std::string text = transcriber->transcribe(testing::toneBurst(3 * kSecond, 0, 3 * kSecond), timings);
    EXPECT_THAT(text, StartsWith("Thank you. Thank you. Thank you."));
    EXPECT_TRUE(timings.redoneInStandardWindow);
    EXPECT_EQ(timings.encoderWindowSamples, EncoderWindow::kStandardSamples);
    EXPECT_THAT(log.messages(),
                ElementsAre("Sending 3.00s to whisper in a 10.00s encoder window",
                            "Decode in the 10.00s encoder window ran into the token limit: decoding again in the "
                            "standard window",
                            "Transcription complete: " + std::to_string(text.size()) + " characters"));
}

}  // namespace
}  // namespace korvane
