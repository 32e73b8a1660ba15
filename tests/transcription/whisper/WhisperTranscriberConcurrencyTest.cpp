// SPDX-License-Identifier: MIT
// The transcriber's lock: loads, transcriptions, unload and the token counter on several threads.
#include "tests/support/TempHome.h"
#include "tests/support/models/GeneratedModels.h"
#include "tests/transcription/whisper/FakePromptSettings.h"
#include "tests/transcription/whisper/TestAudio.h"
#include "transcription/whisper/ModelStoreFiles.h"
#include "transcription/whisper/WhisperTranscriber.h"

#include <gtest/gtest.h>

#include <future>
#include <latch>
#include <memory>
#include <string>
#include <thread>

namespace korvane {
namespace {

using testing::FakePromptSettings;

// Model files whose ensureModel() runs a test's hook first, so a test can act while a load is
// between its shutdown check and the creation of its context.
class HookedModelFiles final : public ModelFiles {
public:
    HookedModelFiles(std::filesystem::path path, std::function<void()> hook)
        : path_(std::move(path)), hook_(std::move(hook))
    {
    }

    std::filesystem::path ensureModel(std::string_view, const ProgressCallback&) override
    {
        hook_();
        return path_;
    }

    void deleteModelFile(std::string_view) override {}

private:
    std::filesystem::path path_;
    std::function<void()> hook_;
};

class WhisperTranscriberConcurrencyTest : public ::testing::Test {
protected:
    std::filesystem::path modelsDir() const { return home_.path() / "models"; }

    testing::TempHome home_;
    std::shared_ptr<FakePromptSettings> settings_ = std::make_shared<FakePromptSettings>();
};

TEST_F(WhisperTranscriberConcurrencyTest, ATranscriptionFinishesWithItsModelWhileALoadSwapsInTheNextOne)
{
    ModelDefinitions definitions;
    definitions["small"] = testing::writeGeneratedModel(modelsDir(), "ggml-small.bin", testing::scriptedModel(" One."));
    definitions["base"] = testing::writeGeneratedModel(modelsDir(), "ggml-base.bin", testing::scriptedModel(" Two."));
    auto files = std::make_shared<ModelStoreFiles>(testing::offlineModelStore(definitions, modelsDir()));
    WhisperTranscriber transcriber("small", files, settings_);
    ASSERT_TRUE(transcriber.loadModel("small", {}));

    // The transcription reads the vocabulary while it holds the lock: hold it there until the
    // load has been started.
    std::latch transcribing(1);
    std::latch release(1);
    bool first = true;
    settings_->setOnRead([&] {
        if (std::exchange(first, false)) {
            transcribing.count_down();
            release.wait();
        }
    });

    const auto speech = testing::toneBurst(32000, 8000, 24000);
    auto transcription = std::async(std::launch::async, [&] { return transcriber.transcribe(speech); });
    transcribing.wait();

    EXPECT_EQ(transcriber.tryTokenCount("One"), std::nullopt) << "the counter must not wait for a transcription";
    auto load = std::async(std::launch::async, [&] { return transcriber.loadModel("base", {}); });
    release.count_down();

    EXPECT_EQ(transcription.get(), "One.");
    EXPECT_TRUE(load.get());
    EXPECT_EQ(transcriber.modelName(), "base");
    EXPECT_EQ(transcriber.transcribe(speech), "Two.");
    EXPECT_EQ(transcriber.tryTokenCount("One"), 3);
}

TEST_F(WhisperTranscriberConcurrencyTest, UnloadDuringALoadDiscardsTheNewModel)
{
    const auto definition =
        testing::writeGeneratedModel(modelsDir(), "ggml-small.bin", testing::scriptedModel(" Hello."));
    std::latch fetching(1);
    std::latch release(1);
    auto files = std::make_shared<HookedModelFiles>(modelsDir() / definition.fileName, [&] {
        fetching.count_down();
        release.wait();
    });
    WhisperTranscriber transcriber("small", files, settings_);

    auto load = std::async(std::launch::async, [&] { return transcriber.loadModel("small", {}); });
    fetching.wait();
    transcriber.unload();  // the load holds no lock while it fetches: unload must not wait for it
    release.count_down();

    EXPECT_FALSE(load.get());
    EXPECT_FALSE(transcriber.isModelLoaded());
    EXPECT_THROW(transcriber.transcribe(testing::toneBurst(16000, 0, 16000)), std::exception);
}

TEST_F(WhisperTranscriberConcurrencyTest, ConcurrentTranscriptionsAndCountsShareOneModelSafely)
{
    ModelDefinitions definitions;
    definitions["small"] =
        testing::writeGeneratedModel(modelsDir(), "ggml-small.bin", testing::scriptedModel(" Same."));
    auto files = std::make_shared<ModelStoreFiles>(testing::offlineModelStore(definitions, modelsDir()));
    WhisperTranscriber transcriber("small", files, settings_);
    ASSERT_TRUE(transcriber.loadModel("small", {}));
    settings_->setTerms({"Korvane"});

    const auto speech = testing::toneBurst(24000, 4000, 20000);
    std::vector<std::future<std::string>> runs;
    for (int i = 0; i < 3; ++i) {
        runs.push_back(std::async(std::launch::async, [&] { return transcriber.transcribe(speech); }));
    }
    std::thread counter([&] {
        for (int i = 0; i < 50; ++i) {
            const auto count = transcriber.tryTokenCount("Korvane");
            if (count) {
                EXPECT_EQ(*count, 7);
            }
        }
    });
    for (auto& run : runs) {
        EXPECT_EQ(run.get(), "Same.");
    }
    counter.join();
    EXPECT_EQ(transcriber.promptFitCount(), 1u);
}

}  // namespace
}  // namespace korvane
