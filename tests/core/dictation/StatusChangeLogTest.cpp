// SPDX-License-Identifier: MIT
// The debug log's status lines: one per change, a download's progress once.
#include "core/dictation/StatusChangeLog.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace korvane {
namespace {

using Status = DictationStatus;

TEST(StatusChangeLog, ADownloadIsLoggedWhenItStartsAndEveryOtherStatusAsItComes)
{
    struct Step {
        DictationStatus status;
        std::optional<std::string> line;
    };
    const std::vector<Step> steps{
        {Status::loading("small"), "Status changed: loading(\"small\")"},
        {Status::downloading("small", 0), "Status changed: downloading(\"small\", 0)"},
        {Status::downloading("small", 1), std::nullopt},
        {Status::downloading("small", 99), std::nullopt},
        {Status::downloading("base", 3), "Status changed: downloading(\"base\", 3)"},
        {Status::downloading("base", 4), std::nullopt},
        {Status::error("Download failed"), "Status changed: error(\"Download failed\")"},
        {Status::downloading("base", 4), "Status changed: downloading(\"base\", 4)"},
        {Status::ready("base"), "Status changed: ready(\"base\")"},
        {Status::recording(), "Status changed: recording"},
        {Status::transcribing(), "Status changed: transcribing"},
        {Status::noSpeech(), "Status changed: noSpeech"},
        {Status::recording(), "Status changed: recording"},
        {Status::transcribing(), "Status changed: transcribing"},
        {Status::noSpeech(), "Status changed: noSpeech"},
    };
    StatusChangeLog log;
    for (const Step& step : steps) {
        EXPECT_EQ(log.lineFor(step.status), step.line) << toString(step.status);
    }
}

}  // namespace
}  // namespace korvane
