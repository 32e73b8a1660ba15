#pragma once

#include "audio/speech/SpeechDetector.h"
#include "text/Vocabulary.h"
#include "transcription/SpeechTranscribing.h"
#include "transcription/whisper/ComputeBackend.h"
#include "transcription/whisper/EncoderWindow.h"
#include "transcription/whisper/ModelFiles.h"
#include "transcription/whisper/PromptSettings.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct whisper_context;

namespace korvane {

// Where one transcription spent its time, for the developer tools and benchmarks. Zero for the
// stages a transcription did not reach.
struct TranscriptionTimings {
    double detectSeconds = 0;        // speech detector
    double prepareSeconds = 0;       // peak, trimming and padding
    double promptSeconds = 0;        // prompt terms and fitting (a cache hit costs almost nothing)
    double decodeSeconds = 0;        // whisper_full alone (both decodes when one was redone)
    double finishSeconds = 0;        // joining the segments and the stock-phrase decision
    std::size_t decodedSamples = 0;  // samples given to whisper_full
    // The encoder window of the decode that gave the text, in samples: the standard 30 s, or the
    // adaptive window's length.
    std::size_t encoderWindowSamples = 0;
    // The decode in the adaptive window ran away and was redone in the standard window.
    bool redoneInStandardWindow = false;
};

// Turns one recording (16 kHz mono float samples) into text with whisper.cpp. Owns the loaded
// recogniser context and guards it with one lock that a transcription holds from its model check to
// the end of decoding, so a model swap or unload() waits for a running transcription and the
// other way round. Slow context creation happens outside the lock. Biases recognition towards the
// user's vocabulary through the initial prompt (fitted to 224 tokens and cached), trims the audio
// around the detected speech, and drops the stock phrases Whisper writes for silence when the
// speech detector heard no speech. When the settings ask for it, a recording that fits one adaptive
// encoder window is encoded in that shorter window; a decode there that runs away (token limit or a
// repeated phrase) is redone once in the standard window.
class WhisperTranscriber final : public SpeechTranscribing {
public:
    // Proof that the caller holds the transcriber's lock (from tryLock()).
    using Guard = std::unique_lock<std::mutex>;

    // Audio constants of transcription and trimming, in samples at 16 kHz.
    static constexpr int kSampleRate = 16000;
    static constexpr float kMinimumSeconds = 0.3f;
    static constexpr float kSilencePeak = 0.001f;
    static constexpr std::size_t kLeadIn = 3200;           // 0.2 s kept before the first loud sample
    static constexpr std::size_t kTail = 3200;             // ... and after the last one
    static constexpr std::size_t kSpeechEndMargin = 4800;  // 0.3 s kept after the detected speech end
    static constexpr std::size_t kMinimumDecoded = 19200;  // 1.2 s: shorter audio is padded
    static constexpr int kPromptTokenLimit = 224;
    static constexpr int kTokenizerCapacity = 2048;

    // `modelName` follows the name rule (an unknown name becomes "small"); nothing is loaded yet.
    // `useGpu` is asked at every load whether whisper.cpp may run the model on a GPU (the "useGPU"
    // setting); without it the GPU is allowed.
    WhisperTranscriber(std::string modelName, std::shared_ptr<ModelFiles> modelFiles,
                       std::shared_ptr<const PromptSettings> settings, std::function<bool()> useGpu = {});
    ~WhisperTranscriber() override;

    WhisperTranscriber(const WhisperTranscriber&) = delete;
    WhisperTranscriber& operator=(const WhisperTranscriber&) = delete;

    // Fetches the model when needed and installs it; the previous model stays when anything fails.
    // Background thread. Tests true when the new model is installed; otherwise says why not. Logs
    // "Model loaded: <name> (<where it runs>)", and before it why the model runs on the CPU when it
    // does. A model that whisper.cpp cannot start on the GPU is loaded again on the CPU.
    ModelLoadResult loadModel(const std::string& name, std::function<void(int percent)> onDownloadProgress) override;

