// SPDX-License-Identifier: MIT
// korvane-transcribe: runs one WAV file through Korvane's recognition path (speech detector,
// trimming, whisper.cpp with the stored vocabulary's prompt, the transcript cleaner) and prints the
// text and the time each stage took. A developer tool for comparing against whisper.cpp's own
// command-line example on the same model file and audio, with either encoder window, on the GPU or
// the CPU.
#include "base/logging/Logger.h"
#include "core/settings/AppSettings.h"
#include "core/settings/SettingsVocabulary.h"
#include "tools/transcribe/WavFile.h"
#include "transcription/whisper/TranscriptionThreads.h"
#include "transcription/whisper/WhisperTranscriber.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using korvane::AppSettings;

// The model file named on the command line, whatever model name is asked for.
class FixedModelFile final : public korvane::ModelFiles {
public:
    explicit FixedModelFile(std::filesystem::path path) : path_(std::move(path)) {}
    std::filesystem::path ensureModel(std::string_view, const ProgressCallback&) override { return path_; }
    void deleteModelFile(std::string_view) override {}

private:
    std::filesystem::path path_;
};

// The stored settings, except for the encoder window when the command line chose one.
class EncoderWindowChoice final : public korvane::PromptSettings {
public:
    EncoderWindowChoice(std::shared_ptr<const korvane::PromptSettings> stored, std::optional<bool> adaptive)
        : stored_(std::move(stored)), adaptive_(adaptive)
    {
    }
    korvane::Vocabulary vocabulary() const override { return stored_->vocabulary(); }
    std::optional<std::string> legacyVocabularyPrompt() const override { return stored_->legacyVocabularyPrompt(); }
    bool adaptiveEncoderWindow() const override { return adaptive_.value_or(stored_->adaptiveEncoderWindow()); }

private:
    std::shared_ptr<const korvane::PromptSettings> stored_;
    std::optional<bool> adaptive_;
};

double since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

void usage()
{
    std::fputs("usage: korvane-transcribe [--repeat N] [--encoder-window adaptive|standard] [--gpu on|off] [--log]\n"
               "                          MODEL.bin AUDIO.wav\n"
               "  --repeat N   transcribe N times and report the median time of each stage (default 1)\n"
               "  --encoder-window adaptive|standard\n"
               "               encode a short recording in a window just longer than itself, or always in\n"
               "               the 30 s one (default: the stored \"adaptiveEncoderWindow\" setting)\n"
               "  --gpu on|off run the model on the GPU when whisper.cpp was built with a GPU back end and finds\n"
               "               a device, or always on the CPU (default on)\n"
               "  --log        show Korvane's and whisper.cpp's log lines on standard error\n",
               stderr);
}

}  // namespace

