#include "audio/speech/SpeechDetector.h"
#include "base/logging/Logger.h"
#include "tests/support/TempHome.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Optional;

// Flags written as text: 'T' for a speech frame, anything else for a quiet one.
class Flags {
public:
    explicit Flags(const std::string& pattern) : size_(pattern.size()), flags_(std::make_unique<bool[]>(size_))
    {
        for (std::size_t index = 0; index < size_; ++index) {
            flags_[index] = pattern[index] == 'T';
        }
    }
    std::span<const bool> view() const { return {flags_.get(), size_}; }

private:
    std::size_t size_;
    std::unique_ptr<bool[]> flags_;
};

int longestRunOf(const std::string& pattern, int allowedGap)
{
    return SpeechDetector::longestRun(Flags(pattern).view(), allowedGap);
}

std::optional<std::size_t> lastRunEndOf(const std::string& pattern, int minimumLength, int allowedGap)
{
    return SpeechDetector::lastRunEnd(Flags(pattern).view(), minimumLength, allowedGap);
}

// Frames of constant value: with the filter switched off their levels are exactly these values
// (powers of two square, sum and divide without rounding).
std::vector<float> framesOf(const std::vector<std::pair<float, int>>& runs, int frameLength = 160)
{
    std::vector<float> samples;
    for (const auto& [value, frames] : runs) {
        samples.insert(samples.end(), static_cast<std::size_t>(frames * frameLength), value);
    }
    return samples;
}

SpeechDetector::Configuration unfiltered()
{
    SpeechDetector::Configuration configuration;
    configuration.highPassCutoffHz = 0.0f;
    return configuration;
}

TEST(SpeechDetectorRuns, BridgeShortGapsWithoutCountingThem)
{
    struct Case {
        const char* pattern;
        int allowedGap;
        int longest;
    };
    for (const auto& [pattern, allowedGap, longest] : std::vector<Case>{
             {"", 1, 0},
             {"FFFF", 1, 0},
             {"TTFTT", 1, 4},
             {"TTFFTT", 1, 2},
             {"FFTTTFF", 1, 3},
             {"TTTTTTTTTTFFFFFTT", 1, 10},
             {"TFTFTFTFT", 1, 5},
             {"TFTFTFTFT", 0, 1},
             {"TFTFTFTFT", -3, 1},  // a negative gap means none
             {"TTFFTTFFT", 2, 5},
         }) {
        EXPECT_EQ(longestRunOf(pattern, allowedGap), longest) << pattern << " gap " << allowedGap;
    }
}

TEST(SpeechDetectorRuns, SpeechEndIsTheLastFrameOfARunLongEnough)
{
    // The final run of two never reaches three, so the end stays after frame 10.
    EXPECT_THAT(lastRunEndOf("TTTTTTTTTTFFFFFTT", 3, 1), Optional(10u));
    EXPECT_THAT(lastRunEndOf("TTTFFFTTTT", 3, 1), Optional(10u));
    // Later frames of a qualifying run keep moving the end, bridged gaps included.
    EXPECT_THAT(lastRunEndOf("FTTTFTF", 3, 1), Optional(6u));
    EXPECT_EQ(lastRunEndOf("TTFFTTFFTT", 3, 1), std::nullopt);
    EXPECT_EQ(lastRunEndOf("", 3, 1), std::nullopt);
}

TEST(SpeechDetectorLevels, FrameRmsIgnoresATrailingPartialFrame)
{
    std::vector<float> samples(330, 0.0f);
    for (std::size_t index = 0; index < 160; ++index) {
        samples[index] = index % 2 == 0 ? 0.5f : -0.5f;
    }
    samples[200] = 4.0f;  // 16 / 160 = 0.1 mean square
    samples[325] = 9.0f;  // in the ignored partial frame
    const auto levels = SpeechDetector::frameRMS(samples, 160);
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_FLOAT_EQ(levels[0], 0.5f);
    EXPECT_FLOAT_EQ(levels[1], std::sqrt(0.1f));
    EXPECT_THAT(SpeechDetector::frameRMS(samples, 0), IsEmpty());
    EXPECT_THAT(SpeechDetector::frameRMS(std::vector<float>(159, 1.0f), 160), IsEmpty());
    EXPECT_THAT(SpeechDetector::frameRMS(std::vector<float>(7, 2.0f), 7), ElementsAre(2.0f));
}

