#include "transcription/whisper/WhisperTranscriber.h"

#include "base/logging/Logger.h"
#include "text/Graphemes.h"
#include "text/TranscriptionTextCleaner.h"
#include "text/UnicodeText.h"
#include "transcription/models/ModelCatalogue.h"
#include "transcription/models/ModelFailureCause.h"
#include "transcription/models/TranscriberError.h"
#include "transcription/whisper/BackendRegistry.h"
#include "transcription/whisper/RunawayDecode.h"
#include "transcription/whisper/TranscriptionThreads.h"
#include "transcription/whisper/WhisperLog.h"

#include <whisper.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <set>
#include <stdexcept>
#include <utility>

namespace korvane {
namespace {

// whisper.cpp keeps the language pointer for the whole decode, so it points at storage that lives
// for the whole process.
constexpr const char* kLanguageEnglish = "en";

// A longest speech run shorter than this lets single-word stock phrases ("Okay.") be discarded too.
constexpr int kSingleWordRunLimit = 3;

std::string trimmedUtf8(const std::string& text)
{
    return unicode_text::toUtf8(unicode_text::trimmed(unicode_text::fromUtf8(text)));
}

// Seconds since `start`, restarting the clock for the next stage.
double lap(std::chrono::steady_clock::time_point& start)
{
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - start).count();
    start = now;
    return seconds;
}

std::string formatSeconds(std::size_t samples)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(samples) / WhisperTranscriber::kSampleRate);
    return text;
}

}  // namespace

void WhisperTranscriber::ContextDeleter::operator()(whisper_context* context) const
{
    whisper_free(context);
}

WhisperTranscriber::WhisperTranscriber(std::string modelName, std::shared_ptr<ModelFiles> modelFiles,
                                       std::shared_ptr<const PromptSettings> settings, std::function<bool()> useGpu)
    : modelFiles_(std::move(modelFiles)), settings_(std::move(settings)), useGpu_(std::move(useGpu))
{
    if (!modelFiles_ || !settings_) {
        throw std::invalid_argument("WhisperTranscriber needs model files and prompt settings");
    }
    modelName_ = modelFiles_->resolveModelName(modelName);
    routeWhisperLogToLogger();
}

WhisperTranscriber::~WhisperTranscriber() = default;

const SpeechDetector::Configuration& WhisperTranscriber::speechDetectorConfiguration()
{
    static const SpeechDetector::Configuration configuration{
        .frameLength = 160,
        .highPassCutoffHz = 80.0f,
        .noisePercentile = 0.1,
        .minimumFrameLevel = 0.0001f,
        .noiseMultiplier = 2.0f,
        .minimumThreshold = 0.0005f,
        .loudFrameLevel = 0.02f,
        .minimumSpeechRun = 9,
        .allowedGap = 1,
        .speechEndMinimumRun = 3,
    };
    return configuration;
}

ModelLoadResult WhisperTranscriber::loadModel(const std::string& requestedName,
                                              std::function<void(int percent)> onDownloadProgress)
{
    const std::string name = modelFiles_->resolveModelName(requestedName);
    {
        const std::lock_guard lock(mutex_);
        if (isShutDown_) {
            Logger::log("Model load skipped: shutting down");
            return ModelLoadResult::failed(ModelLoadFailure::Cause::other, "shutting down");
        }
    }

    std::filesystem::path path;
    try {
        path = modelFiles_->ensureModel(name, onDownloadProgress);
    } catch (const std::exception& error) {
        Logger::log("Failed to fetch model " + name + ": " + errorDescription(error));
        return {modelFailureCause(error)};
    }

    Logger::log("Loading whisper model: " + name);
    const BackendInventory inventory = backendInventory();
    whisper_context_params params = whisper_context_default_params();
    params.use_gpu = !useGpu_ || useGpu_();
    params.gpu_device = 0;  // the device plannedComputeBackend() expects
    params.flash_attn = true;
    const ComputeBackend planned = plannedComputeBackend(inventory, params.use_gpu, transcriptionThreads());
    // Created without the lock: this takes seconds for a large model, and a transcription with the
    // previous model may run meanwhile.
    ContextPtr loaded;
    ComputeBackend backend;
    bool gpuTried = false;
    {
        const WhisperGpuLines gpuLines;
        loaded.reset(whisper_init_from_file_with_params(path.c_str(), params));
        backend = loadedComputeBackend(planned, inventory, gpuLines.lines());
        gpuTried = !gpuLines.lines().empty() && params.use_gpu && planned.onGpu();
    }
    if (!loaded && gpuTried) {
        // The file was read before the GPU was; the device let the load down, and the CPU will not.
        Logger::log("whisper_init_from_file failed on the GPU (" + computeBackendText(planned) +
                    "): loading again "
                    "on the CPU");
        params.use_gpu = false;
        loaded.reset(whisper_init_from_file_with_params(path.c_str(), params));
        backend = planned;
        backend.gpu.reset();
        backend.whyCpu = CpuReason::gpuFailedToStart;
    }
    if (!loaded) {
        Logger::log("whisper_init_from_file failed for " + path.string());
        return ModelLoadResult::failed(ModelLoadFailure::Cause::unloadable);
    }

    {
        std::unique_lock lock(mutex_);
        if (isShutDown_) {
            loaded.reset();
            lock.unlock();
            Logger::log("Model load discarded: shut down during load");
            return ModelLoadResult::failed(ModelLoadFailure::Cause::other, "shutting down");
        }
        context_ = std::move(loaded);  // frees the previous context, if any
        modelName_ = name;
        backend_ = backend;
        gpuActive_ = backend.onGpu();
    }
    if (!backend.onGpu()) {
        Logger::log("Recognition on the CPU: " + std::string(cpuReasonText(backend.whyCpu)));
    }
    Logger::log("Model loaded: " + name + " (" + computeBackendText(backend) + ")");
    return ModelLoadResult::loaded();
}

