// SPDX-License-Identifier: MIT
// The transcriber's pure preparation steps: trimming and padding, prompt terms, thread count.
#include "tests/transcription/whisper/FakePromptSettings.h"
#include "transcription/whisper/TranscriptionThreads.h"
#include "transcription/whisper/WhisperTranscriber.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;

// A buffer whose samples are 0 except a loud stretch [first, last] of value 0.5; each sample's
// value elsewhere is tagged by position so the test can see which part was kept.
std::vector<float> loudBetween(std::size_t count, std::size_t first, std::size_t last)
{
    std::vector<float> samples(count, 0.0f);
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] = 1e-6f * static_cast<float>(i % 1000);  // below every threshold
    }
    std::fill(samples.begin() + static_cast<std::ptrdiff_t>(first),
              samples.begin() + static_cast<std::ptrdiff_t>(last) + 1, 0.5f);
    return samples;
}

TEST(PrepareAudio, CutsTwoTenthsOfASecondAfterTheLastLoudSampleOrAtTheSpeechEndMargin)
{
    const auto samples = loudBetween(40000, 8000, 9999);
    // Loud part ends at 10,000: kept up to 13,200 without a speech end...
    auto prepared = WhisperTranscriber::prepareAudio(samples, 0.5f, std::nullopt);
    ASSERT_EQ(prepared.size(), 19200u);
    EXPECT_EQ(prepared.front(), samples[4800]);
    EXPECT_EQ(prepared[13200 - 4800 - 1], samples[13199]);
    EXPECT_EQ(prepared[13200 - 4800], 0.0f) << "padding starts right after the cut";
    // ...and up to 11,200 when the detector saw the speech end at 6,400.
    prepared = WhisperTranscriber::prepareAudio(samples, 0.5f, 6400);
    ASSERT_EQ(prepared.size(), 19200u);
    EXPECT_EQ(prepared[11200 - 4800 - 1], samples[11199]);
    EXPECT_EQ(prepared[11200 - 4800], 0.0f);
}

TEST(PrepareAudio, KeepsTheLeadInFromTheStartWhenTheLoudPartBeginsEarly)
{
    const std::size_t count = 30000;
    auto prepared = WhisperTranscriber::prepareAudio(loudBetween(count, 3000, 29000), 0.5f, std::nullopt);
    EXPECT_EQ(prepared.size(), count) << "kept from sample 0 to the end";

    const auto samples = loudBetween(count, 3201, 29000);
    prepared = WhisperTranscriber::prepareAudio(samples, 0.5f, std::nullopt);
    EXPECT_EQ(prepared.size(), count - 1);
    EXPECT_EQ(prepared.front(), samples[1]);
}

TEST(PrepareAudio, PadsShortResultsWithTrailingZerosToOnePointTwoSeconds)
{
    const auto samples = loudBetween(8000, 4000, 4100);
    const auto prepared = WhisperTranscriber::prepareAudio(samples, 0.5f, std::nullopt);
    ASSERT_EQ(prepared.size(), 19200u);
    EXPECT_EQ(prepared[0], samples[800]);
    EXPECT_EQ(prepared[6500], samples[7300]) << "last kept: 3,200 after the last loud sample";
    EXPECT_TRUE(std::all_of(prepared.begin() + 6501, prepared.end(), [](float s) { return s == 0.0f; }));

    const std::vector<float> longer(30000, 0.5f);
    EXPECT_EQ(WhisperTranscriber::prepareAudio(longer, 0.5f, std::nullopt).size(), 30000u) << "never shortened";
}

TEST(PrepareAudio, KeepsTheWholeBufferWhenNoSampleReachesTheFloorThreshold)
{
    // A peak between 0.001 and 0.002: the threshold is 0.002, which nothing reaches.
    std::vector<float> samples(10000, 0.0f);
    samples[5000] = 0.0015f;
    const auto prepared = WhisperTranscriber::prepareAudio(samples, 0.0015f, 100);
    ASSERT_EQ(prepared.size(), 19200u);
    EXPECT_EQ(prepared[5000], 0.0015f);
}

TEST(PromptTerms, AppendsLegacyTermsOnceEachIgnoringCaseAndEmptyPieces)
{
    testing::FakePromptSettings settings;
    settings.setTerms({"GraphQL", "Korvane"});
    EXPECT_THAT(WhisperTranscriber::promptTerms(settings), ElementsAre("GraphQL", "Korvane"));

    settings.setLegacyPrompt("Kubernetes, kubernetes\n graphql,, \n,Docker Compose ,");
    EXPECT_THAT(WhisperTranscriber::promptTerms(settings),
                ElementsAre("GraphQL", "Korvane", "Kubernetes", "Docker Compose"));

    settings.setTerms({});
    settings.setLegacyPrompt("Kubernetes, kubernetes\nGraphQL,");
    EXPECT_THAT(WhisperTranscriber::promptTerms(settings), ElementsAre("Kubernetes", "GraphQL"));
}

TEST(TranscriptionThreads, PrefersPerformanceCoresThenAllButOneProcessor)
{
    EXPECT_EQ(transcriptionThreadsFor("0-7,16-23\n", 24), 16);
    EXPECT_EQ(transcriptionThreadsFor("4\n", 8), 1);
    EXPECT_EQ(transcriptionThreadsFor(std::nullopt, 8), 7);
    EXPECT_EQ(transcriptionThreadsFor("", 8), 7);
    EXPECT_EQ(transcriptionThreadsFor("garbage", 8), 7);
    EXPECT_EQ(transcriptionThreadsFor("3-1", 8), 7) << "a backwards range is not a list";
    EXPECT_EQ(transcriptionThreadsFor(std::nullopt, 1), 1);
    EXPECT_EQ(transcriptionThreadsFor(std::nullopt, 0), 1);
    EXPECT_GE(transcriptionThreads(), 1);
}

}  // namespace
}  // namespace korvane
