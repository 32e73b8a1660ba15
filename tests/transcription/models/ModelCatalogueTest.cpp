#include "transcription/models/ModelCatalogue.h"
#include "transcription/models/DownloadProgress.h"
#include "transcription/models/TranscriberError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;

TEST(ModelCatalogue, OffersTheFourPublishedFilesWithTheirSizesAndDigests)
{
    const auto& definitions = modelDefinitions();
    ASSERT_EQ(definitions.size(), 4u);
    EXPECT_EQ(definitions.at("base"),
              (ModelDefinition{"ggml-base.bin", 147'951'465,
                               "60ed5bc3dd14eea856493d334349b405782ddcaf0028d4b5df4088345fba2efe"}));
    EXPECT_EQ(definitions.at("small"),
              (ModelDefinition{"ggml-small.bin", 487'601'967,
                               "1be3a9b2063867b937e64e2ec7483364a79917e157fa98c5d94b5c1fffea987b"}));
    EXPECT_EQ(definitions.at("medium"),
              (ModelDefinition{"ggml-medium.bin", 1'533'763'059,
                               "6c14d5adee5f86394037b4e4e8b59f1673b6cee10e3cf0b11bbdbee79c156208"}));
    EXPECT_EQ(definitions.at("turbo"),
              (ModelDefinition{"ggml-large-v3-turbo-q8_0.bin", 874'188'075,
                               "317eb69c11673c9de1e1f0d459b253999804ec71ac4c23c17ecf5fbe24e259a1"}));
    // Every offered name has a definition, in the order the settings pane lists them.
    EXPECT_THAT(availableModels(), ElementsAre("base", "small", "medium", "turbo"));
    for (auto name : availableModels()) {
        EXPECT_TRUE(definitions.contains(name)) << name;
    }
}

TEST(ModelCatalogue, UnknownNamesBecomeSmallOnlyWhereAModelIsChosen)
{
    EXPECT_EQ(resolveModelName("medium"), "medium");
    EXPECT_EQ(resolveModelName(""), "small");
    EXPECT_EQ(resolveModelName("large"), "small");
    EXPECT_EQ(resolveModelName("Base"), "small");

    EXPECT_EQ(expectedModelBytes("turbo"), 874'188'075);
    EXPECT_EQ(expectedModelBytes(""), 0);
    EXPECT_EQ(expectedModelBytes("large"), 0);
}

TEST(ModelCatalogue, FileAddressIsPinnedToOneRepositoryCommit)
{
    EXPECT_EQ(modelFileUrl(kModelRepositoryBaseUrl, modelDefinitions().at("small")),
              "https://huggingface.co/ggerganov/whisper.cpp/resolve/5359861c739e955e79d9a303bcbc70fb988958b1/"
              "ggml-small.bin");
    EXPECT_EQ(modelFileUrl("http://127.0.0.1:8080/mirror/", {"x.bin", 1, ""}),
              "http://127.0.0.1:8080/mirror/resolve/5359861c739e955e79d9a303bcbc70fb988958b1/x.bin");
}

TEST(ModelCatalogue, ModelsLiveInTheXdgDataDirectory)
{
    EXPECT_EQ(modelsDirFor("/data", "/home/ann"), std::filesystem::path("/data/Korvane/models"));
    EXPECT_EQ(modelsDirFor(nullptr, "/home/ann"), std::filesystem::path("/home/ann/.local/share/Korvane/models"));
    // Relative or empty values of XDG_DATA_HOME are invalid and must be ignored.
    EXPECT_EQ(modelsDirFor("relative/dir", "/home/ann"),
              std::filesystem::path("/home/ann/.local/share/Korvane/models"));
    EXPECT_EQ(modelsDirFor("", "/home/ann"), std::filesystem::path("/home/ann/.local/share/Korvane/models"));
    EXPECT_TRUE(modelsDirFor(nullptr, nullptr).empty());
    EXPECT_TRUE(modelsDirFor("x", "").empty());
}

TEST(TranscriberError, CarriesTheUserTextAndTheDiagnosticForm)
{
    struct Case {
        TranscriberError error;
        TranscriberError::Kind kind;
        const char* description;
        const char* diagnostic;
    };
    const std::vector<Case> cases{
        {TranscriberError::invalidURL("ht tp://x"), TranscriberError::Kind::invalidURL, "Invalid model URL: ht tp://x",
         "invalidURL(ht tp://x)"},
        {TranscriberError::downloadFailed("HTTP 404"), TranscriberError::Kind::downloadFailed,
         "Model download failed: HTTP 404", "downloadFailed(HTTP 404)"},
        {TranscriberError::checksumMismatch("ggml-base.bin"), TranscriberError::Kind::checksumMismatch,
         "Model checksum mismatch: ggml-base.bin", "checksumMismatch(ggml-base.bin)"},
        {TranscriberError::unknownModel(""), TranscriberError::Kind::unknownModel, "Unknown model: ", "unknownModel()"},
        {TranscriberError::transcriptionFailed(-7), TranscriberError::Kind::transcriptionFailed,
         "Transcription failed with code -7", "transcriptionFailed(-7)"},
        {TranscriberError::modelNotLoaded(), TranscriberError::Kind::modelNotLoaded, "Whisper model not loaded",
         "modelNotLoaded"},
    };
    for (const auto& [error, kind, description, diagnostic] : cases) {
        EXPECT_EQ(error.kind(), kind);
        EXPECT_EQ(error.description(), description);
        EXPECT_STREQ(error.what(), diagnostic);
        EXPECT_EQ(errorDescription(error), description);
    }
    EXPECT_EQ(TranscriberError::transcriptionFailed(-7).code(), -7);
    EXPECT_EQ(errorDescription(std::runtime_error("disk full")), "disk full");
}

TEST(DownloadProgress, ReportsEachPercentageOnceAndNeverPassesOneHundred)
{
    std::vector<int> reported;
    DownloadProgress progress(1000, [&reported](int percent) { reported.push_back(percent); });
    for (std::int64_t received : {5, 9, 10, 15, 19, 500, 999, 1000, 1500, 4000}) {
        progress.bytesReceived(received);
    }
    EXPECT_THAT(reported, ElementsAre(0, 1, 50, 99, 100));

    // The catalogue size is the denominator, and a huge count must not overflow the arithmetic.
    reported.clear();
    DownloadProgress large(1'533'763'059, [&reported](int percent) { reported.push_back(percent); });
    large.bytesReceived(766'881'530);
    large.bytesReceived(std::int64_t{1} << 50);
    EXPECT_THAT(reported, ElementsAre(50, 100));

    // Without a callback the progress is simply not reported.
    DownloadProgress silent(10, {});
    silent.bytesReceived(5);
}

}  // namespace
}  // namespace korvane
