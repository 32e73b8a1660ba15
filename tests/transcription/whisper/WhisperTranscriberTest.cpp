// SPDX-License-Identifier: MIT
// The transcriber against whisper.cpp with generated model files.
#include "transcription/whisper/WhisperTranscriber.h"
#include "audio/speech/SpeechDetector.h"
#include "base/logging/Logger.h"
#include "tests/support/TempHome.h"
#include "tests/transcription/whisper/TestAudio.h"
#include "tests/transcription/whisper/TranscriberFixture.h"
#include "tests/transcription/whisper/TranscriberLog.h"
#include "transcription/models/TranscriberError.h"
#include "transcription/whisper/BackendRegistry.h"
#include "transcription/whisper/TranscriptionThreads.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace korvane {
namespace {

using WhisperTranscriberTest = testing::TranscriberFixture;
using ::testing::ElementsAre;
using testing::TranscriberLog;

TEST_F(WhisperTranscriberTest, DecodesTheScriptedPhraseOfTheLoadedModel)
{
    addModel("small", testing::scriptedModel(" Hello from Korvane."));
    auto transcriber = makeTranscriber();
    EXPECT_FALSE(transcriber->isModelLoaded());
    ASSERT_TRUE(transcriber->loadModel("small", {}));
    EXPECT_TRUE(transcriber->isModelLoaded());
    EXPECT_EQ(transcriber->transcribe(testing::toneBurst(32000, 8000, 24000)), "Hello from Korvane.");
}

TEST_F(WhisperTranscriberTest, ChecksTheModelBeforeSilenceAndLengthBeforeEverything)
{
    addModel("small", testing::scriptedModel(" Hello."));
    auto transcriber = makeTranscriber();

    // Under 0.3 s nothing is looked at, not even the missing model.
    EXPECT_EQ(transcriber->transcribe(testing::silence(4799)), "");
    EXPECT_THROW(transcriber->transcribe(testing::silence(4800)), TranscriberError);
    try {
        transcriber->transcribe(testing::silence(16000));
        FAIL() << "expected modelNotLoaded";
    } catch (const TranscriberError& error) {
        EXPECT_EQ(error.kind(), TranscriberError::Kind::modelNotLoaded);
        EXPECT_EQ(error.description(), "Whisper model not loaded");
    }

    ASSERT_TRUE(transcriber->loadModel("small", {}));
    EXPECT_EQ(transcriber->transcribe(testing::silence(16000)), "") << "silence never reaches the decoder";
    EXPECT_EQ(transcriber->transcribe(testing::toneBurst(4800, 0, 4800)), "Hello.") << "0.3 s is long enough";
}

TEST_F(WhisperTranscriberTest, DiscardsStockPhrasesOnlyWhenNoSpeechWasDetected)
{
    addModel("small", testing::scriptedModel(" Thank you."));
    addModel("base", testing::scriptedModel(" Okay."));
    auto transcriber = makeTranscriber();
    ASSERT_TRUE(transcriber->loadModel("small", {}));

    std::vector<float> click = testing::silence(32000);
    click[16000] = 0.5f;
    EXPECT_EQ(transcriber->transcribe(click), "") << "a click is no speech";
    EXPECT_EQ(transcriber->transcribe(testing::toneBurst(32000, 8000, 24000)), "Thank you.") << "said on purpose";

    ASSERT_TRUE(transcriber->loadModel("base", {}));
    EXPECT_EQ(transcriber->transcribe(click), "") << "single words count after a run under 3 frames";
    // 50 ms of sound: a run of about 5 frames, no speech, but too long for a lone word to be noise.
    EXPECT_EQ(transcriber->transcribe(testing::toneBurst(32000, 16000, 16800)), "Okay.");
}

TEST_F(WhisperTranscriberTest, LogsWhatEachLoadAndTranscriptionCameTo)
{
    addModel("small", testing::scriptedModel(" Hello."));
    addModel("turbo", testing::scriptedModel(" Thank you."));
    addDamagedModel("base", "not a whisper model");
    std::vector<float> click = testing::silence(32000);
    click[16000] = 0.5f;
    const int clickRun = SpeechDetector::analyze(click).longestRun;
    const TranscriberLog log;
    auto transcriber = makeTranscriber();

    EXPECT_FALSE(transcriber->loadModel("medium", {})) << "not in this catalogue";
    EXPECT_FALSE(transcriber->loadModel("base", {}));
    ASSERT_TRUE(transcriber->loadModel("small", {}));
    // One second of sound is padded to the 1.2 s the decoder gets at least.
    EXPECT_EQ(transcriber->transcribe(testing::toneBurst(16000, 0, 16000)), "Hello.");
    ASSERT_TRUE(transcriber->loadModel("turbo", {}));
    EXPECT_EQ(transcriber->transcribe(click), "");
    transcriber->unload();
    EXPECT_FALSE(transcriber->loadModel("small", {}));

    // Where a model runs depends on the build of whisper.cpp and the machine; how it is said does not.
    const ComputeBackend where = plannedComputeBackend(true);
    std::vector<std::string> expected{"Failed to fetch model medium: Unknown model: medium",
                                      "Loading whisper model: base",
                                      "whisper_init_from_file failed for " + (modelsDir() / "ggml-base.bin").string()};
    const auto addLoad = [&](const std::string& name) {
        expected.push_back("Loading whisper model: " + name);
        if (!where.onGpu()) {
            expected.push_back("Recognition on the CPU: " + std::string(cpuReasonText(where.whyCpu)));
        }
        expected.push_back("Model loaded: " + name + " (" + computeBackendText(where) + ")");
    };
    addLoad("small");
    expected.insert(expected.end(), {"Sending 1.20s to whisper", "Transcription complete: 6 characters"});
    addLoad("turbo");
    expected.insert(expected.end(), {"Sending 1.20s to whisper",
                                     "Discarding stock phrase: no speech detected (longest run " +
                                         std::to_string(clickRun) + " frames)",
                                     "Model load skipped: shutting down"});
    EXPECT_EQ(log.messages(), expected);
}

TEST_F(WhisperTranscriberTest, RunsEachLoadWhereTheGpuSettingAndTheBuildAllow)
{
    addModel("small", testing::scriptedModel(" Hello."));
    // With the GPU allowed the build and the machine decide; a whisper.cpp without a GPU back end
    // (the CPU build the tests normally run against) must say so.
    const ComputeBackend gpuOn = plannedComputeBackend(true);
    const std::vector<std::string> backends = backendInventory().backends;
    if (std::all_of(backends.begin(), backends.end(),
                    [](const auto& name) { return name == "CPU" || name == "BLAS"; })) {
        EXPECT_EQ(computeBackendSummary(gpuOn), computeBackendText(gpuOn) + " (no GPU back end in this build)");
    }
    auto transcriber = makeTranscriber();
    EXPECT_FALSE(transcriber->isGpuBackendActive()) << "nothing loaded";
    const TranscriberLog log;
    for (const bool useGpu : {false, true, false}) {  // the setting is read at every load
        useGpu_ = useGpu;
        const std::size_t before = log.messages().size();
        ASSERT_TRUE(transcriber->loadModel("small", {}));
        EXPECT_EQ(transcriber->transcribe(testing::toneBurst(16000, 0, 16000)), "Hello.");

        const ComputeBackend where = transcriber->computeBackend();
        EXPECT_EQ(where, useGpu ? gpuOn : plannedComputeBackend(false));
        EXPECT_EQ(where.onGpu() || where.whyCpu == CpuReason::gpuTurnedOff, !useGpu || gpuOn.onGpu());
        EXPECT_EQ(transcriber->isGpuBackendActive(), where.onGpu());
        EXPECT_EQ(where.threads, transcriptionThreads());
        std::vector<std::string> expected{"Loading whisper model: small"};
        if (!where.onGpu()) {
            expected.push_back("Recognition on the CPU: " + std::string(cpuReasonText(where.whyCpu)));
        }
        expected.push_back("Model loaded: small (" + computeBackendText(where) + ")");
        const std::vector<std::string> messages = log.messages();
        ASSERT_GE(messages.size(), before + expected.size());
        EXPECT_EQ(std::vector<std::string>(messages.begin() + static_cast<std::ptrdiff_t>(before),
                                           messages.begin() + static_cast<std::ptrdiff_t>(before + expected.size())),
                  expected);
    }
}

TEST_F(WhisperTranscriberTest, AppliesTheNameRuleToUnknownModelNames)
{
    addModel("small", testing::scriptedModel(" Small."));
    auto transcriber = makeTranscriber("tiny");
    EXPECT_EQ(transcriber->modelName(), "small");
    ASSERT_TRUE(transcriber->loadModel("", {}));
    EXPECT_EQ(transcriber->modelName(), "small");
}

TEST_F(WhisperTranscriberTest, CountsTokensWithTheLoadedVocabulary)
{
    addModel("small", testing::vocabularyModel({"Kube", "rnetes", " GraphQL"}));
    auto transcriber = makeTranscriber();
    EXPECT_EQ(transcriber->tryTokenCount("Kubernetes"), std::nullopt) << "no model, no count";
    ASSERT_TRUE(transcriber->loadModel("small", {}));

    EXPECT_EQ(transcriber->tryTokenCount("Kubernetes"), 2);
    EXPECT_EQ(transcriber->tryTokenCount("Kubernetes GraphQL."), 4);
    EXPECT_EQ(transcriber->tryTokenCount(""), 0);
    // More tokens than the 2,048-token buffer: the count whisper.cpp says it would need.
    EXPECT_EQ(transcriber->tryTokenCount(std::string(2100, 'x')), 2100);
}

TEST_F(WhisperTranscriberTest, TokenisesARepeatedPromptOnceAndRefitsWhenTermsOrModelChange)
{
    addModel("small", testing::scriptedModel(" One."));
    addModel("base", testing::scriptedModel(" Two."));
    auto transcriber = makeTranscriber();
    const auto speech = testing::toneBurst(24000, 4000, 20000);

    settings_->setTerms({"Kubernetes", "GraphQL"});
    {
        auto held = transcriber->tryLock();
        ASSERT_TRUE(held.owns_lock());
        const auto fitted = transcriber->fittedPromptLocked({"Kubernetes"}, held);
        EXPECT_EQ(fitted.prompt, "");
        EXPECT_EQ(fitted.totalTerms, 1);
    }
    EXPECT_EQ(transcriber->promptFitCount(), 0u) << "nothing is fitted or cached without a model";

    ASSERT_TRUE(transcriber->loadModel("small", {}));
    EXPECT_EQ(transcriber->transcribe(speech), "One.");
    EXPECT_EQ(transcriber->transcribe(speech), "One.");
    EXPECT_EQ(transcriber->promptFitCount(), 1u);

    settings_->setTerms({"Kubernetes", "GraphQL", "Korvane"});
    transcriber->transcribe(speech);
    EXPECT_EQ(transcriber->promptFitCount(), 2u);
    settings_->setLegacyPrompt("Docker");
    transcriber->transcribe(speech);
    EXPECT_EQ(transcriber->promptFitCount(), 3u);

    ASSERT_TRUE(transcriber->loadModel("base", {}));
    EXPECT_EQ(transcriber->transcribe(speech), "Two.");
    EXPECT_EQ(transcriber->promptFitCount(), 4u);
    transcriber->transcribe(speech);
    EXPECT_EQ(transcriber->promptFitCount(), 4u);
}

TEST_F(WhisperTranscriberTest, FitsTheVocabularyPromptIntoTwoHundredTwentyFourTokens)
{
    addModel("small", testing::vocabularyModel({}));
    auto transcriber = makeTranscriber();
    ASSERT_TRUE(transcriber->loadModel("small", {}));

    std::vector<std::string> terms;
    for (int i = 0; i < 100; ++i) {
        terms.push_back("term" + std::to_string(i));  // about 7 single-byte tokens each
    }
    const TranscriberLog log;
    auto held = transcriber->tryLock();
    ASSERT_TRUE(held.owns_lock());
    const auto fitted = transcriber->fittedPromptLocked(terms, held);
    EXPECT_EQ(fitted.totalTerms, 100);
    EXPECT_GT(fitted.usedTerms, 20);
    EXPECT_LT(fitted.usedTerms, 100);
    EXPECT_LE(fitted.tokenCount, WhisperTranscriber::kPromptTokenLimit);
    EXPECT_EQ(transcriber->tokenCountLocked(fitted.prompt, held), fitted.tokenCount);
    // One more term would not have fitted.
    const std::string longer = fitted.prompt.substr(0, fitted.prompt.size() - 1) + ", " +
                               terms[static_cast<std::size_t>(fitted.usedTerms)] + ".";
    EXPECT_GT(transcriber->tokenCountLocked(longer, held), WhisperTranscriber::kPromptTokenLimit);
    EXPECT_THAT(log.messages(),
                ElementsAre("Vocabulary prompt truncated: " + std::to_string(fitted.usedTerms) + " of 100 terms fit"));
}

TEST_F(WhisperTranscriberTest, UnloadIsFinal)
{
    addModel("small", testing::scriptedModel(" Hello."));
    auto transcriber = makeTranscriber();
    ASSERT_TRUE(transcriber->loadModel("small", {}));
    transcriber->unload();
    EXPECT_FALSE(transcriber->isModelLoaded());
    EXPECT_THROW(transcriber->transcribe(testing::toneBurst(16000, 0, 16000)), TranscriberError);
    EXPECT_FALSE(transcriber->loadModel("small", {}));
    EXPECT_FALSE(transcriber->isModelLoaded());
}

TEST_F(WhisperTranscriberTest, ReleasedModelIsGoneUntilTheNextLoad)
{
    addModel("small", testing::scriptedModel(" Hello."));
    auto transcriber = makeTranscriber();
    ASSERT_TRUE(transcriber->loadModel("small", {}));
    transcriber->releaseModel();
    EXPECT_FALSE(transcriber->isModelLoaded());
    EXPECT_THROW(transcriber->transcribe(testing::toneBurst(16000, 0, 16000)), TranscriberError);
    // Unlike unload() at quit, a release leaves loading possible.
    ASSERT_TRUE(transcriber->loadModel("small", {}));
    EXPECT_EQ(transcriber->transcribe(testing::toneBurst(32000, 8000, 24000)), "Hello.");
}

TEST_F(WhisperTranscriberTest, DeletesModelFilesThroughTheStore)
{
    addModel("base", testing::scriptedModel(" Hello."));
    auto transcriber = makeTranscriber();
    transcriber->deleteModelFile("base");
    EXPECT_FALSE(std::filesystem::exists(modelsDir() / "ggml-base.bin"));
    EXPECT_NO_THROW(transcriber->deleteModelFile("base"));
    EXPECT_THROW(transcriber->deleteModelFile("tiny"), TranscriberError);
}

}  // namespace
}  // namespace korvane
