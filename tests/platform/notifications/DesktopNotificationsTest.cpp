// SPDX-License-Identifier: MIT
// Desktop notifications through a notification server on a private session bus: what the server is
// asked to show, the click that opens Settings, and a desktop without a server.
#include "platform/linux/notifications/DesktopNotifications.h"
#include "tests/support/StderrCapture.h"
#include "tests/support/notifications/TestNotificationServer.h"

#include <QCoreApplication>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

namespace korvane {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

QCoreApplication& application()
{
    static int argc = 1;
    static char name[] = "desktop-notifications-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

void processEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

class DesktopNotificationsTest : public ::testing::Test {
protected:
    // Qt keeps its first session bus connection for the whole process, so the bus outlives the
    // tests; each test starts its own server on it.
    static void SetUpTestSuite()
    {
        bus_ = std::make_unique<testing::TestSessionBus>();
        application();
    }
    static void TearDownTestSuite() { bus_.reset(); }

    // Processes events until the settings were opened `count` times in all, or a time-out.
    bool waitForSettingsOpened(int count)
    {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (settingsOpened < count && std::chrono::steady_clock::now() < deadline) {
            processEvents();
        }
        return settingsOpened == count;
    }

    static inline std::unique_ptr<testing::TestSessionBus> bus_;
    int settingsOpened = 0;
};

TEST_F(DesktopNotificationsTest, ShowsTheReasonAndAClickOpensSettings)
{
    testing::TestNotificationServer server;
    DesktopNotifications notifications([this] { ++settingsOpened; });
    notifications.notify("Failed to load small model", "No internet connection: could not reach huggingface.co");

    const auto shown = server.nextNotification(5s, processEvents);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->appName, "Korvane");
    EXPECT_EQ(shown->summary, "Failed to load small model");
    EXPECT_EQ(shown->body, "No internet connection: could not reach huggingface.co");
    EXPECT_THAT(shown->actions, ElementsAre("default", "Open Settings", "settings", "Open Settings"));
    EXPECT_EQ(shown->replacesId, 0u);

    // Another application's notification is not ours to answer; signals arrive in order, so ours
    // after it shows that it was seen and ignored.
    server.invokeAction(shown->id + 100, "default");
    server.invokeAction(shown->id, "default");
    EXPECT_TRUE(waitForSettingsOpened(1));
    server.invokeAction(shown->id, "settings");
    EXPECT_TRUE(waitForSettingsOpened(2));

    // A later notice takes the place of the one still shown instead of piling up.
    notifications.notify("Failed to load base model", "Not enough disk space");
    const auto replacing = server.nextNotification(5s, processEvents);
    ASSERT_TRUE(replacing);
    EXPECT_EQ(replacing->replacesId, shown->id);
    EXPECT_EQ(replacing->body, "Not enough disk space");
}

TEST_F(DesktopNotificationsTest, WithoutAServerNothingIsShownAndNothingComplains)
{
    const testing::StderrCapture errors;
    DesktopNotifications notifications([this] { ++settingsOpened; });
    notifications.notify("Failed to load small model", "The download was damaged");

    // The server that starts afterwards sees only what was sent once it was there.
    testing::TestNotificationServer server;
    notifications.notify("Failed to load base model", "The download was damaged");
    const auto shown = server.nextNotification(5s, processEvents);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->summary, "Failed to load base model");
    EXPECT_EQ(shown->replacesId, 0u);
    EXPECT_EQ(errors.text(), "");
    EXPECT_EQ(settingsOpened, 0);
}

}  // namespace
}  // namespace korvane
