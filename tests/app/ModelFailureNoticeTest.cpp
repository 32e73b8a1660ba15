// SPDX-License-Identifier: MIT
// A first start that cannot fetch its model, through the real application, desktop session bus and
// a notification server: the reason reaches the desktop once per failure, not once per attempt.
#include "tests/support/TempHome.h"
#include "tests/support/app/DictationRig.h"
#include "tests/support/desktop/DesktopSession.h"
#include "tests/support/http/LoopbackHttpServer.h"
#include "tests/support/notifications/TestNotificationServer.h"
#include "tests/support/process/Programs.h"
#include "transcription/models/ModelFileCheck.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>

namespace korvane {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kFailedLine = R"(Status changed: error("Failed to load test model"))";

// A catalogue of one model, "test", fetched from `server`.
fs::path writeCatalogue(const fs::path& folder, const testing::LoopbackHttpServer& server, const std::string& model)
{
    testing::writeFile(folder / "ggml-test.bin", model);
    std::ostringstream catalogue;
    catalogue << R"({"version": 1, "models": [{"name": "test", "file": "ggml-test.bin", "bytes": )" << model.size()
              << R"(, "sha256": ")" << sha256Hex(folder / "ggml-test.bin") << R"(", "url": ")" << server.baseUrl()
              << R"(ggml-test.bin"}]})";
    const fs::path file = folder / "models.json";
    testing::writeFile(file, catalogue.str());
    return file;
}

// `korvane --toggle` to the running instance: with no model ready, it starts loading the model.
void toggle(const fs::path& home)
{
    testing::ChildProcess request({"env", "HOME=" + home.string(), "XDG_CONFIG_HOME=" + (home / ".config").string(),
                                   "XDG_DATA_HOME=" + (home / ".local/share").string(), KORVANE_APP_PATH, "--toggle"});
    request.readAll(10s);
}

TEST(ModelFailureNotice, SaysWhyOnTheDesktopOncePerFailure)
{
    testing::DesktopSession desktop(testing::DesktopSession::Options{false, false, 1280, 800});
    testing::TestNotificationServer notifications;
    testing::TempHome home;
    testing::LoopbackHttpServer models;
    const std::string model(4096, 'm');
    models.serve("/ggml-test.bin", testing::withStatus(404));
    const fs::path catalogue = writeCatalogue(home.path(), models, model);

    testing::RunningKorvane app(home.path(), R"({"debugLogging": true, "modelSize": "test"})", catalogue);
    const auto first = notifications.nextNotification(30s, {});
    ASSERT_TRUE(first) << app.output();
    EXPECT_EQ(first->appName, "Korvane");
    EXPECT_EQ(first->summary, "Failed to load test model");
    EXPECT_EQ(first->body, "The download failed: HTTP 404");
    const auto firstFailure = app.waitForLine(kFailedLine, 10s);
    ASSERT_TRUE(firstFailure) << app.output();

    // A click on it opens the settings window ("<tab> — Korvane"), where Retry is.
    const auto settingsShown = [] {
        return testing::succeeds({"xdotool", "search", "--onlyvisible", "--name", " — Korvane$"});
    };
    EXPECT_FALSE(settingsShown());
    notifications.invokeAction(first->id, "default");
    EXPECT_TRUE(testing::waitFor(settingsShown, 10s)) << app.output();

    // The same failure again: nothing new on the desktop.
    toggle(home.path());
    ASSERT_TRUE(app.waitForLine(kFailedLine, 30s, *firstFailure + 1)) << app.output();

    // A different one is announced; the notification after the first is this one.
    std::string damaged = model;
    damaged[0] = 'x';
    models.serve("/ggml-test.bin", testing::ok(damaged));
    toggle(home.path());
    const auto second = notifications.nextNotification(30s, {});
    ASSERT_TRUE(second) << app.output();
    EXPECT_EQ(second->body, "The download was damaged");
    EXPECT_EQ(second->summary, "Failed to load test model");
    EXPECT_EQ(models.requestCount("/ggml-test.bin"), 3u);
}

}  // namespace
}  // namespace korvane