std::string WhisperTranscriber::transcribe(const std::vector<float>& audio)
{
    TranscriptionTimings timings;
    return transcribe(audio, timings);
}

std::string WhisperTranscriber::transcribe(const std::vector<float>& audio, TranscriptionTimings& timings)
{
    timings = TranscriptionTimings{};
    if (static_cast<float>(audio.size()) / static_cast<float>(kSampleRate) < kMinimumSeconds) {
        return "";
    }
    auto clock = std::chrono::steady_clock::now();
    const SpeechDetector::Analysis analysis = SpeechDetector::analyze(audio, speechDetectorConfiguration());
    timings.detectSeconds = lap(clock);

    Guard held(mutex_);
    clock = std::chrono::steady_clock::now();  // waiting for the lock is no stage of ours
    if (!context_) {
        throw TranscriberError::modelNotLoaded();
    }
    float peak = 0.0f;
    for (const float sample : audio) {
        peak = std::max(peak, std::fabs(sample));
    }
    if (peak < kSilencePeak) {
        return "";
    }

    const std::vector<float> prepared = prepareAudio(audio, peak, analysis.speechEndSample);
    const std::optional<EncoderWindow> window =
        settings_->adaptiveEncoderWindow() ? adaptiveEncoderWindow(prepared.size()) : std::nullopt;
    timings.decodedSamples = prepared.size();
    timings.prepareSeconds = lap(clock);
    Logger::log("Sending " + formatSeconds(prepared.size()) + "s to whisper" +
                (window ? " in a " + formatSeconds(window->samples) + "s encoder window" : ""));

    // The fitted prompt is a copy that lives until decoding ends, so whisper.cpp's pointer into it
    // stays valid even if the cache is refilled later.
    const Vocabulary::FittedPrompt fitted = fittedPromptLocked(promptTerms(*settings_), held);
    timings.promptSeconds = lap(clock);
    const std::string text = decodeInWindowLocked(prepared, fitted.prompt, window, timings);
    clock = std::chrono::steady_clock::now();

    const bool keep = analysis.hasSpeech || !TranscriptionTextCleaner::isLikelySilenceHallucination(
                                                text, analysis.longestRun < kSingleWordRunLimit);
    timings.finishSeconds += lap(clock);
    if (!keep) {
        Logger::log("Discarding stock phrase: no speech detected (longest run " + std::to_string(analysis.longestRun) +
                    " frames)");
        return "";
    }
    Logger::log("Transcription complete: " + std::to_string(graphemeCount(text)) + " characters");
    return text;
}

