// SPDX-License-Identifier: MIT
// When a session without any way of sending keys says so on the desktop.
#include "core/shell/PasteUnavailableNotice.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace korvane {
namespace {

TEST(PasteUnavailableNotices, OncePerLackOnlyForTranscriptsLeftForWantOfKeys)
{
    const std::string none = "This Wayland session offers no way to send keys.";
    const std::string refused = "You refused Korvane the desktop's permission to send keys.";
    const DictationStatus noKeys = DictationStatus::copiedToClipboard(DeliveryFallbackReason::noAccessibility);
    struct Step {
        const char* what;
        DictationStatus status;
        std::string missing;
        bool announced;
    };
    const Step steps[] = {
        {"a target that left", DictationStatus::copiedToClipboard(DeliveryFallbackReason::targetUnavailable), none,
         false},
        {"an X11 session that lacks nothing", noKeys, "", false},
        {"the first transcript left for want of keys", noKeys, none, true},
        {"the same lack again", noKeys, none, false},
        {"another status", DictationStatus::recording(), refused, false},
        {"a different lack", noKeys, refused, true},
    };
    PasteUnavailableNotices notices;
    for (const Step& step : steps) {
        const std::optional<PasteUnavailableNotice> notice = notices.observe(step.status, step.missing);
        ASSERT_EQ(notice.has_value(), step.announced) << step.what;
        if (notice) {
            EXPECT_EQ(notice->summary, "Paste unavailable") << step.what;
            EXPECT_EQ(notice->body.rfind(step.missing, 0), 0U) << "starts with what is missing: " << step.what;
        }
    }
}

}  // namespace
}  // namespace korvane