    // Background thread. Returns "" for recordings under 0.3 s or with a peak under 0.001, and for a
    // stock phrase on audio without speech. Throws TranscriberError::modelNotLoaded when no model is
    // loaded (checked before the silence check) and transcriptionFailed(code) when decoding fails.
    std::string transcribe(const std::vector<float>& audio) override;
    // The same, reporting where the time went.
    std::string transcribe(const std::vector<float>& audio, TranscriptionTimings& timings);

    // At quit: frees the model and refuses every later load; a load in progress is discarded.
    void unload() override;

    // While idle: frees the model; the next loadModel() installs one again.
    void releaseModel() override;

    void deleteModelFile(const std::string& name) override;

    // The name of the loaded model (or the one asked for at creation while none is loaded).
    std::string modelName() const;
    bool isModelLoaded() const;

    // Where the last model loaded runs (the plan for a model loaded now until one was).
    ComputeBackend computeBackend() const;

    // Whether the last model loaded runs on a GPU: false until one did. It outlives an idle
    // releaseModel(), since the next load takes the same device. Any thread, never waits.
    bool isGpuBackendActive() const;

    // The lock for callers that must never wait (the settings window's token counter): owns the
    // lock only when it was free. Keep it for the shortest time.
    Guard tryLock();

    // The token count of `text` for the loaded model; absent when no model is loaded. `held` must own
    // the lock.
    std::optional<int> tokenCountLocked(const std::string& text, const Guard& held);

    // Counts without waiting: absent when the lock is busy (a load swap or a transcription) or no
    // model is loaded.
    std::optional<int> tryTokenCount(const std::string& text);

    // The prompt for `terms`, from the cache when the terms and the model are those of the last fit.
    // `held` must own the lock.
    Vocabulary::FittedPrompt fittedPromptLocked(const std::vector<std::string>& terms, const Guard& held);

    // How many times a prompt was fitted afresh (tokenising its terms) rather than taken from the
    // cache.
    std::uint64_t promptFitCount() const;

    // The vocabulary's prompt terms followed by those of the legacy "vocabularyPrompt" value (split
    // at commas and line feeds, trimmed) that are not already terms in any letter case.
    static std::vector<std::string> promptTerms(const PromptSettings& settings);

    // The samples from 0.2 s before the first to 0.2 s after the last sample at or above
    // max(peak x 0.02, 0.002), cut at most 0.3 s after the detected speech end, padded with zeros
    // to at least 1.2 s. With no sample that loud the whole buffer is kept (and padded).
    static std::vector<float> prepareAudio(std::span<const float> samples, float peak,
                                           std::optional<std::size_t> speechEnd);

    // The speech detector's settings for transcription.
    static const SpeechDetector::Configuration& speechDetectorConfiguration();

private:
    struct ContextDeleter {
        void operator()(whisper_context* context) const;
    };
    using ContextPtr = std::unique_ptr<whisper_context, ContextDeleter>;

    // What one whisper_full call gave: the joined, trimmed text and how many tokens it took.
    struct Decoded {
        std::string text;
        int tokens = 0;
    };

    void requireHeld(const Guard& held) const;
    // Decodes in `window`, or in the standard window when it is absent; a runaway decode in the
    // adaptive window is redone in the standard one.
    std::string decodeInWindowLocked(const std::vector<float>& audio, const std::string& prompt,
                                     const std::optional<EncoderWindow>& window, TranscriptionTimings& timings);
    // One whisper_full call; `audioContext` 0 is the standard window.
    Decoded decodeLocked(const std::vector<float>& audio, const std::string& prompt, int audioContext,
                         TranscriptionTimings& timings);

    const std::shared_ptr<ModelFiles> modelFiles_;
    const std::shared_ptr<const PromptSettings> settings_;
    const std::function<bool()> useGpu_;

    std::string modelName_;
    ContextPtr context_;
    mutable std::mutex mutex_;
    bool isShutDown_ = false;
    std::optional<Vocabulary::FittedPrompt> cachedPrompt_;
    std::optional<std::string> cachedPromptSignature_;
    std::uint64_t promptFits_ = 0;
    std::optional<ComputeBackend> backend_;
    std::atomic<bool> gpuActive_ = false;
};

}  // namespace korvane
