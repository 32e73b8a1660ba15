#include "audio/capture/AudioConverter.h"
#include "audio/capture/AudioRecorderError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace korvane {
namespace {

// `seconds` of a sine at `frequency`, the same on every channel, interleaved.
std::vector<float> sine(double rate, unsigned channels, double frequency, double seconds, float amplitude)
{
    const auto frames = static_cast<std::size_t>(rate * seconds);
    std::vector<float> samples(frames * channels);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const auto value = static_cast<float>(
            amplitude * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(frame) / rate));
        for (unsigned channel = 0; channel < channels; ++channel) {
            samples[frame * channels + channel] = value;
        }
    }
    return samples;
}

// Feeds `input` in blocks of `blockFrames` and drains; returns everything that came out.
std::vector<float> convertAll(AudioConverter& converter, const std::vector<float>& input, std::size_t blockFrames)
{
    const std::size_t channels = converter.inputFormat().channelCount;
    const std::size_t frames = input.size() / channels;
    std::vector<float> output;
    for (std::size_t frame = 0; frame < frames; frame += blockFrames) {
        const std::size_t count = std::min(blockFrames, frames - frame);
        const auto converted = converter.convert(input.data() + frame * channels, count);
        output.insert(output.end(), converted.begin(), converted.end());
    }
    const auto tail = converter.drain();
    output.insert(output.end(), tail.begin(), tail.end());
    return output;
}

TEST(AudioConverter, ResamplesEachSourceFormatToOneSecondOfSixteenKilohertzMono)
{
    struct Case {
        double rate;
        unsigned channels;
    };
    for (const Case& format :
         {Case{48000.0, 2}, Case{44100.0, 1}, Case{22050.0, 1}, Case{96000.0, 6}, Case{16000.0, 2}}) {
        SCOPED_TRACE(format.rate);
        SCOPED_TRACE(format.channels);
        AudioConverter converter(CaptureFormat{format.rate, format.channels});
        const auto output = convertAll(converter, sine(format.rate, format.channels, 440.0, 1.0, 0.5f), 4096);

        ASSERT_NEAR(static_cast<double>(output.size()), 16000.0, 1.0);
        // Away from the edges the output is the same sine sampled at 16 kHz, in time with the input.
        double worst = 0.0;
        for (std::size_t index = 1000; index < 15000; ++index) {
            const double expected =
                0.5 * std::sin(2.0 * std::numbers::pi * 440.0 * static_cast<double>(index) / 16000.0);
            worst = std::max(worst, std::fabs(output[index] - expected));
        }
        EXPECT_LT(worst, 2e-3);
    }
}

TEST(AudioConverter, OutputDoesNotDependOnHowTheInputIsCutIntoBlocks)
{
    const auto input = sine(48000.0, 2, 1000.0, 0.5, 0.8f);
    AudioConverter inBlocks(CaptureFormat{48000.0, 2});
    AudioConverter frameByFrame(CaptureFormat{48000.0, 2});
    AudioConverter allAtOnce(CaptureFormat{48000.0, 2});

    const auto reference = convertAll(inBlocks, input, 4096);
    EXPECT_EQ(convertAll(frameByFrame, input, 1).size(), reference.size());
    // One block far larger than the converter's initial output room.
    const auto large = convertAll(allAtOnce, input, input.size());
    ASSERT_EQ(large.size(), reference.size());
    for (std::size_t index = 0; index < large.size(); ++index) {
        ASSERT_NEAR(large[index], reference[index], 1e-5) << "at sample " << index;
    }
}

TEST(AudioConverter, AveragesChannelsIntoOne)
{
    AudioConverter converter(CaptureFormat{16000.0, 2});
    const std::vector<float> frames = {0.5f, -0.5f, 0.25f, 0.75f, -1.0f, -0.5f};
    const auto output = converter.convert(frames.data(), 3);
    EXPECT_THAT(std::vector<float>(output.begin(), output.end()), ::testing::ElementsAre(0.0f, 0.5f, -0.75f));
}

TEST(AudioConverter, NonFiniteSamplesBecomeSilenceWithoutPoisoningLaterAudio)
{
    AudioConverter converter(CaptureFormat{48000.0, 2});
    auto input = sine(48000.0, 2, 440.0, 0.5, 0.5f);
    input[1001] = std::numeric_limits<float>::quiet_NaN();
    input[2000] = std::numeric_limits<float>::infinity();
    input[3001] = -std::numeric_limits<float>::infinity();

    const auto output = convertAll(converter, input, 4096);
    ASSERT_FALSE(output.empty());
    for (const float sample : output) {
        ASSERT_TRUE(std::isfinite(sample));
        ASSERT_LE(std::fabs(sample), 1.0f);
    }
}

TEST(AudioConverter, ResetForgetsHeldBackInput)
{
    const auto first = sine(48000.0, 1, 300.0, 0.1, 0.9f);
    const auto second = sine(48000.0, 1, 700.0, 0.2, 0.4f);

    AudioConverter reused(CaptureFormat{48000.0, 1});
    reused.convert(first.data(), first.size());  // leaves a tail inside the resampler
    reused.reset();
    EXPECT_TRUE(reused.drain().empty());
    reused.reset();

    AudioConverter fresh(CaptureFormat{48000.0, 1});
    const auto expected = convertAll(fresh, second, 4096);
    const auto actual = convertAll(reused, second, 4096);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t index = 0; index < actual.size(); ++index) {
        ASSERT_FLOAT_EQ(actual[index], expected[index]) << "at sample " << index;
    }
}

TEST(AudioConverter, RefusesFormatsItCannotConvertFrom)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    for (const CaptureFormat& format : {CaptureFormat{0.0, 1}, CaptureFormat{-48000.0, 2}, CaptureFormat{nan, 1},
                                        CaptureFormat{infinity, 2}, CaptureFormat{48000.0, 0}}) {
        try {
            AudioConverter converter(format);
            ADD_FAILURE() << "accepted " << format.sampleRate << " Hz, " << format.channelCount << " channels";
        } catch (const AudioRecorderError& error) {
            EXPECT_EQ(error.kind(), AudioRecorderError::Kind::converterCreationFailed);
            EXPECT_EQ(error.description(), "Could not create audio format converter");
            EXPECT_STREQ(error.what(), "converterCreationFailed");
        }
    }
}

}  // namespace
}  // namespace korvane
