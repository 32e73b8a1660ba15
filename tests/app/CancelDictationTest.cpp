// SPDX-License-Identifier: MIT
// Cancelling a dictation with Escape through the real application on a private desktop: Escape is
// Korvane's only while it records, a cancelled dictation pastes nothing and leaves the user's
// clipboard alone, and afterwards Escape reaches the application in front again.
#include "tests/support/TempHome.h"
#include "tests/support/app/DictationRig.h"
#include "tests/support/desktop/FieldsClient.h"
#include "tests/support/desktop/KeyWatchWindow.h"
#include "tests/support/desktop/TestClipboard.h"
#include "tests/support/models/GeneratedModels.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace korvane {
namespace {

using namespace std::chrono_literals;
using testing::xdotool;

const std::string kUsersClipboard = "the user's own clipboard";

TEST(CancelDictation, EscapeCancelsOnlyWhileRecordingAndThenBelongsToTheApplicationAgain)
{
    testing::DictationDesktop desktop("Meet me at noon.");
    testing::TempHome home;
    const testing::CatalogueModel model("scripted", testing::scriptedModel(" Meet me at noon."), home.path(), false);
    testing::RunningKorvane app(home.path(), R"({"debugLogging": true})", model.catalogueFile());
    ASSERT_TRUE(app.waitForLine("Model loaded: scripted", 60s)) << app.output();
    ASSERT_TRUE(app.waitForLine("Carbon hotkey registered", 5s)) << app.output();

    testing::KeyWatchWindow window;
    window.activate();
    testing::ClipboardOwnerProcess owner({{"text/plain", kUsersClipboard}});

    xdotool({"key", "Escape"});
    EXPECT_TRUE(testing::waitFor([&] { return window.pressCount("Escape") == 1; }, 5s))
        << "before any dictation Escape belongs to the application in front";

    std::size_t before = app.lineCount();
    xdotool({"key", "ctrl+shift+space"});
    ASSERT_TRUE(app.waitForLine("keyCode=53", 10s, before)) << "Escape taken once recording\n" << app.output();
    xdotool({"key", "Escape"});
    ASSERT_TRUE(app.waitForLine("Status changed: cancelled", 10s, before)) << app.output();
    ASSERT_TRUE(app.waitForLine("Carbon hotkey unregistered", 5s, before)) << app.output();

    xdotool({"key", "Escape"});
    EXPECT_TRUE(testing::waitFor([&] { return window.pressCount("Escape") == 2; }, 5s))
        << "Escape reaches the application again once the recording is cancelled";
    EXPECT_EQ(window.pressCount("Escape"), 2u) << "the Escape that cancelled was Korvane's alone";
    EXPECT_EQ(window.pressCount("v"), 0u) << "nothing was pasted";
    EXPECT_TRUE(owner.ownsClipboard());
    EXPECT_EQ(testing::readClipboard("text/plain"), kUsersClipboard);

    // The next dictation records and transcribes as usual, and its stop gives Escape back at once.
    before = app.lineCount();
    xdotool({"key", "ctrl+shift+space"});
    ASSERT_TRUE(app.waitForLine("keyCode=53", 10s, before)) << app.output();
    desktop.speak();
    xdotool({"key", "ctrl+shift+space"});
    ASSERT_TRUE(app.waitForLine("Status changed: transcribing", 10s, before)) << app.output();
    ASSERT_TRUE(app.waitForLine("Carbon hotkey unregistered", 5s, before)) << app.output();
    xdotool({"key", "Escape"});
    EXPECT_TRUE(testing::waitFor([&] { return window.pressCount("Escape") == 3; }, 5s))
        << "Escape while transcribing is the application's";
    EXPECT_TRUE(app.waitForAnyLine({"Status changed: pasteSent", "Status changed: copiedToClipboard"}, 60s, before))
        << app.output();
    EXPECT_FALSE(app.waitForLine("Status changed: cancelled", 0s, before)) << app.output();
}

}  // namespace
}  // namespace korvane
