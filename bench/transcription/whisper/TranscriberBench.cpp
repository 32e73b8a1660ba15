// SPDX-License-Identifier: MIT
// Figures for the transcriber: trimming ten minutes of audio, a whole transcription on a generated
// model (with the share spent outside whisper_full), and the prompt fit with and without the cache.
#include "tests/support/models/GeneratedModels.h"
#include "transcription/whisper/WhisperTranscriber.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace korvane {
namespace {

class FixedFile final : public ModelFiles {
public:
    explicit FixedFile(std::filesystem::path path) : path_(std::move(path)) {}
    std::filesystem::path ensureModel(std::string_view, const ProgressCallback&) override { return path_; }
    void deleteModelFile(std::string_view) override {}

private:
    std::filesystem::path path_;
};

class Terms final : public PromptSettings {
public:
    Vocabulary vocabulary() const override
    {
        std::vector<VocabularyEntry> entries;
        for (int i = 0; i < 40; ++i) {
            entries.push_back({"Term" + std::to_string(i), {"heard " + std::to_string(i)}});
        }
        return Vocabulary(entries);
    }
    std::optional<std::string> legacyVocabularyPrompt() const override { return std::nullopt; }
};

std::vector<float> speechInSilence(std::size_t total, std::size_t from, std::size_t to)
{
    std::vector<float> samples(total, 0.0f);
    for (std::size_t i = from; i < to; ++i) {
        samples[i] = 0.3f * std::sin(0.12f * static_cast<float>(i)) * std::sin(0.0004f * static_cast<float>(i));
    }
    return samples;
}

// A transcriber over a generated model in a temporary directory that lives as long as it.
struct Fixture {
    Fixture() : dir(std::filesystem::temp_directory_path() / ("korvane-bench-" + std::to_string(getpid())))
    {
        std::filesystem::create_directories(dir);
        testing::writeGeneratedModel(dir, "model.bin", testing::scriptedModel(" Benchmark phrase."));
        transcriber = std::make_unique<WhisperTranscriber>("small", std::make_shared<FixedFile>(dir / "model.bin"),
                                                           std::make_shared<Terms>());
        transcriber->loadModel("small", {});
    }
    ~Fixture() { std::filesystem::remove_all(dir); }

    std::filesystem::path dir;
    std::unique_ptr<WhisperTranscriber> transcriber;
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_PrepareAudioTenMinutes(benchmark::State& state)
{
    const auto samples = speechInSilence(9'600'000, 48'000, 9'552'000);
    for (auto _ : state) {
        auto prepared = WhisperTranscriber::prepareAudio(samples, 0.3f, std::nullopt);
        benchmark::DoNotOptimize(prepared.data());
    }
}
BENCHMARK(BM_PrepareAudioTenMinutes)->Unit(benchmark::kMillisecond);

// Ten seconds, 3 s of silence at each end. Counters: the share of the time spent outside
// whisper_full, and the seconds actually decoded.
void BM_TranscribeTenSeconds(benchmark::State& state)
{
    const auto audio = speechInSilence(160'000, 48'000, 112'000);
    double outside = 0;
    double total = 0;
    TranscriptionTimings timings;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(fixture().transcriber->transcribe(audio, timings));
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        total += seconds;
        outside += seconds - timings.decodeSeconds;
    }
    state.counters["outside_whisper_full_pct"] = total > 0 ? 100.0 * outside / total : 0.0;
    state.counters["decoded_s"] = static_cast<double>(timings.decodedSamples) / 16000.0;
}
BENCHMARK(BM_TranscribeTenSeconds)->Unit(benchmark::kMillisecond);

void BM_FitPromptCached(benchmark::State& state)
{
    Terms terms;
    const auto list = WhisperTranscriber::promptTerms(terms);
    for (auto _ : state) {
        auto held = fixture().transcriber->tryLock();
        benchmark::DoNotOptimize(fixture().transcriber->fittedPromptLocked(list, held));
    }
}
BENCHMARK(BM_FitPromptCached);

void BM_FitPromptFresh(benchmark::State& state)
{
    Terms terms;
    auto list = WhisperTranscriber::promptTerms(terms);
    int round = 0;
    for (auto _ : state) {
        list.back() = "Changed" + std::to_string(round++);  // a new signature every time
        auto held = fixture().transcriber->tryLock();
        benchmark::DoNotOptimize(fixture().transcriber->fittedPromptLocked(list, held));
    }
}
BENCHMARK(BM_FitPromptFresh)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace korvane
