#include "audio/speech/SpeechDetector.h"

#include "base/logging/Logger.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <memory>
#include <string>

namespace korvane::SpeechDetector {

namespace {

constexpr float kSampleRate = 16000.0f;
constexpr int kFilterPoles = 2;
constexpr float kTwoPi = 6.283185f;

// The shortest text that reads back as the same float, so the log shows 0.0012 rather than
// 0.00120000006. Positional notation for the range levels live in (0.0005, not 5e-04), exponent
// notation only for magnitudes where positional text would run long.
std::string shortestText(float value)
{
    std::array<char, 64> buffer{};
    const float magnitude = std::fabs(value);
    const bool positional = magnitude == 0.0f || (magnitude >= 1e-4f && magnitude < 16777216.0f);
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      positional ? std::chars_format::fixed : std::chars_format::scientific);
    return std::string(buffer.data(), result.ptr);
}

// The run scan shared by longestRun and lastRunEnd: calls onSpeechFrame(index, runLength) for each
// true flag with the length of the run it belongs to. A run survives up to `allowedGap` false flags
// in a row; one more ends it.
template <typename OnSpeechFrame>
void scanRuns(std::span<const bool> flags, int allowedGap, OnSpeechFrame&& onSpeechFrame)
{
    const int gapLimit = std::max(allowedGap, 0);
    int run = 0;
    int gap = 0;
    for (std::size_t index = 0; index < flags.size(); ++index) {
        if (flags[index]) {
            ++run;
            gap = 0;
            onSpeechFrame(index, run);
        } else if (run > 0) {
            ++gap;
            if (gap > gapLimit) {
                run = 0;
                gap = 0;
            }
        }
    }
}

// The RC high-pass applied `poles` times, all passes in one sweep over the samples: pass k consumes
// pass k-1's output as soon as it is produced, which gives exactly the values of running the passes
// one after the other (each pass starts from rest with its own first input as previous input) while
// reading the samples once. The passes' recurrences are independent chains, so the processor works
// on them in parallel.
class CascadedHighPass {
public:
    CascadedHighPass(float cutoffHz, float sampleRate, int poles, float firstSample)
        : stages_(static_cast<std::size_t>(poles))
    {
        const float rc = 1.0f / (kTwoPi * cutoffHz);
        const float dt = 1.0f / sampleRate;
        alpha_ = rc / (rc + dt);
        // Each pass's previous input starts as its own first input, i.e. the previous pass's first
        // output (0 except for non-finite input).
        float input = firstSample;
        for (Stage& stage : stages_) {
            stage.previousInput = input;
            input = alpha_ * ((0.0f + input) - input);
        }
    }

    void process(const float* input, float* output, std::size_t count)
    {
        if (stages_.size() == 2) {
            processTwoPoles(input, output, count);
            return;
        }
        for (std::size_t index = 0; index < count; ++index) {
            float value = input[index];
            for (Stage& stage : stages_) {
                value = stage.step(alpha_, value);
            }
            output[index] = value;
        }
    }

private:
    struct Stage {
        float previousInput = 0.0f;
        float previousOutput = 0.0f;

        float step(float alpha, float input)
        {
            // Previous output plus input first, then the previous input taken off: the levels and
            // the logged noise floor are defined by this rounding order. Forming the input
            // difference first would be a little faster but changes the last bits of the levels.
            previousOutput = alpha * ((previousOutput + input) - previousInput);
            previousInput = input;
            return previousOutput;
        }
    };

    // The configuration in use, with the state in locals so that it stays in registers.
    void processTwoPoles(const float* input, float* output, std::size_t count)
    {
        Stage first = stages_[0];
        Stage second = stages_[1];
        const float alpha = alpha_;
        for (std::size_t index = 0; index < count; ++index) {
            output[index] = second.step(alpha, first.step(alpha, input[index]));
        }
        stages_[0] = first;
        stages_[1] = second;
    }

    std::vector<Stage> stages_;
    float alpha_ = 0.0f;
};

// Root-mean-square of one frame. Eight interleaved partial sums let the compiler use vector
// registers; the order of additions differs from a plain left-to-right sum only in the last bits.
float frameLevel(const float* frame, std::size_t length)
{
    constexpr std::size_t kLanes = 8;
    std::array<float, kLanes> partial{};
    std::size_t index = 0;
    for (; index + kLanes <= length; index += kLanes) {
        for (std::size_t lane = 0; lane < kLanes; ++lane) {
            partial[lane] += frame[index + lane] * frame[index + lane];
        }
    }
    float sum = 0.0f;
    for (float value : partial) {
        sum += value;
    }
    for (; index < length; ++index) {
        sum += frame[index] * frame[index];
    }
    return std::sqrt(sum / static_cast<float>(length));
}

// Frame levels of the filtered samples, filtering one frame at a time into a small buffer that
// stays in the cache instead of writing and re-reading a filtered copy of the whole recording. Gives
// the same values as frameRMS(highPassed(...)).
std::vector<float> filteredFrameLevels(std::span<const float> samples, float cutoffHz, int frameLength)
{
    if (cutoffHz <= 0.0f || samples.empty()) {
        return frameRMS(samples, frameLength);
    }
    if (frameLength <= 0 || samples.size() < static_cast<std::size_t>(frameLength)) {
        return {};
    }
    const auto length = static_cast<std::size_t>(frameLength);
    CascadedHighPass filter(cutoffHz, kSampleRate, kFilterPoles, samples.front());
    std::vector<float> frame(length);
    std::vector<float> levels(samples.size() / length);
    for (std::size_t index = 0; index < levels.size(); ++index) {
        filter.process(samples.data() + index * length, frame.data(), length);
        levels[index] = frameLevel(frame.data(), length);
    }
    return levels;
}

}  // namespace

