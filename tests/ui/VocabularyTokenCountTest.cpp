// SPDX-License-Identifier: MIT
// The summary line against a real transcriber over a generated model: it never waits for the
// transcriber, shows the fallback while no count can be made, and fills in the count by itself
// once the model is loaded or the transcriber is free again.
#include "base/scheduling/VirtualMainQueue.h"
#include "tests/support/TempHome.h"
#include "tests/support/models/GeneratedModels.h"
#include "tests/transcription/whisper/FakePromptSettings.h"
#include "transcription/whisper/ModelStoreFiles.h"
#include "transcription/whisper/WhisperTranscriber.h"
#include "ui/logic/VocabularyEditor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace korvane {
namespace {

using namespace std::chrono_literals;

// Holds the transcriber's lock on a thread of its own, as a transcription does, until released
// (or, should a counter wrongly wait for it, until a safety time-out, so the test fails instead of
// hanging).
class LockHolder {
public:
    explicit LockHolder(WhisperTranscriber& transcriber)
        : thread_([this, &transcriber] {
              WhisperTranscriber::Guard guard = transcriber.tryLock();
              std::unique_lock lock(mutex_);
              started_ = true;
              holding_ = guard.owns_lock();
              changed_.notify_all();
              changed_.wait_for(lock, 10s, [this] { return released_; });
              holding_ = false;
          })
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return started_; });
    }

    ~LockHolder() { release(); }

    bool holding() const
    {
        const std::lock_guard lock(mutex_);
        return holding_;
    }

    void release()
    {
        {
            const std::lock_guard lock(mutex_);
            released_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool started_ = false;
    bool holding_ = false;
    bool released_ = false;
    std::thread thread_;
};

std::string countedLine(int terms, int tokens)
{
    return std::to_string(terms) + " user spellings provided, using " + std::to_string(tokens) + " of 224 tokens.";
}

TEST(VocabularyTokenCountTest, TheSummaryNeverWaitsForTheTranscriberAndFillsInOnceItCan)
{
    testing::TempHome home;
    const auto modelsDir = home.path() / "models";
    ModelDefinitions definitions;
    definitions["small"] =
        testing::writeGeneratedModel(modelsDir, "ggml-small.bin", testing::vocabularyModel({"Kube", "rnetes"}));
    auto transcriber = std::make_shared<WhisperTranscriber>(
        "small", std::make_shared<ModelStoreFiles>(testing::offlineModelStore(definitions, modelsDir)),
        std::make_shared<testing::FakePromptSettings>());

    Vocabulary stored{{"Kubernetes", {"cube and eighties"}}, {"Grafana", {"graph ana"}}};
    VocabularyEditor::Storage storage{[&stored] { return stored; },
                                      [&stored](const Vocabulary& vocabulary) {
                                          stored = vocabulary;
                                          return true;
                                      }};
    auto queue = std::make_shared<VirtualMainQueue>();
    const std::weak_ptr<WhisperTranscriber> weakTranscriber = transcriber;
    auto editor = VocabularyEditor::create(
        storage,
        [weakTranscriber](const std::string& text) -> std::optional<int> {
            if (auto strong = weakTranscriber.lock()) {
                return strong->tryTokenCount(text);
            }
            return std::nullopt;
        },
        queue);

    // No model loaded yet.
    editor->appear();
    EXPECT_EQ(editor->summary().text, "2 user spellings provided. Token use shows once a model loads.");

    ASSERT_TRUE(transcriber->loadModel("small", [](int) {}));
    queue->advance(VocabularyEditor::kCountRetrySeconds);
    const std::optional<int> loadedCount = transcriber->tryTokenCount("Kubernetes, Grafana.");
    ASSERT_TRUE(loadedCount);
    EXPECT_EQ(editor->summary().text, countedLine(2, *loadedCount));

    // A transcription holds the lock: the edit is saved and the summary answers at once.
    {
        LockHolder transcription(*transcriber);
        ASSERT_TRUE(transcription.holding());
        editor->editField(1, VocabularyColumn::replacement, "Prometheus");
        EXPECT_TRUE(transcription.holding()) << "the summary waited for the transcriber";
        EXPECT_EQ(editor->summary().text, "2 user spellings provided. Token use shows once a model loads.");
        EXPECT_EQ(stored, (Vocabulary{{"Kubernetes", {"cube and eighties"}}, {"Prometheus", {"graph ana"}}}));
    }
    queue->advance(VocabularyEditor::kCountRetrySeconds);
    const std::optional<int> editedCount = transcriber->tryTokenCount("Kubernetes, Prometheus.");
    ASSERT_TRUE(editedCount);
    EXPECT_EQ(editor->summary().text, countedLine(2, *editedCount));
    EXPECT_EQ(queue->pendingCount(), 0u);
}

}  // namespace
}  // namespace korvane
