// SPDX-License-Identifier: MIT
// Speech analysis of the longest recording the recorder keeps: ten minutes at 16 kHz.
#include "audio/speech/SpeechDetector.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr std::size_t kTenMinutes = 9'600'000;

// Low noise with a 200 Hz tone switched on for one second in every three, like talk with pauses.
std::vector<float> tenMinutesOfTalk()
{
    std::vector<float> samples(kTenMinutes);
    std::mt19937 generator(7);
    std::normal_distribution<float> noise(0.0f, 0.002f);
    for (std::size_t index = 0; index < samples.size(); ++index) {
        const bool talking = (index / 16000) % 3 == 0;
        const float tone = talking ? 0.2f * std::sin(0.0785398f * static_cast<float>(index % 16000)) : 0.0f;
        samples[index] = tone + noise(generator);
    }
    return samples;
}

void analyzeTenMinutes(benchmark::State& state)
{
    const std::vector<float> samples = tenMinutesOfTalk();
    for (auto _ : state) {
        benchmark::DoNotOptimize(korvane::SpeechDetector::analyze(samples));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * samples.size()));
}
BENCHMARK(analyzeTenMinutes)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void highPassTenMinutes(benchmark::State& state)
{
    const std::vector<float> samples = tenMinutesOfTalk();
    for (auto _ : state) {
        benchmark::DoNotOptimize(korvane::SpeechDetector::highPassed(samples, 80.0f, 16000.0f, 2));
    }
}
BENCHMARK(highPassTenMinutes)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void frameLevelsTenMinutes(benchmark::State& state)
{
    const std::vector<float> samples = tenMinutesOfTalk();
    for (auto _ : state) {
        benchmark::DoNotOptimize(korvane::SpeechDetector::frameRMS(samples, 160));
    }
}
BENCHMARK(frameLevelsTenMinutes)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
