// SPDX-License-Identifier: MIT
// When a failed model load is announced on the desktop, and in what words.
#include "core/shell/ModelFailureNotices.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace korvane {
namespace {

using Cause = ModelLoadFailure::Cause;

// The causes a download can have are told as the model store's test shows; these two come from
// the recogniser and from errors without a plain sentence of their own.
TEST(ModelFailureNotices, FailuresBeyondTheDownloadHaveTheirPlainReason)
{
    const std::vector<std::pair<ModelLoadFailure, std::string>> rows{
        {{Cause::unloadable, ""}, "The model file could not be loaded"},
        {{Cause::other, ""}, "The model could not be prepared"},
    };
    for (const auto& [failure, reason] : rows) {
        EXPECT_EQ(plainReason(failure), reason);
    }
}

TEST(ModelFailureNotices, OncePerFailureAgainAfterASuccessOrForAnotherFailure)
{
    const ModelLoadFailure offline{Cause::noConnection, "huggingface.co"};
    const ModelLoadFailure full{Cause::diskFull, ""};
    const std::string offlineReason = "No internet connection: could not reach huggingface.co";
    struct Step {
        const char* what;
        DictationStatus status;
        std::optional<std::string> failedModel;
        std::optional<ModelLoadFailure> failure;
        std::optional<ModelFailureNotice> expected;
    };
    const std::vector<Step> steps{
        {"first load starts", DictationStatus::loading("small"), std::nullopt, std::nullopt, std::nullopt},
        {"it fails", DictationStatus::error("Failed to load small model"), "small", offline,
         ModelFailureNotice{"Failed to load small model", offlineReason}},
        {"a later status, same failure", DictationStatus::noSpeech(), "small", offline, std::nullopt},
        {"Retry: the load starts", DictationStatus::loading("small"), std::nullopt, std::nullopt, std::nullopt},
        {"progress of the retry", DictationStatus::downloading("small", 3), std::nullopt, std::nullopt, std::nullopt},
        {"the retry fails the same way", DictationStatus::error("Failed to load small model"), "small", offline,
         std::nullopt},
        {"another model, same cause", DictationStatus::error("Failed to load base model"), "base", offline,
         std::nullopt},
        {"a different cause", DictationStatus::error("Failed to load base model"), "base", full,
         ModelFailureNotice{"Failed to load base model", "Not enough disk space"}},
        {"back to the first cause", DictationStatus::error("Failed to load small model"), "small", offline,
         ModelFailureNotice{"Failed to load small model", offlineReason}},
        {"a model loads", DictationStatus::ready("small"), std::nullopt, std::nullopt, std::nullopt},
        {"the same failure after that success", DictationStatus::error("Failed to load small model"), "small", offline,
         ModelFailureNotice{"Failed to load small model", offlineReason}},
    };
    ModelFailureNotices notices;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const std::optional<ModelFailureNotice> notice = notices.observe(step.status, step.failedModel, step.failure);
        EXPECT_EQ(notice.has_value(), step.expected.has_value());
        if (notice && step.expected) {
            EXPECT_EQ(notice->summary, step.expected->summary);
            EXPECT_EQ(notice->body, step.expected->body);
        }
    }
}

}  // namespace
}  // namespace korvane
