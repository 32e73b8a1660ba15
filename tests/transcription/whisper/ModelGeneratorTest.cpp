// SPDX-License-Identifier: MIT
// Generated model files as whisper.cpp itself sees them.
#include "tests/support/TempHome.h"
#include "tools/modelgen/GeneratedVocabulary.h"
#include "tools/modelgen/ModelWriter.h"
#include "transcription/whisper/RunawayDecode.h"

#include <whisper.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace korvane {
namespace {

using modelgen::ModelKind;
using modelgen::ModelRecipe;
using ::testing::ElementsAre;

struct ContextFree {
    void operator()(whisper_context* context) const { whisper_free(context); }
};
using Context = std::unique_ptr<whisper_context, ContextFree>;

Context load(const std::filesystem::path& path)
{
    whisper_log_set([](ggml_log_level, const char*, void*) {}, nullptr);
    whisper_context_params params = whisper_context_default_params();
    params.use_gpu = false;
    return Context(whisper_init_from_file_with_params(path.c_str(), params));
}

std::string decode(whisper_context* context, bool timestamps)
{
    std::vector<float> audio(32000);
    for (std::size_t i = 0; i < audio.size(); ++i) {
        audio[i] = 0.2f * std::sin(0.1f * static_cast<float>(i));
    }
    whisper_full_params params = whisper_full_default_params(WHISPER_SAMPLING_GREEDY);
    params.n_threads = 1;
    params.print_progress = false;
    params.print_timestamps = false;
    params.no_timestamps = !timestamps;
    if (whisper_full(context, params, audio.data(), static_cast<int>(audio.size())) != 0) {
        return "<failed>";
    }
    std::string text;
    for (int i = 0; i < whisper_full_n_segments(context); ++i) {
        text += whisper_full_get_segment_text(context, i);
    }
    return text;
}

TEST(ModelGenerator, SplitsPhrasesAsTheTokenizerDoes)
{
    EXPECT_THAT(modelgen::splitIntoWordPieces(" Hello, world's 42 times."),
                ElementsAre(" Hello", ",", " world", "'s", " 42", " times", "."));
    ModelRecipe recipe;
    recipe.phrase = " Hello Hello";
    EXPECT_THROW(modelgen::buildVocabulary(recipe), std::invalid_argument) << "a repeated piece is ambiguous";
    recipe.phrase = "";
    EXPECT_THROW(modelgen::buildVocabulary(recipe), std::invalid_argument);
}

TEST(ModelGenerator, RefusesShapesWhisperCannotLoad)
{
    testing::TempHome home;
    ModelRecipe recipe;
    recipe.textLayers = 2;
    EXPECT_THROW(modelgen::writeModel(home.path() / "m.bin", recipe), std::invalid_argument);
    recipe = ModelRecipe{};
    recipe.state = 63;
    EXPECT_THROW(modelgen::writeModel(home.path() / "m.bin", recipe), std::invalid_argument);
    recipe = ModelRecipe{};
    recipe.state = 8;  // room for one phrase piece only
    recipe.phrase = " a b";
    EXPECT_THROW(modelgen::writeModel(home.path() / "m.bin", recipe), std::invalid_argument);
    recipe = ModelRecipe{};
    recipe.textContext = 16;
    EXPECT_THROW(modelgen::writeModel(home.path() / "m.bin", recipe), std::invalid_argument);
    EXPECT_THROW(modelgen::writeModel(home.path() / "missing" / "m.bin", ModelRecipe{}), std::runtime_error);
}

TEST(ModelGenerator, WritesTheSameBytesForTheSameSpec)
{
    testing::TempHome home;
    ModelRecipe recipe;
    recipe.kind = ModelKind::random;
    modelgen::writeModel(home.path() / "a.bin", recipe);
    modelgen::writeModel(home.path() / "b.bin", recipe);
    const std::string a = testing::readFile(home.path() / "a.bin");
    EXPECT_EQ(a, testing::readFile(home.path() / "b.bin"));
    recipe.seed = 2;
    modelgen::writeModel(home.path() / "b.bin", recipe);
    EXPECT_NE(a, testing::readFile(home.path() / "b.bin"));
}

TEST(ModelGenerator, VocabularyOnlyFileLoadsAsAnEmptyModelThatTokenises)
{
    testing::TempHome home;
    ModelRecipe recipe;
    recipe.kind = ModelKind::vocabularyOnly;
    recipe.extraTokens = {" Korvane"};
    modelgen::writeModel(home.path() / "v.bin", recipe);
    EXPECT_LT(std::filesystem::file_size(home.path() / "v.bin"), 200'000u);

    const Context context = load(home.path() / "v.bin");
    ASSERT_TRUE(context);
    EXPECT_EQ(whisper_n_vocab(context.get()), modelgen::kEnglishVocabularySize);
    EXPECT_FALSE(whisper_is_multilingual(context.get()));
    whisper_token tokens[8];
    ASSERT_EQ(whisper_tokenize(context.get(), "Hi Korvane", tokens, 8), 3);
    EXPECT_STREQ(whisper_token_to_str(context.get(), tokens[2]), " Korvane");
    EXPECT_EQ(whisper_token_eot(context.get()), modelgen::kTokenEndOfText);
}

TEST(ModelGenerator, ScriptedModelDecodesItsPhraseWithAndWithoutTimestamps)
{
    testing::TempHome home;
    ModelRecipe recipe;
    recipe.phrase = " The quick brown fox.";
    recipe.audioLayers = 2;
    recipe.textLayers = 3;
    modelgen::writeModel(home.path() / "s.bin", recipe);
    const Context context = load(home.path() / "s.bin");
    ASSERT_TRUE(context);
    EXPECT_EQ(decode(context.get(), true), " The quick brown fox.");
    EXPECT_EQ(decode(context.get(), false), " The quick brown fox.");
}

TEST(ModelGenerator, LoopingModelRepeatsItsPhraseUntilTheDecoderTokenLimit)
{
    testing::TempHome home;
    ModelRecipe recipe;
    recipe.phrase = " Again and";
    recipe.loopsPhrase = true;
    recipe.textContext = 64;
    modelgen::writeModel(home.path() / "l.bin", recipe);
    const Context context = load(home.path() / "l.bin");
    ASSERT_TRUE(context);

    std::vector<float> audio(32000, 0.1f);
    whisper_full_params params = whisper_full_default_params(WHISPER_SAMPLING_GREEDY);
    params.n_threads = 1;
    params.print_progress = false;
    params.temperature_inc = 0;  // the fallback to sampling would only loop again, five times slower
    ASSERT_EQ(whisper_full(context.get(), params, audio.data(), static_cast<int>(audio.size())), 0);
    ASSERT_EQ(whisper_full_n_segments(context.get()), 1);
    const int tokens = whisper_full_n_tokens(context.get(), 0);
    EXPECT_EQ(whisper_n_text_ctx(context.get()), 64);
    EXPECT_EQ(tokens, decoderTokenLimit(64));
    std::string expected;
    for (int i = 0; i < tokens / 2; ++i) {
        expected += " Again and";
    }
    EXPECT_EQ(whisper_full_get_segment_text(context.get(), 0), expected);
}

TEST(ModelGenerator, RandomModelLoadsWithEveryTensor)
{
    testing::TempHome home;
    ModelRecipe recipe;
    recipe.kind = ModelKind::random;
    modelgen::writeModel(home.path() / "r.bin", recipe);
    EXPECT_TRUE(load(home.path() / "r.bin"));
}

}  // namespace
}  // namespace korvane
