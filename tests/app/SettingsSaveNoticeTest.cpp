// SPDX-License-Identifier: MIT
// Settings that cannot be saved, through the real application, desktop session bus and a
// notification server: the desktop is told why, the application keeps running, and what is in the
// settings file's place is left as it was.
#include "tests/support/TempHome.h"
#include "tests/support/app/DictationRig.h"
#include "tests/support/desktop/DesktopSession.h"
#include "tests/support/models/GeneratedModels.h"
#include "tests/support/notifications/TestNotificationServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace korvane {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(SettingsSaveNotice, AFolderInTheSettingsFilesPlaceIsSaidAndKorvaneKeepsRunning)
{
    testing::DesktopSession desktop(testing::DesktopSession::Options{false, false, 1280, 800});
    testing::TestNotificationServer notifications;
    testing::TempHome home;
    const fs::path settings = home.path() / ".config/korvane/settings.json";
    testing::writeFile(settings / "kept.txt", "the user's own");
    // A model in place, so that the only trouble is the settings.
    const testing::CatalogueModel model("scripted", testing::scriptedModel(" Hello."), home.path(), false);

    testing::RunningKorvane app(home.path(), std::nullopt, model.catalogueFile());
    const auto told = notifications.nextNotification(30s, {});
    ASSERT_TRUE(told) << app.output();
    EXPECT_EQ(told->summary, "Settings can't be saved");
    EXPECT_EQ(told->body, "The settings file " + settings.string() +
                              " cannot be read, so it is left as it is. Korvane keeps working with the settings it "
                              "has; changes last until it quits.");
    EXPECT_TRUE(app.running()) << app.output();
    EXPECT_EQ(testing::readFile(settings / "kept.txt"), "the user's own");
}

}  // namespace
}  // namespace korvane
