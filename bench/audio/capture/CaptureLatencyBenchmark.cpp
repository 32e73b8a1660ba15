// SPDX-License-Identifier: MIT
// Time from AudioRecorder::start() to the first converted samples, on a private PulseAudio daemon
// (the test harness's) whose 48 kHz stereo source runs like a microphone. The first word of a
// dictation is lost if this is long. The first start also connects to the server; later ones reuse
// the connection, as the application does from its second dictation on.
#include "audio/capture/AudioRecorder.h"
#include "base/scheduling/VirtualMainQueue.h"
#include "platform/linux/pulse/PulseCaptureEngine.h"
#include "tests/support/pulse/PulseTestDaemon.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace korvane {
namespace {

using Clock = std::chrono::steady_clock;

// Passes everything to the PulseAudio engine and notes when the recorder has finished converting
// the first block after a start.
class TimedEngine final : public CaptureEngine {
public:
    CaptureFormat inputFormat() override
    {
        const CaptureFormat format = inner_.inputFormat();
        formatRead_ = Clock::now();
        return format;
    }

    void startCapture(const CaptureFormat& format, BlockHandler onBlock) override
    {
        {
            std::lock_guard lock(mutex_);
            firstBlockDone_.reset();
        }
        inner_.startCapture(format, [this, onBlock = std::move(onBlock)](const float* data, std::size_t frames) {
            onBlock(data, frames);  // converts and appends before returning
            std::lock_guard lock(mutex_);
            if (!firstBlockDone_) {
                firstBlockDone_ = Clock::now();
                firstBlockFrames_ = frames;
                arrived_.notify_all();
            }
        });
        streamReady_ = Clock::now();
    }

    // The benchmark records the default input; a chosen source passes through untimed.
    std::optional<InputSourceDescription> describeSource(const std::string& name) override
    {
        return inner_.describeSource(name);
    }
    void startCaptureFrom(const CaptureSource& source, const CaptureFormat& format, BlockHandler onBlock) override
    {
        inner_.startCaptureFrom(source, format, std::move(onBlock));
    }

    void stopCapture() override { inner_.stopCapture(); }
    void setConfigurationChangeHandler(std::function<void()> onChange) override
    {
        inner_.setConfigurationChangeHandler(std::move(onChange));
    }

    // When the first block after the last start was converted; empty after 5 s without one.
    std::optional<Clock::time_point> waitForFirstBlock()
    {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, std::chrono::seconds(5), [this] { return firstBlockDone_.has_value(); });
        return firstBlockDone_;
    }

    Clock::time_point formatRead() const { return formatRead_; }
    Clock::time_point streamReady() const { return streamReady_; }
    std::size_t firstBlockFrames() const { return firstBlockFrames_; }

private:
    PulseCaptureEngine inner_;
    Clock::time_point formatRead_;
    Clock::time_point streamReady_;
    std::size_t firstBlockFrames_ = 0;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::optional<Clock::time_point> firstBlockDone_;
};

// An engine factory for AudioRecorder that also tells the caller which engine it made.
auto timedEngineFactory(TimedEngine*& made)
{
    return [&made] {
        auto engine = std::make_unique<TimedEngine>();
        made = engine.get();
        return engine;
    };
}

void measureStarts(benchmark::State& state, bool connected)
{
    testing::PulseTestDaemon daemon({{"mic", 48000, 2}});
    VirtualMainQueue queue;
    {
        // The very first stream on a freshly started daemon waits for the source to come up (most of
        // a second here); a desktop's daemon has long been running when someone dictates.
        TimedEngine* engine = nullptr;
        AudioRecorder warmUp(queue, timedEngineFactory(engine), [](std::string_view) {});
        warmUp.start();
        engine->waitForFirstBlock();
        warmUp.stop();
    }
    double formatSeconds = 0.0;
    double readySeconds = 0.0;
    double frames = 0.0;
    for (auto _ : state) {
        TimedEngine* engine = nullptr;
        AudioRecorder recorder(queue, timedEngineFactory(engine), [](std::string_view) {});
        if (connected) {
            recorder.start();  // connect once, outside the measurement
            engine->waitForFirstBlock();
            recorder.stop();
        }
        const auto started = Clock::now();
        recorder.start();
        const auto firstBlock = engine->waitForFirstBlock();
        if (!firstBlock) {
            state.SkipWithError("no audio within 5 s");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(*firstBlock - started).count());
        formatSeconds += std::chrono::duration<double>(engine->formatRead() - started).count();
        readySeconds += std::chrono::duration<double>(engine->streamReady() - started).count();
        frames += static_cast<double>(engine->firstBlockFrames());
        recorder.stop();
    }
    // Where the time goes: reading the source's format (connecting first, when new), the stream
    // becoming ready, and the size of the first block.
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["format_read_ms"] = formatSeconds / iterations * 1000.0;
    state.counters["stream_ready_ms"] = readySeconds / iterations * 1000.0;
    state.counters["first_block_frames"] = frames / iterations;
}

void BM_StartToFirstSamples_NewConnection(benchmark::State& state)
{
    measureStarts(state, false);
}
BENCHMARK(BM_StartToFirstSamples_NewConnection)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_StartToFirstSamples_Connected(benchmark::State& state)
{
    measureStarts(state, true);
}
BENCHMARK(BM_StartToFirstSamples_Connected)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane
