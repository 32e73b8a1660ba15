// SPDX-License-Identifier: MIT
// Prints how long the vocabulary tab's summary line takes to refresh with 200 entries against a
// loaded generated model, counting tokens the way the settings window does (never waiting for the
// transcriber), and the same refresh while a transcription holds the transcriber and with no model.
// Figures, not a test. Run build/bench/ui/vocabulary_summary_figures.
#include "base/scheduling/VirtualMainQueue.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/models/GeneratedModels.h"
#include "transcription/whisper/ModelStoreFiles.h"
#include "transcription/whisper/PromptSettings.h"
#include "transcription/whisper/WhisperTranscriber.h"
#include "ui/logic/VocabularyEditor.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace korvane;
using Clock = std::chrono::steady_clock;

constexpr int kEntries = 200;
constexpr int kRuns = 30;

class NoPrompt final : public PromptSettings {
public:
    Vocabulary vocabulary() const override { return {}; }
    std::optional<std::string> legacyVocabularyPrompt() const override { return std::nullopt; }
};

// Made-up product names of three syllables each ("Karomi", "Tusali", ...), all different.
const std::array<const char*, 10> kSyllables{"ka", "ro", "mi", "ne", "tu", "sa", "li", "vo", "de", "gra"};

Vocabulary twoHundredNames()
{
    std::vector<VocabularyEntry> entries;
    for (int index = 0; index < kEntries; ++index) {
        std::string name = std::string(kSyllables[index % 10]) + kSyllables[(index / 10) % 10] +
                           kSyllables[(index / 100 + index) % 10];
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
        entries.push_back({name, {"heard " + std::to_string(index), "also heard " + std::to_string(index)}});
    }
    return Vocabulary(entries);
}

// Tokens for the syllables, so a name takes about three tokens, as a real model splits an unknown
// name; without them every byte is a token.
std::vector<std::string> syllableTokens()
{
    std::vector<std::string> tokens;
    for (const char* syllable : kSyllables) {
        std::string capital = syllable;
        capital[0] = static_cast<char>(capital[0] - 'a' + 'A');
        tokens.push_back(" " + capital);
        tokens.push_back(capital);
        tokens.push_back(syllable);
    }
    tokens.push_back(",");
    return tokens;
}

struct Figures {
    double median = 0;
    double worst = 0;
};

Figures time(const std::function<void()>& run)
{
    std::vector<double> milliseconds;
    for (int index = 0; index < kRuns; ++index) {
        const Clock::time_point start = Clock::now();
        run();
        milliseconds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    return Figures{milliseconds[milliseconds.size() / 2], milliseconds.back()};
}

// Holds the transcriber's lock on another thread, as a running transcription does.
class BusyTranscriber {
public:
    explicit BusyTranscriber(WhisperTranscriber& transcriber)
        : thread_([this, &transcriber] {
              WhisperTranscriber::Guard guard = transcriber.tryLock();
              std::unique_lock lock(mutex_);
              held_ = true;
              changed_.notify_all();
              changed_.wait(lock, [this] { return done_; });
          })
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return held_; });
    }

    ~BusyTranscriber()
    {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool done_ = false;
    std::thread thread_;
};

void report(const char* situation, const VocabularyEditor& editor, int counts, const Figures& figures)
{
    std::printf("%-46s median %7.3f ms, worst %7.3f ms, %3d counts: %s\n", situation, figures.median, figures.worst,
                counts, editor.summary().text.c_str());
}

void measure(const char* modelKind, const std::vector<std::string>& extraTokens)
{
    testing::TemporaryDirectory directory("korvane-vocabulary-figures");
    ModelDefinitions definitions;
    definitions["small"] =
        testing::writeGeneratedModel(directory.path(), "ggml-small.bin", testing::vocabularyModel(extraTokens));
    auto transcriber = std::make_shared<WhisperTranscriber>(
        "small", std::make_shared<ModelStoreFiles>(testing::offlineModelStore(definitions, directory.path())),
        std::make_shared<NoPrompt>());

    Vocabulary stored = twoHundredNames();
    VocabularyEditor::Storage storage{[&stored] { return stored; }, [](const Vocabulary&) { return true; }};
    int counts = 0;
    auto queue = std::make_shared<VirtualMainQueue>();
    auto editor = VocabularyEditor::create(
        storage,
        [&counts, transcriber](const std::string& text) {
            ++counts;
            return transcriber->tryTokenCount(text);
        },
        queue);
    editor->appear();

    std::printf("\n%s, %d entries:\n", modelKind, kEntries);
    counts = 0;
    Figures figures = time([&] { editor->refreshSummary(); });
    report("no model loaded", *editor, counts / kRuns, figures);

    if (!transcriber->loadModel("small", [](int) {})) {
        std::printf("the generated model did not load\n");
        return;
    }
    counts = 0;
    figures = time([&] { editor->refreshSummary(); });
    report("model loaded", *editor, counts / kRuns, figures);

    const std::vector<VocabularyRow> rows = VocabularyRow::rows(stored);
    figures = time([&] { VocabularyRow::vocabulary(rows); });
    std::printf("%-46s median %7.3f ms, worst %7.3f ms\n", "  of which rows to vocabulary", figures.median,
                figures.worst);
    const std::vector<std::string> terms = stored.promptTerms();
    figures = time([&] {
        Vocabulary::fitPrompt(terms, VocabularySummary::kPromptTokenLimit,
                              [&](const std::string& text) { return transcriber->tryTokenCount(text).value_or(0); });
    });
    std::printf("%-46s median %7.3f ms, worst %7.3f ms\n", "  of which prompt fitting with the tokenizer",
                figures.median, figures.worst);

    {
        BusyTranscriber busy(*transcriber);
        counts = 0;
        figures = time([&] { editor->refreshSummary(); });
        report("transcriber busy (lock held by a transcription)", *editor, counts / kRuns, figures);
    }
}

}  // namespace

int main()
{
    measure("Generated model, names split into syllable tokens", syllableTokens());
    measure("Generated model, one token per byte", {});
    return 0;
}
