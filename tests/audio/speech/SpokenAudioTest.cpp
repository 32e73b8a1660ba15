// SPDX-License-Identifier: MIT
// The detector against real recordings: sentences spoken by espeak-ng and noises made by sox,
// converted to the recorder's format (16 kHz mono float) at test time.
#include "audio/speech/SpeechDetector.h"
#include "tests/support/TempHome.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace korvane {
namespace {

constexpr std::size_t kRate = 16000;

bool toolAvailable(const char* tool)
{
    return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<float> readRawFloats(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<float> samples;
    float sample = 0.0f;
    while (in.read(reinterpret_cast<char*>(&sample), sizeof sample)) {
        samples.push_back(sample);
    }
    return samples;
}

class SpokenAudioTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!toolAvailable("espeak-ng") || !toolAvailable("sox")) {
            GTEST_SKIP() << "espeak-ng and sox are needed to make the recordings (tools/setup-deps.sh installs them)";
        }
    }

    // Runs a shell command in the scratch directory and fails the test when it fails.
    void run(const std::string& command)
    {
        const std::string line = "cd '" + home.path().string() + "' && " + command + " 2>&1";
        ASSERT_EQ(std::system(line.c_str()), 0) << line;
    }

    // A sentence spoken by espeak-ng, with `padSeconds` of silence on each side, mixed with `noise`
    // (a sox synth effect such as "whitenoise vol 0.003") when given. `clean` receives the sentence
    // without the noise.
    std::vector<float> spoken(const std::string& sentence, double padSeconds, const std::string& noise,
                              std::vector<float>& clean)
    {
        run("espeak-ng -w said.wav '" + sentence + "'");
        run("sox said.wav -r 16000 -c 1 -e floating-point -b 32 said.f32.wav pad " + std::to_string(padSeconds) + " " +
            std::to_string(padSeconds));
        run("sox said.f32.wav -t raw clean.f32");
        clean = readRawFloats(home.path() / "clean.f32");
        std::string source = "said.f32.wav";
        if (!noise.empty()) {
            run("sox said.f32.wav noise.wav synth " + noise);
            run("sox -m said.f32.wav noise.wav mixed.wav");
            source = "mixed.wav";
        }
        run("sox " + source + " -t raw -e floating-point -b 32 said.f32");
        return readRawFloats(home.path() / "said.f32");
    }

    std::vector<float> synthesized(double seconds, const std::string& effect)
    {
        run("sox -n -r 16000 -c 1 -e floating-point -b 32 -t raw made.f32 synth " + std::to_string(seconds) + " " +
            effect);
        return readRawFloats(home.path() / "made.f32");
    }

    testing::TempHome home;
};

// Index just after the last clearly audible sample: where the words end.
std::size_t wordsEnd(const std::vector<float>& samples)
{
    for (std::size_t index = samples.size(); index > 0; --index) {
        if (std::fabs(samples[index - 1]) >= 0.01f) {
            return index;
        }
    }
    return 0;
}

TEST_F(SpokenAudioTest, SpokenSentencesAreSpeechEndingWithTheWords)
{
    struct Case {
        const char* sentence;
        double padSeconds;
        const char* noise;
    };
    for (const auto& [sentence, padSeconds, noise] : std::vector<Case>{
             {"The quick brown fox jumps over the lazy dog", 1.0, ""},
             {"Send the report to Kubernetes team by Friday", 0.5, ""},
             {"Hello", 1.0, ""},
             {"Please call me back tomorrow morning", 1.0, "whitenoise vol 0.002"},
             {"Please call me back tomorrow morning", 1.0, "sine 50 vol 0.05"},
         }) {
        SCOPED_TRACE(std::string(sentence) + " / " + noise);
        std::vector<float> clean;
        const auto samples = spoken(sentence, padSeconds, noise, clean);
        ASSERT_GT(samples.size(), kRate);
        const auto analysis = SpeechDetector::analyze(samples);
        EXPECT_TRUE(analysis.hasSpeech) << "longest run " << analysis.longestRun;
        ASSERT_TRUE(analysis.speechEndSample.has_value());
        // The end falls within 0.1 s of the last audible sample of the words.
        const auto end = static_cast<double>(*analysis.speechEndSample);
        const auto expected = static_cast<double>(wordsEnd(clean));
        EXPECT_GT(end, expected - 0.1 * kRate) << "speech end " << end << ", words end " << expected;
        EXPECT_LT(end, expected + 0.1 * kRate) << "speech end " << end << ", words end " << expected;
    }
}

TEST_F(SpokenAudioTest, SilenceHumNoiseAndAClickAreNotSpeech)
{
    std::vector<float> click(2 * kRate, 0.0f);
    click[kRate] = 0.9f;
    struct Case {
        const char* label;
        std::vector<float> samples;
    };
    const std::vector<Case> cases{
        {"digital silence", std::vector<float>(2 * kRate, 0.0f)},
        {"DC offset", std::vector<float>(2 * kRate, 0.25f)},
        {"single click", click},
        {"low white noise", synthesized(3, "whitenoise vol 0.003")},
        {"low pink noise", synthesized(3, "pinknoise vol 0.005")},
        {"mains hum", synthesized(3, "sine 50 vol 0.05")},
    };
    for (const auto& [label, samples] : cases) {
        SCOPED_TRACE(label);
        const auto analysis = SpeechDetector::analyze(samples);
        EXPECT_FALSE(analysis.hasSpeech) << "longest run " << analysis.longestRun;
        EXPECT_EQ(analysis.speechEndSample, std::nullopt);
    }
}

}  // namespace
}  // namespace korvane
