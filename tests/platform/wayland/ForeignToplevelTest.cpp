// SPDX-License-Identifier: MIT
// The application in front as a wlroots compositor lists it: a headless sway with a GTK and a Qt
// window on it, focused and closed through sway's own commands.
#include "platform/linux/wayland/WaylandForeignToplevel.h"
#include "tests/support/RecordingLog.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/qt/CoreApplication.h"
#include "tests/support/wayland/HeadlessSway.h"

#include <QCoreApplication>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

namespace korvane {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using Toolkit = testing::HeadlessSway::Toolkit;

// The app id, "-" for no application; a process id the protocol cannot know would show.
std::string nameOf(const std::optional<ActiveApplication>& application)
{
    if (!application) {
        return "-";
    }
    return application->bundleId + (application->processId ? " pid " + std::to_string(*application->processId) : "");
}

class ForeignToplevelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::coreApplication(); }

    // Creates the source once both windows are up (sway focuses each new window, so Qt's is in
    // front) and records what it reports.
    void SetUp() override
    {
        source = WaylandForeignToplevel::create(log.sink());
        ASSERT_TRUE(source) << log.text();
        source->setOnActivation(
            [this](const std::optional<ActiveApplication>& app) { reports.push_back(nameOf(app)); });
    }

    testing::HeadlessSway sway;
    testing::ScopedEnvironment display{"WAYLAND_DISPLAY", sway.waylandDisplay()};
    testing::HeadlessSway::Client gtk = sway.startClient(Toolkit::gtk);
    testing::HeadlessSway::Client qt = sway.startClient(Toolkit::qt);
    testing::RecordingLog log;
    std::unique_ptr<WaylandForeignToplevel> source;
    std::vector<std::string> reports;
};

TEST_F(ForeignToplevelTest, ReportsTheFocusedWindowsApplication)
{
    EXPECT_EQ(nameOf(source->activeApplication()), qt.appId);
    for (const testing::HeadlessSway::Client* client : {&gtk, &qt, &gtk}) {
        sway.focus(client->appId);
        EXPECT_TRUE(testing::processEventsUntil([&] { return nameOf(source->activeApplication()) == client->appId; }))
            << client->appId << " not reported; the last report " << nameOf(source->activeApplication());
    }
    // One report per focus change: none for the moment between one window's deactivation and the
    // next one's activation.
    EXPECT_THAT(reports, ElementsAre(gtk.appId, qt.appId, gtk.appId));
}

TEST_F(ForeignToplevelTest, ForgetsClosedWindows)
{
    // sway focuses the window that is left; once that one closes too, nothing is in front.
    qt.process.reset();
    EXPECT_TRUE(testing::processEventsUntil([&] { return reports.size() == 1; }));
    gtk.process.reset();
    EXPECT_TRUE(testing::processEventsUntil([&] { return reports.size() == 2; }));
    EXPECT_THAT(reports, ElementsAre(gtk.appId, "-"));
    EXPECT_EQ(nameOf(source->activeApplication()), "-");
}

TEST_F(ForeignToplevelTest, BringsAnApplicationBackToTheFront)
{
    sway.focus(gtk.appId);
    ASSERT_TRUE(testing::processEventsUntil([&] { return nameOf(source->activeApplication()) == gtk.appId; }));
    EXPECT_TRUE(source->activate(qt.appId));
    EXPECT_TRUE(testing::processEventsUntil([&] { return nameOf(source->activeApplication()) == qt.appId; }))
        << "still in front: " << nameOf(source->activeApplication());
    EXPECT_FALSE(source->activate("no-such-application"));
}

TEST(ForeignToplevelWithoutCompositorTest, IsNotCreatedAndSaysWhy)
{
    testing::coreApplication();
    for (const std::string display : {"", "/nonexistent/wayland-9"}) {
        const testing::ScopedEnvironment environment("WAYLAND_DISPLAY", display);
        testing::RecordingLog log;
        EXPECT_EQ(WaylandForeignToplevel::create(log.sink()), nullptr) << display;
        EXPECT_THAT(log.lines(), ElementsAre(::testing::StartsWith("Wayland: "))) << display;
    }
}

}  // namespace
}  // namespace korvane
