// SPDX-License-Identifier: MIT
// Peak memory of a recording that runs into the ten-minute cap: 9,600,000 floats (38.4 MB) of
// samples, and whatever the recorder needs on top while recording and handing them over.
#include "audio/capture/AudioRecorder.h"
#include "base/scheduling/VirtualMainQueue.h"
#include "bench/audio/capture/ManualCaptureEngine.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

namespace korvane {
namespace {

// A field of /proc/self/status in kB ("VmHWM", "VmRSS"); -1 when unreadable.
long statusKilobytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stol(line.substr(field.size() + 1));
        }
    }
    return -1;
}

// Lets VmHWM start again from the current resident size.
void resetPeakResidentSize()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_TenMinuteRecordingPeakMemory(benchmark::State& state)
{
    constexpr std::size_t blockFrames = 4096;
    const std::vector<float> block(blockFrames * 2, 0.25f);
    for (auto _ : state) {
        VirtualMainQueue queue;
        auto engine = std::make_shared<bench::ManualCaptureEngine::Shared>();
        engine->format = {48000.0, 2};
        AudioRecorder recorder(
            queue, [engine] { return std::make_unique<bench::ManualCaptureEngine>(engine); }, [](std::string_view) {});

        resetPeakResidentSize();
        const long before = statusKilobytes("VmRSS");
        recorder.start();
        // Ten minutes and a little more, so the cap is reached.
        for (std::size_t frames = 0; frames < 48000u * 605u; frames += blockFrames) {
            engine->handler(block.data(), blockFrames);
        }
        queue.runUntilIdle();
        std::vector<float> samples = recorder.stop();
        const long peak = statusKilobytes("VmHWM");
        benchmark::DoNotOptimize(samples.data());

        const double samplesMB = static_cast<double>(samples.size() * sizeof(float)) / 1e6;
        const double peakMB = static_cast<double>(peak - before) * 1024.0 / 1e6;
        state.counters["samples_MB"] = samplesMB;
        state.counters["peak_growth_MB"] = peakMB;
        state.counters["overhead_pct"] = (peakMB / samplesMB - 1.0) * 100.0;
    }
}
BENCHMARK(BM_TenMinuteRecordingPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane
