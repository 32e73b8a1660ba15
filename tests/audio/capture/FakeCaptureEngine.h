#pragma once

#include "audio/capture/AudioRecorder.h"
#include "audio/capture/CaptureEngine.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvane::testing {

// What the fake engine was asked and what it answers. The recorder owns the engine, so the test keeps
// this shared state to script answers, deliver blocks "from the capture thread" and raise changes.
struct FakeEngineState {
    std::mutex mutex;
    std::vector<std::string> calls;
    CaptureFormat format{48000.0, 2};
    // The sources describeSource() knows by name; "" is the default one. Absent names are missing.
    std::map<std::string, InputSourceDescription> sources;
    CaptureSource capturingFrom;
    std::optional<std::string> inputFormatError;
    std::optional<std::string> startError;
    int enginesMade = 0;
    std::optional<std::string> makeError;

    // Held while a block is delivered and while capture starts or stops, the way a real engine's
    // own lock keeps stopCapture() from returning while a block is being handled.
    std::mutex deliveryMutex;
    CaptureEngine::BlockHandler handler;
    CaptureFormat capturing;
    std::function<void()> onChange;

    std::vector<std::string> takeCalls()
    {
        std::lock_guard lock(mutex);
        return std::exchange(calls, {});
    }

    // Delivers interleaved samples in the format capture runs in; false when nothing is captured.
    bool deliver(const std::vector<float>& interleaved)
    {
        std::lock_guard delivery(deliveryMutex);
        if (!handler) {
            return false;
        }
        handler(interleaved.data(), interleaved.size() / capturing.channelCount);
        return true;
    }

    // Delivers `seconds` of a constant signal in `blockFrames`-frame blocks.
    void deliverConstant(float value, double seconds, std::size_t blockFrames = 4096)
    {
        std::size_t frames = 0;
        CaptureFormat current;
        {
            std::lock_guard delivery(deliveryMutex);
            current = capturing;
        }
        const auto total = static_cast<std::size_t>(seconds * current.sampleRate);
        const std::vector<float> block(blockFrames * current.channelCount, value);
        while (frames < total) {
            const std::size_t count = std::min(blockFrames, total - frames);
            deliver(std::vector<float>(block.begin(),
                                       block.begin() + static_cast<std::ptrdiff_t>(count * current.channelCount)));
            frames += count;
        }
    }

    void fireChange()
    {
        std::function<void()> callback;
        {
            std::lock_guard lock(mutex);
            callback = onChange;
        }
        if (callback) {
            callback();
        }
    }

    void record(std::string call)
    {
        std::lock_guard lock(mutex);
        calls.push_back(std::move(call));
    }
};

class FakeCaptureEngine final : public CaptureEngine {
public:
    explicit FakeCaptureEngine(std::shared_ptr<FakeEngineState> state) : state_(std::move(state)) {}

    CaptureFormat inputFormat() override
    {
        state_->record("inputFormat");
        std::lock_guard lock(state_->mutex);
        if (state_->inputFormatError) {
            throw CaptureEngineError(*state_->inputFormatError);
        }
        return state_->format;
    }

    void startCapture(const CaptureFormat& format, BlockHandler onBlock) override
    {
        state_->record("startCapture " + formatSampleRate(format.sampleRate) + "Hz/" +
                       std::to_string(format.channelCount) + "ch");
        {
            std::lock_guard lock(state_->mutex);
            if (state_->startError) {
                throw CaptureEngineError(*state_->startError);
            }
        }
        std::lock_guard delivery(state_->deliveryMutex);
        state_->handler = std::move(onBlock);
        state_->capturing = format;
    }

    std::optional<InputSourceDescription> describeSource(const std::string& name) override
    {
        state_->record("describeSource " + (name.empty() ? std::string("(default)") : name));
        std::lock_guard lock(state_->mutex);
        if (state_->inputFormatError) {
            throw CaptureEngineError(*state_->inputFormatError);
        }
        const auto found = state_->sources.find(name);
        if (found == state_->sources.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    void startCaptureFrom(const CaptureSource& source, const CaptureFormat& format, BlockHandler onBlock) override
    {
        state_->record("startCaptureFrom " + (source.name.empty() ? std::string("(default)") : source.name) +
                       (source.awaited.empty() ? std::string() : " awaiting " + source.awaited) + " " +
                       formatSampleRate(format.sampleRate) + "Hz/" + std::to_string(format.channelCount) + "ch");
        {
            std::lock_guard lock(state_->mutex);
            if (state_->startError) {
                throw CaptureEngineError(*state_->startError);
            }
            state_->capturingFrom = source;
        }
        std::lock_guard delivery(state_->deliveryMutex);
        state_->handler = std::move(onBlock);
        state_->capturing = format;
    }

    void stopCapture() override
    {
        state_->record("stopCapture");
        std::lock_guard delivery(state_->deliveryMutex);
        state_->handler = nullptr;
    }

    void setConfigurationChangeHandler(std::function<void()> onChange) override
    {
        std::lock_guard lock(state_->mutex);
        state_->onChange = std::move(onChange);
    }

private:
    std::shared_ptr<FakeEngineState> state_;
};

inline AudioRecorder::EngineFactory fakeEngineFactory(const std::shared_ptr<FakeEngineState>& state)
{
    return [state]() -> std::unique_ptr<CaptureEngine> {
        {
            std::lock_guard lock(state->mutex);
            ++state->enginesMade;
            if (state->makeError) {
                throw CaptureEngineError(*state->makeError);
            }
        }
        return std::make_unique<FakeCaptureEngine>(state);
    };
}

}  // namespace korvane::testing