TEST(SpeechDetectorLevels, NoiseFloorIsAPercentileOfTheSortedLevels)
{
    EXPECT_EQ(SpeechDetector::noiseFloor({}, 0.1), 0.0f);
    EXPECT_EQ(SpeechDetector::noiseFloor(std::vector<float>{0.25f}, 0.1), 0.25f);
    std::vector<float> levels;
    for (int index = 311; index >= 0; --index) {
        levels.push_back(static_cast<float>(index));
    }
    EXPECT_EQ(SpeechDetector::noiseFloor(levels, 0.1), 31.0f);  // 0.1 x 311 = 31.1, truncated
    EXPECT_EQ(SpeechDetector::noiseFloor(levels, 0.0), 0.0f);
    EXPECT_EQ(SpeechDetector::noiseFloor(levels, 2.0), 311.0f);
    EXPECT_EQ(SpeechDetector::noiseFloor(levels, -1.0), 0.0f);
    // Broken input from a failing device must not break the selection.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(SpeechDetector::noiseFloor(std::vector<float>{nan, 0.5f, nan, 0.1f}, 0.4), 0.5f);
    EXPECT_EQ(SpeechDetector::noiseFloor(levels, std::numeric_limits<double>::quiet_NaN()), 0.0f);
}

TEST(SpeechDetectorFilter, StartsFromRestAndLeavesInvalidSettingsAlone)
{
    const std::vector<float> step{0.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    const float rc = 1.0f / (6.283185f * 80.0f);
    const float alpha = rc / (rc + 1.0f / 16000.0f);
    const auto once = SpeechDetector::highPassed(step, 80.0f, 16000.0f, 1);
    ASSERT_EQ(once.size(), step.size());
    EXPECT_EQ(once[0], 0.0f);
    EXPECT_FLOAT_EQ(once[1], alpha);
    // One step pinned to the bit: alpha * ((previous output + input) - previous input) rounds to
    // 0x1.e148f8p-1 here, while alpha * (previous output + (input - previous input)) gives
    // 0x1.e148f6p-1, one unit in the last place away: too close for EXPECT_FLOAT_EQ to tell apart.
    EXPECT_EQ(once[2], 0x1.e148f8p-1f);
    EXPECT_FLOAT_EQ(once[4], alpha * alpha * alpha * alpha);
    // A second pass starts again from rest on the first pass's output.
    const auto twice = SpeechDetector::highPassed(step, 80.0f, 16000.0f, 2);
    EXPECT_EQ(twice[0], 0.0f);
    EXPECT_FLOAT_EQ(twice[1], alpha * alpha);

    EXPECT_EQ(SpeechDetector::highPassed(step, 0.0f, 16000.0f, 2), step);
    EXPECT_EQ(SpeechDetector::highPassed(step, 80.0f, -1.0f, 2), step);
    EXPECT_EQ(SpeechDetector::highPassed(step, 80.0f, 16000.0f, 0), step);
    EXPECT_THAT(SpeechDetector::highPassed({}, 80.0f, 16000.0f, 2), IsEmpty());
}

TEST(SpeechDetectorAnalysis, NeedsAtLeastOneFrameAndIgnoresSilenceAndDc)
{
    const auto tooShort = SpeechDetector::analyze(std::vector<float>(159, 0.5f));
    EXPECT_FALSE(tooShort.hasSpeech);
    EXPECT_EQ(tooShort.longestRun, 0);
    EXPECT_EQ(tooShort.noiseFloor, 0.0f);
    EXPECT_EQ(tooShort.speechEndSample, std::nullopt);

    // Digital silence leaves no candidates for the floor.
    const auto silence = SpeechDetector::analyze(std::vector<float>(16000, 0.0f));
    EXPECT_FALSE(silence.hasSpeech);
    EXPECT_EQ(silence.noiseFloor, 0.0f);
    EXPECT_EQ(silence.longestRun, 0);

    // A constant offset, however large, is removed by the filter.
    const auto dc = SpeechDetector::analyze(std::vector<float>(16000, 0.7f));
    EXPECT_FALSE(dc.hasSpeech);
    EXPECT_LT(dc.longestRun, 3);
}

TEST(SpeechDetectorAnalysis, LevelsExactlyAtTheThresholdOrTheLoudLevelAreSpeech)
{
    constexpr float noise = 0.0009765625f;  // 2^-10: floor, threshold 2^-9
    constexpr float atThreshold = 0.001953125f;
    const auto samples = framesOf({{noise, 60}, {atThreshold, 9}, {noise, 31}});
    const auto analysis = SpeechDetector::analyze(samples, unfiltered());
    EXPECT_EQ(analysis.noiseFloor, noise);
    EXPECT_EQ(analysis.longestRun, 9);
    EXPECT_TRUE(analysis.hasSpeech);
    EXPECT_THAT(analysis.speechEndSample, Optional(69u * 160u));

    // Nine frames below the threshold (floor 0.046875, threshold 0.09375) but exactly at the loud level.
    auto configuration = unfiltered();
    configuration.loudFrameLevel = 0.0625f;
    const auto loud = framesOf({{0.046875f, 40}, {0.0625f, 9}, {0.046875f, 51}});
    EXPECT_EQ(SpeechDetector::analyze(loud, configuration).longestRun, 9);
    configuration.loudFrameLevel = std::nextafter(0.0625f, 1.0f);
    EXPECT_EQ(SpeechDetector::analyze(loud, configuration).longestRun, 0);
}

TEST(SpeechDetectorAnalysis, ShortBurstsAreNotSpeechAndTheEndNeedsThreeFrames)
{
    const auto eight = SpeechDetector::analyze(framesOf({{0.0f, 20}, {0.5f, 8}, {0.0f, 20}}), unfiltered());
    EXPECT_EQ(eight.longestRun, 8);
    EXPECT_FALSE(eight.hasSpeech);
    EXPECT_EQ(eight.speechEndSample, std::nullopt);

    const auto nine = SpeechDetector::analyze(framesOf({{0.0f, 20}, {0.5f, 9}, {0.0f, 20}}), unfiltered());
    EXPECT_TRUE(nine.hasSpeech);
    EXPECT_THAT(nine.speechEndSample, Optional(29u * 160u));

    const auto tail = SpeechDetector::analyze(framesOf({{0.5f, 10}, {0.0f, 5}, {0.5f, 2}}), unfiltered());
    EXPECT_EQ(tail.longestRun, 10);
    EXPECT_TRUE(tail.hasSpeech);
    EXPECT_THAT(tail.speechEndSample, Optional(1600u));
}

TEST(SpeechDetectorAnalysis, AgreesWithTheStagesRunOneByOne)
{
    // Noise with a louder stretch in the middle: the analysis works frame by frame, and must give
    // the values of filtering the whole buffer, then measuring frames, then taking the floor.
    std::vector<float> samples(48'000);
    unsigned state = 17;
    for (std::size_t index = 0; index < samples.size(); ++index) {
        state = state * 1664525u + 1013904223u;
        const float noise = static_cast<float>(state >> 8) / 16777216.0f - 0.5f;
        samples[index] = 0.3f + noise * (index > 16'000 && index < 30'000 ? 0.2f : 0.004f);
    }
    const auto levels = SpeechDetector::frameRMS(SpeechDetector::highPassed(samples, 80.0f, 16000.0f, 2), 160);
    std::vector<float> candidates;
    for (float level : levels) {
        if (level >= 0.0001f) {
            candidates.push_back(level);
        }
    }
    const auto analysis = SpeechDetector::analyze(samples);
    EXPECT_EQ(analysis.noiseFloor, SpeechDetector::noiseFloor(candidates, 0.1));
    EXPECT_TRUE(analysis.hasSpeech);
    EXPECT_EQ(analysis.longestRun, 88);
}

// The messages written to the debug log while it exists, without their time stamps.
class LoggedMessages {
public:
    LoggedMessages() { Logger::setEnabled(true); }
    ~LoggedMessages() { Logger::setEnabled(false); }
    LoggedMessages(const LoggedMessages&) = delete;
    LoggedMessages& operator=(const LoggedMessages&) = delete;

    std::vector<std::string> messages() const
    {
        std::vector<std::string> found;
        std::istringstream lines(testing::readFile(Logger::logFilePath()));
        for (std::string line; std::getline(lines, line);) {
            found.push_back(line.substr(line.find(' ') + 1));
        }
        return found;
    }

private:
    testing::TempHome home_;
};

TEST(SpeechDetectorAnalysis, LogsLevelsInTheirShortestExactForm)
{
    const LoggedMessages log;
    SpeechDetector::analyze(std::vector<float>(159, 0.5f));
    SpeechDetector::analyze(std::vector<float>(16000, 0.0f));
    SpeechDetector::analyze(framesOf({{0.0009765625f, 60}, {0.001953125f, 9}, {0.0009765625f, 31}}), unfiltered());
    SpeechDetector::Configuration tiny;
    tiny.minimumThreshold = 0.00001f;
    SpeechDetector::analyze(std::vector<float>(1600, 0.0f), tiny);
    EXPECT_THAT(log.messages(),
                ElementsAre("Speech check: run=0 frames floor=0 threshold=0.0005 frames=100",
                            "Speech check: run=9 frames floor=0.0009765625 threshold=0.001953125 frames=100",
                            "Speech check: run=0 frames floor=0 threshold=1e-05 frames=10"));
}

}  // namespace
}  // namespace korvane
