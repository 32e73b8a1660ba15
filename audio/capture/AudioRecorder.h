#pragma once

#include "audio/capture/AudioConverter.h"
#include "audio/capture/AudioRecording.h"
#include "audio/capture/CaptureEngine.h"
#include "audio/capture/CaptureFormat.h"
#include "base/logging/LogSink.h"
#include "base/scheduling/MainQueue.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// Records one dictation at a time from the chosen input (or the default one) and hands it over as 16 kHz mono float
// samples. Each block from the capture thread is converted on arrival (see AudioConverter), metered
// and appended to one buffer capped at ten minutes. When the input device changes mid-recording,
// capture is rebuilt on the new default input and the recording goes on in the same buffer; when that
// is impossible, onCaptureLost reports it and the audio captured so far stays.
//
// With an input chosen ("inputDevice"), capture stays with that source whatever the default is.
// When it is missing at a start, the recording falls back to the default source (logged, and told
// by fellBackToDefaultInput()) and moves to the chosen one should it appear meanwhile; a removal
// mid-recording is a device change like any other.
//
// start(), stop() and destruction happen on the main thread; both callbacks are delivered there.
//
// Locks: converterLock_ is taken first, then either bufferLock_ or levelLock_, never those two
// together. No callback runs and nothing is logged while bufferLock_ is held. The engine's own lock
// (held around block delivery) comes before all three, so the recorder never calls the engine while
// holding one of them.
class AudioRecorder final : public AudioRecording {
public:
    using EngineFactory = std::function<std::unique_ptr<CaptureEngine>()>;
    // The chosen source's name, or nothing for the default input. Asked on the main thread at every
    // start and device change, so a new choice applies from the next one.
    using InputChoice = std::function<std::optional<std::string>()>;

    // Ten minutes at 16 kHz.
    static constexpr std::int64_t maxSamples = 9'600'000;

    // `makeEngine` is called by the first start() (and again by a later start() if it threw); the
    // engine then lives as long as the recorder. `log` receives every diagnostic line (Logger::log
    // unless a test listens itself).
    AudioRecorder(MainQueue& mainQueue, EngineFactory makeEngine, LogSink log = defaultLogSink());
    ~AudioRecorder() override;

    AudioRecorder(const AudioRecorder&) = delete;
    AudioRecorder& operator=(const AudioRecorder&) = delete;

    // Throws AudioRecorderError (no converter for the input format) or CaptureEngineError (no sound
    // server, no input source, stream refused); the recorder then stays idle. Does nothing while
    // already recording.
    void start() override;

    // Empty when no recording runs.
    std::vector<float> stop() override;

    float currentLevel() const override;
    bool fellBackToDefaultInput() const override;
    void setInputChoice(InputChoice chosenInput) override;
    void setOnCapReached(std::function<void()> callback) override;
    void setOnCaptureLost(std::function<void()> callback) override;

private:
    // Where capture is to come from and in which format; no source for the plain default input.
    struct ResolvedInput {
        CaptureFormat format;
        std::optional<CaptureSource> source;
        bool fellBack = false;
    };

    ResolvedInput resolveInput();
    std::shared_ptr<AudioConverter> makeOrReuseConverter(const CaptureFormat& format);
    void startConversion(const ResolvedInput& input, std::shared_ptr<AudioConverter> converter);
    void convertBlock(AudioConverter& converter, const float* interleaved, std::size_t frameCount);
    void appendConverted(std::span<const float> samples);
    void notifyCapReached();
    void flushConverter();
    void handleConfigurationChange();
    void recoverFromConfigurationChange();
    void setLevel(float level);
    void postIfAlive(void (*operation)(AudioRecorder&));

    MainQueue& mainQueue_;
    EngineFactory makeEngine_;
    LogSink log_;
    std::unique_ptr<CaptureEngine> engine_;
    InputChoice inputChoice_;
    bool fellBack_ = false;  // main thread

    std::mutex bufferLock_;  // buffer_, isRecording_, capWarned_
    std::vector<float> buffer_;
    bool isRecording_ = false;
    bool capWarned_ = false;

    std::mutex converterLock_;  // every use of a converter
    std::shared_ptr<AudioConverter> converter_;
    std::optional<CaptureFormat> converterInputFormat_;

    mutable std::mutex levelLock_;  // latestLevel_
    float latestLevel_ = 0.0f;

    std::function<void()> onCapReached_;
    std::function<void()> onCaptureLost_;

    // Tasks posted to the main queue hold this weakly and do nothing once the recorder is gone.
    std::shared_ptr<AudioRecorder*> alive_;
};

}  // namespace korvane
