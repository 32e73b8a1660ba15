// SPDX-License-Identifier: MIT
// korvane-transcribe's WAV input: real files written by sox, and damaged ones.
#include "tools/transcribe/WavFile.h"
#include "tests/support/TempHome.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace korvane {
namespace {

std::string header(std::uint16_t format, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                   std::uint32_t dataBytes)
{
    auto u16 = [](std::uint16_t v) { return std::string{static_cast<char>(v & 0xff), static_cast<char>(v >> 8)}; };
    auto u32 = [&](std::uint32_t v) {
        return u16(static_cast<std::uint16_t>(v & 0xffff)) + u16(static_cast<std::uint16_t>(v >> 16));
    };
    return "RIFF" + u32(36 + dataBytes) + "WAVE" + "fmt " + u32(16) + u16(format) + u16(channels) + u32(rate) +
           u32(rate * channels * bits / 8) + u16(static_cast<std::uint16_t>(channels * bits / 8)) + u16(bits) + "data" +
           u32(dataBytes);
}

TEST(WavFile, ReadsWhatSoxWritesAndConvertsToSixteenKilohertzMono)
{
    testing::TempHome home;
    const auto stereo = home.path() / "stereo.wav";
    const auto floats = home.path() / "float.wav";
    const std::string sox = "sox -n -r 44100 -c 2 -b 16 '" + stereo.string() + "' synth 0.5 sine 440 vol 0.5 && " +
                            "sox -n -r 22050 -c 1 -b 32 -e floating-point '" + floats.string() +
                            "' synth 0.25 sine 300 vol 0.25";
    ASSERT_EQ(std::system(sox.c_str()), 0);

    const WavAudio a = readWav(stereo);
    EXPECT_EQ(a.sampleRate, 44100);
    EXPECT_EQ(a.channels, 2);
    EXPECT_EQ(a.interleaved.size(), 44100u);
    const auto mono = toMono16k(a);
    EXPECT_NEAR(static_cast<double>(mono.size()), 8000.0, 2.0);
    float peak = 0.0f;
    for (const float s : mono) {
        peak = std::max(peak, std::fabs(s));
    }
    EXPECT_NEAR(peak, 0.5f, 0.03f);

    const WavAudio b = readWav(floats);
    EXPECT_EQ(b.channels, 1);
    EXPECT_NEAR(static_cast<double>(toMono16k(b).size()), 4000.0, 2.0);
}

TEST(WavFile, ReadsACutOffDataChunkAsFarAsItGoesAndRefusesWhatItCannotRead)
{
    // Declares 8 bytes of 16-bit stereo, holds 6: one whole frame survives.
    const std::string cut = header(1, 2, 16000, 16, 8) + std::string("\x00\x40\x00\xc0\x00\x20", 6);
    const WavAudio audio = parseWav(cut);
    ASSERT_EQ(audio.interleaved.size(), 2u);
    EXPECT_FLOAT_EQ(audio.interleaved[0], 0.5f);
    EXPECT_FLOAT_EQ(audio.interleaved[1], -0.5f);

    EXPECT_THROW(parseWav("RIFF"), std::runtime_error);
    EXPECT_THROW(parseWav(std::string(64, '\0')), std::runtime_error);
    EXPECT_THROW(parseWav(header(1, 1, 16000, 8, 2) + "ab"), std::runtime_error) << "8-bit samples";
    EXPECT_THROW(parseWav(header(1, 0, 16000, 16, 2) + "ab"), std::runtime_error) << "no channels";
    EXPECT_THROW(parseWav(header(1, 1, 16000, 16, 0).substr(0, 36)), std::runtime_error) << "no data chunk";
    EXPECT_THROW(readWav("/nonexistent.wav"), std::runtime_error);
    // A 64 KB file claiming 1 Hz once made the resampler ask for 2 GB.
    EXPECT_THROW(parseWav(header(1, 1, 1, 16, 65536) + std::string(65536, '\x01')), std::runtime_error) << "1 Hz";
    EXPECT_THROW(parseWav(header(1, 1, 1000000, 16, 2) + "ab"), std::runtime_error) << "1 MHz";
}

TEST(WavFile, FloatSamplesBeyondFullScaleAreClippedAndNonNumbersAreSilence)
{
    const float samples[] = {0.25f, 2.0f, -7.5f, std::nanf(""), -std::numeric_limits<float>::infinity()};
    std::string bytes = header(3, 1, 16000, 32, sizeof samples);
    bytes.append(reinterpret_cast<const char*>(samples), sizeof samples);
    const WavAudio audio = parseWav(bytes);
    EXPECT_EQ(audio.interleaved, (std::vector<float>{0.25f, 1.0f, -1.0f, 0.0f, 0.0f}));
}

}  // namespace
}  // namespace korvane