std::vector<float> highPassed(std::span<const float> samples, float cutoffHz, float sampleRate, int poles)
{
    std::vector<float> output(samples.begin(), samples.end());
    if (cutoffHz <= 0.0f || sampleRate <= 0.0f || poles <= 0 || samples.empty()) {
        return output;
    }
    CascadedHighPass filter(cutoffHz, sampleRate, poles, samples.front());
    filter.process(samples.data(), output.data(), samples.size());
    return output;
}

std::vector<float> frameRMS(std::span<const float> samples, int frameLength)
{
    if (frameLength <= 0 || samples.size() < static_cast<std::size_t>(frameLength)) {
        return {};
    }
    const auto length = static_cast<std::size_t>(frameLength);
    std::vector<float> levels(samples.size() / length);
    for (std::size_t frame = 0; frame < levels.size(); ++frame) {
        levels[frame] = frameLevel(samples.data() + frame * length, length);
    }
    return levels;
}

float noiseFloor(std::span<const float> levels, double percentile)
{
    if (levels.empty()) {
        return 0.0f;
    }
    const double lastIndex = static_cast<double>(levels.size() - 1);
    const double wanted = std::trunc(percentile * lastIndex);
    // A NaN percentile would otherwise reach the integer conversion, which is undefined for it.
    const auto position = static_cast<std::size_t>(std::isnan(wanted) ? 0.0 : std::clamp(wanted, 0.0, lastIndex));
    // Only the element at `position` of the sorted order is needed; selecting it is linear. NaN
    // levels sort last: the selection needs a strict weak order, which plain < is not with NaN.
    std::vector<float> copy(levels.begin(), levels.end());
    std::nth_element(copy.begin(), copy.begin() + static_cast<std::ptrdiff_t>(position), copy.end(),
                     [](float left, float right) { return left < right || (!std::isnan(left) && std::isnan(right)); });
    return copy[position];
}

int longestRun(std::span<const bool> flags, int allowedGap)
{
    int best = 0;
    scanRuns(flags, allowedGap, [&best](std::size_t, int run) { best = std::max(best, run); });
    return best;
}

std::optional<std::size_t> lastRunEnd(std::span<const bool> flags, int minimumLength, int allowedGap)
{
    std::optional<std::size_t> end;
    scanRuns(flags, allowedGap, [&end, minimumLength](std::size_t index, int run) {
        if (run >= minimumLength) {
            end = index + 1;
        }
    });
    return end;
}

Analysis analyze(std::span<const float> samples, const Configuration& configuration)
{
    const std::vector<float> levels =
        filteredFrameLevels(samples, configuration.highPassCutoffHz, configuration.frameLength);
    if (levels.empty()) {
        return {};
    }

    std::vector<float> candidates;
    candidates.reserve(levels.size());
    std::copy_if(levels.begin(), levels.end(), std::back_inserter(candidates),
                 [&configuration](float level) { return level >= configuration.minimumFrameLevel; });
    const float floor = noiseFloor(candidates, configuration.noisePercentile);
    const float threshold = std::max(floor * configuration.noiseMultiplier, configuration.minimumThreshold);

    const auto flags = std::make_unique<bool[]>(levels.size());
    for (std::size_t index = 0; index < levels.size(); ++index) {
        flags[index] = levels[index] >= threshold || levels[index] >= configuration.loudFrameLevel;
    }
    const std::span<const bool> flagView(flags.get(), levels.size());

    Analysis analysis;
    analysis.noiseFloor = floor;
    analysis.longestRun = longestRun(flagView, configuration.allowedGap);
    analysis.hasSpeech = analysis.longestRun >= configuration.minimumSpeechRun;
    if (analysis.hasSpeech) {
        if (const auto endFrame = lastRunEnd(flagView, configuration.speechEndMinimumRun, configuration.allowedGap)) {
            analysis.speechEndSample = *endFrame * static_cast<std::size_t>(configuration.frameLength);
        }
    }

    Logger::log("Speech check: run=" + std::to_string(analysis.longestRun) + " frames floor=" + shortestText(floor) +
                " threshold=" + shortestText(threshold) + " frames=" + std::to_string(levels.size()));
    return analysis;
}

}  // namespace korvane::SpeechDetector
