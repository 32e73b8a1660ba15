#include "audio/capture/AudioRecorder.h"

#include "audio/capture/AudioRecorderError.h"
#include "audio/capture/InputLevel.h"
#include "base/scheduling/WeakTask.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>
#include <utility>

namespace korvane {

namespace {

std::string describeFormat(const CaptureFormat& format)
{
    return formatSampleRate(format.sampleRate) + "Hz/" + std::to_string(format.channelCount) + "ch";
}

// The whole cap is reserved up front. The kernel backs the reservation with memory only as samples
// are written, so a short dictation costs what it records, while a long one never reallocates: a
// growing vector would at some point hold the old and the new copy at once, close to three times the
// ten-minute buffer.
std::vector<float> reservedBuffer()
{
    std::vector<float> buffer;
    try {
        buffer.reserve(static_cast<std::size_t>(AudioRecorder::maxSamples));
    } catch (const std::bad_alloc&) {
        // Grow on demand instead; a short recording still fits.
    }
    return buffer;
}

}  // namespace

AudioRecorder::AudioRecorder(MainQueue& mainQueue, EngineFactory makeEngine, LogSink log)
    : mainQueue_(mainQueue), makeEngine_(std::move(makeEngine)), log_(std::move(log)),
      alive_(std::make_shared<AudioRecorder*>(this))
{
}

AudioRecorder::~AudioRecorder()
{
    // The engine goes first: once it is destroyed no block or change handler can reach this object.
    engine_.reset();
}

void AudioRecorder::start()
{
    requireMainThread(mainQueue_, "AudioRecorder::start");
    {
        std::lock_guard lock(bufferLock_);
        if (isRecording_) {
            return;
        }
    }
    std::vector<float> fresh = reservedBuffer();
    {
        std::lock_guard lock(bufferLock_);
        buffer_ = std::move(fresh);
        capWarned_ = false;
    }
    setLevel(0.0f);

    try {
        if (!engine_) {
            engine_ = makeEngine_();
            engine_->setConfigurationChangeHandler([this] { handleConfigurationChange(); });
        }
        const ResolvedInput input = resolveInput();
        log_("Audio hardware format: " + std::to_string(input.format.channelCount) + "ch, " +
             formatSampleRate(input.format.sampleRate) + "Hz");
        startConversion(input, makeOrReuseConverter(input.format));
        fellBack_ = input.fellBack;
    } catch (...) {
        std::lock_guard lock(bufferLock_);
        buffer_ = {};  // give the reservation back; the recorder stays idle
        throw;
    }

    {
        std::lock_guard lock(bufferLock_);
        isRecording_ = true;
    }
    log_("Recording started");
}

std::vector<float> AudioRecorder::stop()
{
    requireMainThread(mainQueue_, "AudioRecorder::stop");
    {
        std::lock_guard lock(bufferLock_);
        if (!isRecording_) {
            return {};
        }
        isRecording_ = false;
    }
    setLevel(0.0f);

    if (engine_) {
        engine_->stopCapture();
    }
    flushConverter();
    // The drained tail went through the meter like any block; the meter must read silence once the
    // recording is over.
    setLevel(0.0f);

    std::vector<float> samples;
    {
        std::lock_guard lock(bufferLock_);
        samples = std::move(buffer_);
        buffer_ = {};
    }

    float peak = 0.0f;
    for (const float sample : samples) {
        peak = std::max(peak, std::fabs(sample));
    }
    char line[96];
    std::snprintf(line, sizeof line, "Captured %.1fs, peak=%.4f",
                  static_cast<double>(samples.size()) / AudioConverter::outputSampleRate, static_cast<double>(peak));
    log_(line);
    return samples;
}

float AudioRecorder::currentLevel() const
{
    std::lock_guard lock(levelLock_);
    return latestLevel_;
}

bool AudioRecorder::fellBackToDefaultInput() const
{
    requireMainThread(mainQueue_, "AudioRecorder::fellBackToDefaultInput");
    return fellBack_;
}

void AudioRecorder::setInputChoice(InputChoice chosenInput)
{
    requireMainThread(mainQueue_, "AudioRecorder::setInputChoice");
    inputChoice_ = std::move(chosenInput);
}

AudioRecorder::ResolvedInput AudioRecorder::resolveInput()
{
    std::optional<std::string> chosen = inputChoice_ ? inputChoice_() : std::nullopt;
    if (chosen && chosen->find_first_not_of(" \t\r\n") == std::string::npos) {
        log_("Ignoring empty \"inputDevice\" setting -- recording from the default input");
        chosen.reset();
    }
    if (!chosen) {
        return {engine_->inputFormat(), std::nullopt, false};
    }

    ResolvedInput input;
    std::optional<InputSourceDescription> source = engine_->describeSource(*chosen);
    if (source) {
        input.source = CaptureSource{source->name, {}};
    } else {
        log_("Chosen input \"" + *chosen + "\" not found -- recording from the default input");
        source = engine_->describeSource({});
        if (!source) {
            throw CaptureEngineError("No audio input source");
        }
        // The default is followed as usual, and the chosen source taken back as soon as it returns.
        input.source = CaptureSource{{}, *chosen};
        input.fellBack = true;
    }
    if (const std::optional<std::string> profile = narrowBandHeadsetProfile(*source)) {
        log_("Input \"" + source->name + "\" is a Bluetooth headset in its headset profile (" + *profile +
             "): that narrow-band link carries telephone-quality sound, so recognition gets worse; a "
             "wired or built-in microphone does better");
    }
    input.format = source->format;
    return input;
}

void AudioRecorder::setOnCapReached(std::function<void()> callback)
{
    onCapReached_ = std::move(callback);
}

void AudioRecorder::setOnCaptureLost(std::function<void()> callback)
{
    onCaptureLost_ = std::move(callback);
}

std::shared_ptr<AudioConverter> AudioRecorder::makeOrReuseConverter(const CaptureFormat& format)
{
    {
        std::lock_guard lock(converterLock_);
        if (converter_ && converterInputFormat_ && converterInputFormat_->sampleRate == format.sampleRate &&
            converterInputFormat_->channelCount == format.channelCount) {
            converter_->reset();
            return converter_;
        }
    }
    auto converter = std::make_shared<AudioConverter>(format);
    {
        std::lock_guard lock(converterLock_);
        converter_ = converter;
        converterInputFormat_ = format;
    }
    log_("AVAudioConverter built: " + describeFormat(format) + " -> 16000Hz/1ch");
    return converter;
}

void AudioRecorder::startConversion(const ResolvedInput& input, std::shared_ptr<AudioConverter> converter)
{
    // The handler keeps the converter it was started with: a converter built later for another format
    // never sees blocks of this one.
    auto onBlock = [this, converter = std::move(converter)](const float* interleaved, std::size_t frameCount) {
        convertBlock(*converter, interleaved, frameCount);
    };
    if (input.source) {
        engine_->startCaptureFrom(*input.source, input.format, std::move(onBlock));
    } else {
        engine_->startCapture(input.format, std::move(onBlock));
    }
}

void AudioRecorder::convertBlock(AudioConverter& converter, const float* interleaved, std::size_t frameCount)
{
    if (frameCount == 0) {
        return;
    }
    std::lock_guard lock(converterLock_);
    try {
        appendConverted(converter.convert(interleaved, frameCount));
    } catch (const AudioConverterError& error) {
        log_(std::string("Converter error: ") + error.what());
    } catch (const std::bad_alloc&) {
        // Out of memory for this block: it is dropped and the recording goes on.
    }
}

void AudioRecorder::appendConverted(std::span<const float> samples)
{
    if (samples.empty()) {
        return;
    }
    setLevel(inputLevel(samples));

    bool reportCap = false;
    {
        std::lock_guard lock(bufferLock_);
        const std::int64_t room = maxSamples - static_cast<std::int64_t>(buffer_.size());
        if (room <= 0) {
            reportCap = !capWarned_;
            capWarned_ = true;
        } else {
            const auto taken = static_cast<std::size_t>(std::min<std::int64_t>(room, std::ssize(samples)));
            buffer_.insert(buffer_.end(), samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(taken));
        }
    }
    if (reportCap) {
        notifyCapReached();
    }
}

void AudioRecorder::notifyCapReached()
{
    postIfAlive([](AudioRecorder& recorder) {
        recorder.log_("Recording cap reached (" + std::to_string(maxSamples) + " samples) -- discarding further audio");
        if (recorder.onCapReached_) {
            recorder.onCapReached_();
        }
    });
}

void AudioRecorder::flushConverter()
{
    std::lock_guard lock(converterLock_);
    if (!converter_) {
        return;
    }
    try {
        appendConverted(converter_->drain());
    } catch (const AudioConverterError& error) {
        log_(std::string("Converter flush error: ") + error.what());
    } catch (const std::bad_alloc&) {
        // The tail is lost; what was captured before stays.
    }
    converter_->reset();
}

void AudioRecorder::handleConfigurationChange()
{
    postIfAlive([](AudioRecorder& recorder) { recorder.recoverFromConfigurationChange(); });
}

void AudioRecorder::recoverFromConfigurationChange()
{
    {
        std::lock_guard lock(bufferLock_);
        if (!isRecording_) {
            return;  // the next start() reads the new format anyway
        }
    }
    if (!engine_) {
        return;
    }
    log_("Audio engine configuration changed mid-recording -- rebuilding tap");
    engine_->stopCapture();
    flushConverter();

    const auto captureLost = [this](const std::string& line) {
        log_(line);
        if (onCaptureLost_) {
            onCaptureLost_();
        }
    };
    try {
        const ResolvedInput input = resolveInput();
        if (!input.format.isUsable()) {
            captureLost("New hardware format invalid after configuration change -- recording will be partial");
            return;
        }
        startConversion(input, makeOrReuseConverter(input.format));
        fellBack_ = input.fellBack;
        log_("Recording resumed after device change: " + describeFormat(input.format));
    } catch (const std::exception& error) {
        captureLost("Failed to resume recording after device change: " + audioErrorDescription(error));
    }
}

void AudioRecorder::setLevel(float level)
{
    std::lock_guard lock(levelLock_);
    latestLevel_ = level;
}

void AudioRecorder::postIfAlive(void (*operation)(AudioRecorder&))
{
    mainQueue_.post(weakTask(alive_, [operation](AudioRecorder* recorder) { operation(*recorder); }));
}

}  // namespace korvane
