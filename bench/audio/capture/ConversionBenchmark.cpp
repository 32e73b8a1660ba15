// SPDX-License-Identifier: MIT
// Cost of turning one 4096-frame capture block into 16 kHz mono: the converter alone, and the whole
// path a block takes inside the recorder (conversion, level meter, append under the locks).
#include "audio/capture/AudioConverter.h"
#include "audio/capture/AudioRecorder.h"
#include "audio/capture/InputLevel.h"
#include "base/scheduling/VirtualMainQueue.h"
#include "bench/audio/capture/ManualCaptureEngine.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace korvane {
namespace {

constexpr std::size_t kBlockFrames = 4096;

// Speech-like test signal: a few partials plus noise, different on each channel.
std::vector<float> captureBlock(unsigned channels)
{
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 0.05f);
    std::vector<float> block(kBlockFrames * channels);
    for (std::size_t frame = 0; frame < kBlockFrames; ++frame) {
        const double t = static_cast<double>(frame) / 48000.0;
        const auto voice = static_cast<float>(0.3 * std::sin(2 * M_PI * 180 * t) + 0.2 * std::sin(2 * M_PI * 720 * t));
        for (unsigned channel = 0; channel < channels; ++channel) {
            block[frame * channels + channel] = voice + noise(random);
        }
    }
    return block;
}

void convertBlock(benchmark::State& state, double rate, unsigned channels)
{
    AudioConverter converter(CaptureFormat{rate, channels});
    const std::vector<float> block = captureBlock(channels);
    for (auto _ : state) {
        const auto output = converter.convert(block.data(), kBlockFrames);
        benchmark::DoNotOptimize(inputLevel(output));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kBlockFrames));
}

void BM_ConvertBlock_48kStereo(benchmark::State& state)
{
    convertBlock(state, 48000.0, 2);
}
BENCHMARK(BM_ConvertBlock_48kStereo)->Unit(benchmark::kMicrosecond);

void BM_ConvertBlock_44k1Mono(benchmark::State& state)
{
    convertBlock(state, 44100.0, 1);
}
BENCHMARK(BM_ConvertBlock_44k1Mono)->Unit(benchmark::kMicrosecond);

// The recorder's block handler: conversion, meter and append, as the capture thread runs it.
void BM_RecorderBlock_48kStereo(benchmark::State& state)
{
    VirtualMainQueue queue;
    auto engine = std::make_shared<bench::ManualCaptureEngine::Shared>();
    engine->format = {48000.0, 2};
    AudioRecorder recorder(
        queue, [engine] { return std::make_unique<bench::ManualCaptureEngine>(engine); }, [](std::string_view) {});
    const std::vector<float> block = captureBlock(2);
    recorder.start();
    std::size_t blocks = 0;
    for (auto _ : state) {
        engine->handler(block.data(), kBlockFrames);
        // Keep well under the cap so every block is really appended.
        if (++blocks == 5000) {
            state.PauseTiming();
            recorder.stop();
            recorder.start();
            blocks = 0;
            state.ResumeTiming();
        }
    }
    recorder.stop();
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kBlockFrames));
}
BENCHMARK(BM_RecorderBlock_48kStereo)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace korvane
