#include "audio/capture/AudioConverter.h"

#include "audio/capture/AudioRecorderError.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>

namespace korvane {

namespace {

// Output room for one input block: its duration at 16 kHz plus slack for what the resampler held
// back from earlier blocks. Enough in practice; convert() grows the buffer if it ever is not.
std::size_t outputCapacityFor(std::size_t frameCount, double inputRate)
{
    const double frames = static_cast<double>(frameCount) * AudioConverter::outputSampleRate / inputRate + 1024.0;
    return static_cast<std::size_t>(frames);
}

}  // namespace

AudioConverter::AudioConverter(const CaptureFormat& input) : input_(input)
{
    if (!input_.isUsable()) {
        throw AudioRecorderError::converterCreationFailed();
    }
    if (input_.sampleRate != outputSampleRate) {
        soxr_error_t error = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        // One thread: the resampler runs inside the capture callback and must not fan out.
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        resampler_ = soxr_create(input_.sampleRate, outputSampleRate, 1, &error, &io, &quality, &runtime);
        if (resampler_ == nullptr || error != nullptr) {
            soxr_delete(resampler_);
            throw AudioRecorderError::converterCreationFailed();
        }
    }
    output_.resize(outputCapacityFor(4096, input_.sampleRate));
}

AudioConverter::~AudioConverter()
{
    soxr_delete(resampler_);
}

const float* AudioConverter::downmix(const float* interleaved, std::size_t frameCount)
{
    if (mono_.size() < frameCount) {
        mono_.resize(frameCount);
    }
    const std::size_t channels = input_.channelCount;
    const float scale = 1.0f / static_cast<float>(channels);
    for (std::size_t frame = 0; frame < frameCount; ++frame) {
        const float* samples = interleaved + frame * channels;
        float sum = 0.0f;
        for (std::size_t channel = 0; channel < channels; ++channel) {
            sum += samples[channel];
        }
        const float mean = sum * scale;
        mono_[frame] = std::isfinite(mean) ? mean : 0.0f;
    }
    return mono_.data();
}

void AudioConverter::ensureOutputRoom(std::size_t produced, std::size_t wanted)
{
    if (output_.size() < produced + wanted) {
        output_.resize(produced + wanted);
    }
}

std::span<const float> AudioConverter::convert(const float* interleaved, std::size_t frameCount)
{
    if (frameCount == 0) {
        return {};
    }
    const float* mono = downmix(interleaved, frameCount);
    if (resampler_ == nullptr) {
        return {mono, frameCount};
    }

    const std::size_t capacity = outputCapacityFor(frameCount, input_.sampleRate);
    ensureOutputRoom(0, capacity);
    std::size_t consumed = 0;
    std::size_t produced = 0;
    for (;;) {
        if (produced == output_.size()) {
            ensureOutputRoom(produced, capacity);
        }
        std::size_t used = 0;
        std::size_t made = 0;
        const soxr_error_t error = soxr_process(resampler_, mono + consumed, frameCount - consumed, &used,
                                                output_.data() + produced, output_.size() - produced, &made);
        if (error != nullptr) {
            throw AudioConverterError(error);
        }
        consumed += used;
        produced += made;
        const bool outputFull = produced == output_.size();
        if ((consumed == frameCount && !outputFull) || (used == 0 && made == 0)) {
            break;
        }
    }
    return {output_.data(), produced};
}

std::span<const float> AudioConverter::drain()
{
    if (resampler_ == nullptr) {
        return {};
    }
    std::size_t produced = 0;
    for (;;) {
        if (produced == output_.size()) {
            ensureOutputRoom(produced, 4096);
        }
        std::size_t made = 0;
        const soxr_error_t error =
            soxr_process(resampler_, nullptr, 0, nullptr, output_.data() + produced, output_.size() - produced, &made);
        if (error != nullptr) {
            throw AudioConverterError(error);
        }
        produced += made;
        if (made == 0 || produced < output_.size()) {
            break;
        }
    }
    return {output_.data(), produced};
}

void AudioConverter::reset()
{
    if (resampler_ != nullptr) {
        soxr_clear(resampler_);
    }
}

}  // namespace korvane