int main(int argc, char** argv)
{
    int repeat = 1;
    std::optional<bool> adaptiveWindow;
    bool useGpu = true;
    std::vector<std::string_view> files;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--repeat" && i + 1 < argc) {
            const std::string_view text = argv[++i];
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), repeat);
            if (error != std::errc() || end != text.data() + text.size() || repeat < 1) {
                usage();
                return 2;
            }
        } else if (arg == "--encoder-window" && i + 1 < argc) {
            const std::string_view choice = argv[++i];
            if (choice != "adaptive" && choice != "standard") {
                usage();
                return 2;
            }
            adaptiveWindow = choice == "adaptive";
        } else if (arg == "--gpu" && i + 1 < argc) {
            const std::string_view choice = argv[++i];
            if (choice != "on" && choice != "off") {
                usage();
                return 2;
            }
            useGpu = choice == "on";
        } else if (arg == "--log") {
            korvane::Logger::setEnabled(true);
        } else if (arg == "--help" || arg == "-h" || (!arg.empty() && arg.front() == '-')) {
            usage();
            return arg == "--help" || arg == "-h" ? 0 : 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) {
        usage();
        return 2;
    }

    try {
        const std::filesystem::path modelPath(files[0]);
        if (!std::filesystem::is_regular_file(modelPath)) {
            throw std::runtime_error("no model file at " + modelPath.string());
        }
        auto clock = std::chrono::steady_clock::now();
        const korvane::WavAudio wav = korvane::readWav(std::filesystem::path(files[1]));
        const double readSeconds = since(clock);
        clock = std::chrono::steady_clock::now();
        const std::vector<float> audio = korvane::toMono16k(wav);
        const double convertSeconds = since(clock);

        AppSettings settings(AppSettings::defaultFile());
        auto vocabulary = std::make_shared<korvane::SettingsVocabulary>(settings);
        korvane::WhisperTranscriber transcriber("small", std::make_shared<FixedModelFile>(modelPath),
                                                std::make_shared<EncoderWindowChoice>(vocabulary, adaptiveWindow),
                                                [useGpu] { return useGpu; });
        clock = std::chrono::steady_clock::now();
        if (!transcriber.loadModel("small", {})) {
            throw std::runtime_error("whisper.cpp could not load " + modelPath.string());
        }
        const double loadSeconds = since(clock);

        std::vector<double> detect, prepare, prompt, decode, finish, clean, total;
        std::string raw;
        std::string text;
        korvane::TranscriptionTimings timings;
        for (int run = 0; run < repeat; ++run) {
            clock = std::chrono::steady_clock::now();
            raw = transcriber.transcribe(audio, timings);
            const auto cleanStart = std::chrono::steady_clock::now();
            text = vocabulary->clean(raw);
            clean.push_back(since(cleanStart));
            total.push_back(since(clock));
            detect.push_back(timings.detectSeconds);
            prepare.push_back(timings.prepareSeconds);
            prompt.push_back(timings.promptSeconds);
            decode.push_back(timings.decodeSeconds);
            finish.push_back(timings.finishSeconds);
        }

        const double pipeline = readSeconds + convertSeconds + median(total);
        const double outside = pipeline - median(decode);
        std::printf("text: %s\n", text.c_str());
        std::printf("raw: %s\n", raw.c_str());
        std::printf("audio: %.2f s in (%d Hz, %d channel(s)), %.2f s decoded\n",
                    static_cast<double>(audio.size()) / 16000.0, wav.sampleRate, wav.channels,
                    static_cast<double>(timings.decodedSamples) / 16000.0);
        std::printf("encoder window: %.2f s%s\n", static_cast<double>(timings.encoderWindowSamples) / 16000.0,
                    timings.redoneInStandardWindow ? " (the adaptive window's decode ran away and was redone)" : "");
        std::printf("threads: %d\n", korvane::transcriptionThreads());
        std::printf("back end: %s\n", korvane::computeBackendSummary(transcriber.computeBackend()).c_str());
        std::printf("%-18s %10.4f s\n", "read wav", readSeconds);
        std::printf("%-18s %10.4f s\n", "to 16 kHz mono", convertSeconds);
        std::printf("%-18s %10.4f s\n", "load model", loadSeconds);
        std::printf("%-18s %10.4f s\n", "speech detector", median(detect));
        std::printf("%-18s %10.4f s\n", "trim and pad", median(prepare));
        std::printf("%-18s %10.4f s\n", "prompt", median(prompt));
        std::printf("%-18s %10.4f s\n", "whisper_full", median(decode));
        std::printf("%-18s %10.4f s\n", "segments", median(finish));
        std::printf("%-18s %10.4f s\n", "clean", median(clean));
        std::printf("%-18s %10.4f s\n", "pipeline", pipeline);
        std::printf("%-18s %10.4f s (%.2f %% of the pipeline)\n", "outside whisper", outside,
                    pipeline > 0 ? 100.0 * outside / pipeline : 0.0);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "korvane-transcribe: %s\n", error.what());
        return 1;
    }
}
