#include "tests/support/pulse/SpeechClip.h"

#include "tests/support/process/Programs.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>

namespace korvane::testing {

namespace {

std::vector<float> readFloats(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::vector<float> samples(std::filesystem::file_size(path) / sizeof(float));
    file.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size() * sizeof(float)));
    if (!file) {
        throw std::runtime_error("could not read " + path.string());
    }
    return samples;
}

// Normalised correlation of `reference` with `recording` starting at `offset`.
double correlationAt(const std::vector<float>& recording, const std::vector<float>& reference, std::size_t offset)
{
    double product = 0.0;
    double recordingEnergy = 0.0;
    double referenceEnergy = 0.0;
    for (std::size_t index = 0; index < reference.size(); ++index) {
        const double a = recording[offset + index];
        const double b = reference[index];
        product += a * b;
        recordingEnergy += a * a;
        referenceEnergy += b * b;
    }
    const double norm = std::sqrt(recordingEnergy * referenceEnergy);
    return norm > 0.0 ? product / norm : 0.0;
}

std::vector<float> decimate(const std::vector<float>& samples, std::size_t factor)
{
    std::vector<float> reduced(samples.size() / factor);
    for (std::size_t index = 0; index < reduced.size(); ++index) {
        float sum = 0.0f;
        for (std::size_t step = 0; step < factor; ++step) {
            sum += samples[index * factor + step];
        }
        reduced[index] = sum / static_cast<float>(factor);
    }
    return reduced;
}

}  // namespace

SpeechClip SpeechClip::make(const std::filesystem::path& directory, const std::string& name, const std::string& text,
                            unsigned rate, unsigned channels, double trailingSilence)
{
    const auto spoken = directory / (name + "-espeak.wav");
    runProgram({"espeak-ng", "-v", "en-us", "-s", "170", "-w", spoken.string(), text});

    SpeechClip clip;
    clip.soundFile = directory / (name + ".wav");
    runProgram({"sox", spoken.string(), "-e", "floating-point", "-b", "32", "-r", std::to_string(rate), "-c",
                std::to_string(channels), clip.soundFile.string(), "pad", "0", std::to_string(trailingSilence)});
    const auto referenceFile = directory / (name + "-16k.raw");
    runProgram({"sox", spoken.string(), "-t", "raw", "-e", "floating-point", "-b", "32", "-r", "16000", "-c", "1",
                referenceFile.string()});
    std::vector<float> reference = readFloats(referenceFile);
    clip.seconds = static_cast<double>(reference.size()) / 16000.0 + trailingSilence;
    // Only the speech itself: silence at either end would match anything.
    const auto audible = [](float sample) { return std::fabs(sample) > 1e-3f; };
    const auto first = std::find_if(reference.begin(), reference.end(), audible);
    const auto last = std::find_if(reference.rbegin(), reference.rend(), audible).base();
    if (first >= last) {
        throw std::runtime_error("espeak-ng produced no audible speech for \"" + text + "\"");
    }
    clip.reference.assign(first, last);
    return clip;
}

SignalMatch findSignal(const std::vector<float>& recording, const std::vector<float>& reference)
{
    if (reference.empty() || recording.size() < reference.size()) {
        return {};
    }
    constexpr std::size_t factor = 4;
    const std::vector<float> coarseRecording = decimate(recording, factor);
    const std::vector<float> coarseReference = decimate(reference, factor);
    std::size_t coarseBest = 0;
    double coarseScore = -2.0;
    for (std::size_t offset = 0; offset + coarseReference.size() <= coarseRecording.size(); ++offset) {
        const double score = correlationAt(coarseRecording, coarseReference, offset);
        if (score > coarseScore) {
            coarseScore = score;
            coarseBest = offset;
        }
    }

    SignalMatch best;
    best.correlation = -2.0;
    const std::size_t centre = coarseBest * factor;
    const std::size_t first = centre >= 2 * factor ? centre - 2 * factor : 0;
    const std::size_t last = std::min(centre + 2 * factor, recording.size() - reference.size());
    for (std::size_t offset = first; offset <= last; ++offset) {
        const double score = correlationAt(recording, reference, offset);
        if (score > best.correlation) {
            best = {offset, score};
        }
    }
    return best;
}

}  // namespace korvane::testing