std::string WhisperTranscriber::decodeInWindowLocked(const std::vector<float>& audio, const std::string& prompt,
                                                     const std::optional<EncoderWindow>& window,
                                                     TranscriptionTimings& timings)
{
    timings.encoderWindowSamples = EncoderWindow::kStandardSamples;
    if (!window) {
        return decodeLocked(audio, prompt, 0, timings).text;
    }
    Decoded decoded = decodeLocked(audio, prompt, window->audioContext, timings);
    // The tokens of every segment count against one window's budget: whisper.cpp may go on from a
    // timestamp short of the end, but 28 s of speech hold far fewer tokens than that budget.
    const RunawayDecode runaway =
        runawayDecode(decoded.text, decoded.tokens, decoderTokenLimit(whisper_n_text_ctx(context_.get())));
    if (runaway == RunawayDecode::none) {
        timings.encoderWindowSamples = window->samples;
        return decoded.text;
    }
    // The standard window's text is kept whatever it is: a second runaway is the model's, not the
    // window's.
    Logger::log("Decode in the " + formatSeconds(window->samples) + "s encoder window " +
                (runaway == RunawayDecode::tokenLimit ? "ran into the token limit" : "repeated a phrase") +
                ": decoding again in the standard window");
    timings.redoneInStandardWindow = true;
    return decodeLocked(audio, prompt, 0, timings).text;
}

WhisperTranscriber::Decoded WhisperTranscriber::decodeLocked(const std::vector<float>& audio, const std::string& prompt,
                                                             int audioContext, TranscriptionTimings& timings)
{
    if (audio.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        // whisper.cpp takes a 32-bit count; the recorder's ten-minute cap keeps far below it.
        throw std::length_error("recording too long for the recogniser");
    }
    whisper_full_params params = whisper_full_default_params(WHISPER_SAMPLING_GREEDY);
    params.n_threads = transcriptionThreads();
    params.print_special = false;
    params.print_progress = false;
    params.print_realtime = false;
    params.print_timestamps = false;
    params.language = kLanguageEnglish;
    params.suppress_blank = true;
    params.suppress_nst = true;
    if (!prompt.empty()) {
        params.initial_prompt = prompt.c_str();
    }
    params.audio_ctx = audioContext;

    auto clock = std::chrono::steady_clock::now();
    const int code = whisper_full(context_.get(), params, audio.data(), static_cast<int>(audio.size()));
    timings.decodeSeconds += lap(clock);
    if (code != 0) {
        throw TranscriberError::transcriptionFailed(code);
    }
    Decoded decoded;
    std::string joined;
    const int segments = whisper_full_n_segments(context_.get());
    for (int i = 0; i < segments; ++i) {
        if (const char* segment = whisper_full_get_segment_text(context_.get(), i)) {
            joined += segment;
        }
        decoded.tokens += whisper_full_n_tokens(context_.get(), i);
    }
    decoded.text = trimmedUtf8(joined);
    timings.finishSeconds += lap(clock);
    return decoded;
}

void WhisperTranscriber::unload()
{
    const std::lock_guard lock(mutex_);
    isShutDown_ = true;
    context_.reset();
}

void WhisperTranscriber::releaseModel()
{
    // The prompt cache stays: its signature names the model, so it is still right when the same
    // model comes back and is refitted for any other.
    const std::lock_guard lock(mutex_);
    context_.reset();
}

void WhisperTranscriber::deleteModelFile(const std::string& name)
{
    modelFiles_->deleteModelFile(name);
}

std::string WhisperTranscriber::modelName() const
{
    const std::lock_guard lock(mutex_);
    return modelName_;
}

bool WhisperTranscriber::isModelLoaded() const
{
    const std::lock_guard lock(mutex_);
    return context_ != nullptr;
}

ComputeBackend WhisperTranscriber::computeBackend() const
{
    {
        const std::lock_guard lock(mutex_);
        if (backend_) {
            return *backend_;
        }
    }
    return plannedComputeBackend(!useGpu_ || useGpu_());
}

bool WhisperTranscriber::isGpuBackendActive() const
{
    return gpuActive_;
}

WhisperTranscriber::Guard WhisperTranscriber::tryLock()
{
    return Guard(mutex_, std::try_to_lock);
}

void WhisperTranscriber::requireHeld(const Guard& held) const
{
    if (held.mutex() != &mutex_ || !held.owns_lock()) {
        // Touching the context without the lock would race a model swap; that is a programming
        // error, never a runtime condition to recover from.
        std::fputs("WhisperTranscriber: a *Locked operation was called without holding the lock\n", stderr);
        std::abort();
    }
}

std::optional<int> WhisperTranscriber::tokenCountLocked(const std::string& text, const Guard& held)
{
    requireHeld(held);
    if (!context_) {
        return std::nullopt;
    }
    std::vector<whisper_token> tokens(kTokenizerCapacity);
    const int count = whisper_tokenize(context_.get(), text.c_str(), tokens.data(), kTokenizerCapacity);
    // A negative answer is the count the buffer would have needed.
    return count < 0 ? -count : count;
}

