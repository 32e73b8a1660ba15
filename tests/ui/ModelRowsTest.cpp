// SPDX-License-Identifier: MIT
// The General pane's model rows: status line, Retry, the check mark, the disk line and the use and
// delete buttons for each situation.
#include "ui/logic/ModelRows.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace korvane {

inline void PrintTo(const ModelRows& rows, std::ostream* out)
{
    *out << "{status \"" << rows.status.text() << "\"" << (rows.statusIsError ? " red" : "") << ", retry "
         << (rows.retryVisible ? "shown" : "hidden") << (rows.retryEnabled ? "/on" : "/off") << ", description \""
         << rows.description << "\", checked " << rows.checkedModel.value_or("none") << ", disk \"" << rows.disk
         << "\", use \"" << rows.useTitle << "\" " << (rows.useEnabled ? "on" : "off") << ", delete "
         << (rows.deleteVisible ? "shown" : "hidden") << "}";
}

namespace {

using Kind = ModelStatusLine::Kind;

TEST(ModelRows, StatusLineTexts)
{
    EXPECT_EQ((ModelStatusLine{Kind::usingModel, "small", 0}).text(), "Using small");
    EXPECT_EQ((ModelStatusLine{Kind::loadingModel, "small", 0}).text(), "Loading small…");
    EXPECT_EQ((ModelStatusLine{Kind::downloadingModel, "medium", 42}).text(), "Downloading medium 42%");
    EXPECT_EQ((ModelStatusLine{Kind::failedModel, "turbo", 0}).text(), "Failed to load turbo");
    EXPECT_EQ(ModelStatusLine{}.text(), "No model loaded");
}

TEST(ModelRows, EachSituationGivesItsRows)
{
    struct Case {
        const char* what;
        ModelFacts facts;
        ModelRows expected;
    };
    auto facts = [](std::string previewed, bool present) {
        ModelFacts f;
        f.stored = "small";
        f.lastReadyModel = "small";
        f.previewed = std::move(previewed);
        f.previewedPresent = present;
        f.previewedSize = "466 MB";
        return f;
    };
    auto rows = [](ModelStatusLine status, std::string disk, std::string use, bool useEnabled, bool deleteShown) {
        ModelRows r;
        r.status = std::move(status);
        r.retryEnabled = true;
        r.checkedModel = "small";
        r.disk = std::move(disk);
        r.useTitle = std::move(use);
        r.useEnabled = useEnabled;
        r.deleteVisible = deleteShown;
        return r;
    };
    const ModelStatusLine usingSmall{Kind::usingModel, "small", 0};

    std::vector<Case> cases{
        {"the model in use", facts("small", true), rows(usingSmall, "Downloaded, 466 MB", "In Use", false, false)},
        {"a downloaded model", facts("base", true),
         rows(usingSmall, "Downloaded, 466 MB", "Use This Model", true, true)},
        {"a missing model", facts("medium", false),
         rows(usingSmall, "Not downloaded, 466 MB download", "Download and Use", true, false)},
    };

    Case downloading{"while medium downloads", facts("base", true),
                     rows({Kind::downloadingModel, "medium", 42}, "Downloaded, 466 MB", "Use This Model", false, true)};
    downloading.facts.loadingModelName = "medium";
    downloading.facts.downloadPercent = 42;
    downloading.expected.retryEnabled = false;
    cases.push_back(downloading);

    Case loadingPreviewed{"previewing the model being loaded", facts("base", true),
                          rows({Kind::loadingModel, "base", 0}, "Downloaded, 466 MB", "Use This Model", false, false)};
    loadingPreviewed.facts.loadingModelName = "base";
    loadingPreviewed.expected.retryEnabled = false;
    cases.push_back(loadingPreviewed);

    Case failed{
        "after a failed load", facts("turbo", false),
        rows({Kind::failedModel, "turbo", 0}, "Not downloaded, 466 MB download", "Download and Use", true, false)};
    failed.facts.failedModelName = "turbo";
    failed.facts.modelLoadFailure = ModelLoadFailure{ModelLoadFailure::Cause::noConnection, "huggingface.co"};
    failed.expected.statusIsError = true;
    failed.expected.retryVisible = true;
    failed.expected.failureReason = "No internet connection: could not reach huggingface.co";
    cases.push_back(failed);

    // The reason belongs to the failed load: once another load runs, the line says that instead.
    Case retrying{
        "while the failed model is retried", facts("turbo", false),
        rows({Kind::loadingModel, "turbo", 0}, "Not downloaded, 466 MB download", "Download and Use", false, false)};
    retrying.facts.loadingModelName = "turbo";
    retrying.facts.failedModelName = "turbo";
    retrying.facts.modelLoadFailure = ModelLoadFailure{ModelLoadFailure::Cause::diskFull, ""};
    retrying.expected.retryEnabled = false;
    cases.push_back(retrying);

    Case nothingReady{"no model ready, stored one elsewhere", facts("small", true),
                      rows({}, "Downloaded, 466 MB", "Use This Model", true, true)};
    nothingReady.facts.lastReadyModel.reset();
    nothingReady.expected.checkedModel.reset();
    cases.push_back(nothingReady);

    Case otherReady{"ready model differs from the stored one", facts("base", true),
                    rows({}, "Downloaded, 466 MB", "In Use", false, false)};
    otherReady.facts.lastReadyModel = "base";
    otherReady.expected.checkedModel = "base";
    cases.push_back(otherReady);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModelRows expected = c.expected;
        expected.description = modelDescription(c.facts.previewed, false);
        EXPECT_EQ(decideModelRows(c.facts), expected);
    }
}

TEST(ModelRows, TurboIsRecommendedOnlyWhileAModelRunsOnAGpu)
{
    const std::string turbo = "Best accuracy (~870MB, large-v3-turbo). Faster than medium with a GPU build of "
                              "whisper.cpp thanks to GPU inference.";
    const std::string small = "Best balance of speed and accuracy (~460MB). Handles most vocabulary well with minimal "
                              "delay. Recommended.";
    struct Case {
        const char* name;
        bool gpu;
        std::string description;
    };
    const Case cases[] = {
        {"turbo", true, turbo + " Recommended when whisper.cpp runs on a GPU."},
        {"turbo", false, turbo},
        {"small", true, small},
        {"small", false, small},
        {"base", true,
         "Fast and lightweight (~140MB). Good for everyday dictation. Occasional errors on uncommon words."},
        {"medium", false,
         "High accuracy (~1.5GB). Better with technical jargon, accents, and longer passages. Slower than turbo."},
        {"tiny", true, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(modelDescription(c.name, c.gpu), c.description) << c.name << (c.gpu ? " on a GPU" : " on the CPU");
        ModelFacts facts;
        facts.previewed = c.name;
        facts.gpuBackendActive = c.gpu;
        EXPECT_EQ(decideModelRows(facts).description, c.description) << "the rows pass the fact on";
    }
}

TEST(ModelRows, DeletionTexts)
{
    EXPECT_EQ(deleteModelQuestion("base"), "Delete the base model?");
    EXPECT_EQ(deleteModelDetail("148 MB"), "This frees 148 MB. You can download it again from here later.");
    EXPECT_EQ(deleteRefusedText("base"), "Could not delete base");
}

}  // namespace
}  // namespace korvane
