// SPDX-License-Identifier: MIT
// The focus tracker over a scripted active-window source.
#include "delivery/focus/FocusTracker.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korvane {
namespace {

class ScriptedWindows final : public ActiveApplicationSource {
public:
    std::optional<ActiveApplication> front;
    std::function<void(const std::optional<ActiveApplication>&)> onActivation;

    std::optional<ActiveApplication> activeApplication() override { return front; }
    void setOnActivation(std::function<void(const std::optional<ActiveApplication>&)> callback) override
    {
        onActivation = std::move(callback);
    }

    void activate(std::optional<ActiveApplication> application)
    {
        front = application;
        if (onActivation) {
            onActivation(application);
        }
    }
};

const FocusTracker::Self kUs{4242, "korvane"};

TEST(FocusTracker, SeedsWithTheFrontApplicationUnlessItIsOurs)
{
    const std::vector<std::pair<std::optional<ActiveApplication>, std::optional<std::string>>> cases{
        {ActiveApplication{"Gedit", 100}, "Gedit"},
        {ActiveApplication{"Gedit", std::nullopt}, "Gedit"},
        {ActiveApplication{"Anything", 4242}, std::nullopt},  // our process, whatever its class
        {ActiveApplication{"korvane", 7}, std::nullopt},      // our class
        {ActiveApplication{"", 7}, std::nullopt},
        {std::nullopt, std::nullopt},
    };
    for (const auto& [front, expected] : cases) {
        ScriptedWindows windows;
        windows.front = front;
        FocusTracker tracker(windows, kUs);
        EXPECT_EQ(tracker.lastBundleId(), expected) << (front ? front->bundleId : "no window");
    }
}

TEST(FocusTracker, FollowsOtherApplicationsAndNeverGoesBackToNone)
{
    ScriptedWindows windows;
    FocusTracker tracker(windows, kUs);
    windows.activate(ActiveApplication{"Gedit", 100});
    EXPECT_EQ(tracker.lastBundleId(), "Gedit");
    windows.activate(ActiveApplication{"korvane", 4242});  // our settings window
    windows.activate(std::nullopt);                        // the desktop
    windows.activate(ActiveApplication{"", 5});
    EXPECT_EQ(tracker.lastBundleId(), "Gedit");
    windows.activate(ActiveApplication{"firefox", 300});
    EXPECT_EQ(tracker.lastBundleId(), "firefox");
}

TEST(FocusTracker, FrontmostIsAskedAtTheMomentOfTheCallAndListeningEndsWithTheTracker)
{
    ScriptedWindows windows;
    {
        FocusTracker tracker(windows, kUs);
        windows.front = ActiveApplication{"Gedit", 100};
        EXPECT_TRUE(tracker.isFrontmost("Gedit"));
        EXPECT_FALSE(tracker.isFrontmost("gedit"));
        windows.front.reset();
        EXPECT_FALSE(tracker.isFrontmost("Gedit"));
    }
    EXPECT_FALSE(windows.onActivation);
}

}  // namespace
}  // namespace korvane