std::optional<int> WhisperTranscriber::tryTokenCount(const std::string& text)
{
    Guard held = tryLock();
    if (!held.owns_lock()) {
        return std::nullopt;
    }
    return tokenCountLocked(text, held);
}

Vocabulary::FittedPrompt WhisperTranscriber::fittedPromptLocked(const std::vector<std::string>& terms,
                                                                const Guard& held)
{
    requireHeld(held);
    std::string signature;
    for (std::size_t i = 0; i < terms.size(); ++i) {
        if (i > 0) {
            signature += '\x01';
        }
        signature += terms[i];
    }
    signature += '\x02';
    signature += modelName_;

    if (cachedPrompt_ && cachedPromptSignature_ && *cachedPromptSignature_ == signature) {
        return *cachedPrompt_;
    }
    if (!context_) {
        return Vocabulary::FittedPrompt{
            .prompt = "", .usedTerms = 0, .totalTerms = static_cast<int>(terms.size()), .tokenCount = 0};
    }

    ++promptFits_;
    const Vocabulary::FittedPrompt fitted =
        Vocabulary::fitPrompt(terms, kPromptTokenLimit, [this, &held](const std::string& text) {
            // A count that cannot be made must not let the prompt grow past the model's budget.
            return tokenCountLocked(text, held).value_or(std::numeric_limits<int>::max());
        });
    cachedPrompt_ = fitted;
    cachedPromptSignature_ = std::move(signature);
    if (fitted.usedTerms < fitted.totalTerms) {
        Logger::log("Vocabulary prompt truncated: " + std::to_string(fitted.usedTerms) + " of " +
                    std::to_string(fitted.totalTerms) + " terms fit");
    }
    return fitted;
}

std::uint64_t WhisperTranscriber::promptFitCount() const
{
    const std::lock_guard lock(mutex_);
    return promptFits_;
}

std::vector<std::string> WhisperTranscriber::promptTerms(const PromptSettings& settings)
{
    std::vector<std::string> terms = settings.vocabulary().promptTerms();
    const std::optional<std::string> legacy = settings.legacyVocabularyPrompt();
    if (!legacy) {
        return terms;
    }

    std::set<std::string> seen;
    for (const auto& term : terms) {
        seen.insert(unicode_text::toUtf8(unicode_text::lowercased(unicode_text::fromUtf8(term))));
    }
    std::size_t start = 0;
    while (start <= legacy->size()) {
        const std::size_t end = legacy->find_first_of(",\n", start);
        const std::size_t stop = end == std::string::npos ? legacy->size() : end;
        const std::string piece = trimmedUtf8(legacy->substr(start, stop - start));
        if (!piece.empty()) {
            const std::string key = unicode_text::toUtf8(unicode_text::lowercased(unicode_text::fromUtf8(piece)));
            if (seen.insert(key).second) {
                terms.push_back(piece);
            }
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return terms;
}

std::vector<float> WhisperTranscriber::prepareAudio(std::span<const float> samples, float peak,
                                                    std::optional<std::size_t> speechEnd)
{
    const float threshold = std::max(peak * 0.02f, 0.002f);
    const auto loud = [threshold](float sample) { return std::fabs(sample) >= threshold; };

    std::vector<float> prepared;
    const auto firstLoud = std::find_if(samples.begin(), samples.end(), loud);
    if (firstLoud == samples.end()) {
        prepared.assign(samples.begin(), samples.end());
    } else {
        const auto first = static_cast<std::size_t>(firstLoud - samples.begin());
        const auto lastLoud = std::find_if(samples.rbegin(), samples.rend(), loud);
        const auto last = static_cast<std::size_t>(samples.rend() - lastLoud) - 1;

        const std::size_t start = first <= kLeadIn ? 0 : first - kLeadIn;
        std::size_t end = std::min(last + 1 + kTail, samples.size());
        if (speechEnd) {
            const std::size_t cut = *speechEnd + kSpeechEndMargin;
            if (start < cut) {
                end = std::min(end, cut);
            }
        }
        prepared.assign(samples.begin() + static_cast<std::ptrdiff_t>(start),
                        samples.begin() + static_cast<std::ptrdiff_t>(std::max(start, end)));
    }
    if (prepared.size() < kMinimumDecoded) {
        prepared.resize(kMinimumDecoded, 0.0f);
    }
    return prepared;
}

}  // namespace korvane
