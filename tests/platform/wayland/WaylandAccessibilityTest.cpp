// SPDX-License-Identifier: MIT
// What the accessibility bus tells about windows on a wlroots compositor: a headless sway with a GTK
// and a Qt window on it that join the AT-SPI bus of a private session, focused through sway's own
// commands. The window system tells its clients nothing about the others' windows, so the
// application in front and its focused field come from the toolkits' accessibility events alone.
#include "delivery/focus/FocusInspector.h"
#include "platform/linux/atspi/AtspiAccessibility.h"
#include "platform/linux/atspi/AtspiActiveApplication.h"
#include "tests/support/desktop/DesktopSession.h"
#include "tests/support/qt/CoreApplication.h"
#include "tests/support/wayland/HeadlessSway.h"

#include <QCoreApplication>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace korvane {

void PrintTo(const ActiveApplication& application, std::ostream* out)
{
    *out << application.bundleId << " (process " << application.processId.value_or(0) << ")";
}

namespace {

using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::HasSubstr;
using Toolkit = testing::HeadlessSway::Toolkit;

// A client on sway and the accessible name its toolkit publishes.
struct Window {
    testing::HeadlessSway::Client client;
    std::string name;

    ActiveApplication application() const { return {name, client.process->pid()}; }
};

// One private session bus with the AT-SPI bus (its X server is not used), one sway with a keyboard
// and one window of each toolkit, for the whole test process: libatspi stays with the first bus it
// found.
class SwayDesktop final : public ::testing::Environment {
public:
    void SetUp() override
    {
        testing::coreApplication();
        session = std::make_unique<testing::DesktopSession>(testing::DesktopSession::Options{.windowManager = false});
        sway = std::make_unique<testing::HeadlessSway>();
        sway->addKeyboard();
        const auto accessible = testing::HeadlessSway::Accessibility::sessionBus;
        windows.push_back({sway->startClient(Toolkit::gtk, accessible), "gtk_fields_client.py"});
        windows.push_back({sway->startClient(Toolkit::qt, accessible), "QtFields"});
    }
    void TearDown() override
    {
        windows.clear();
        sway.reset();
        session.reset();
    }

    static inline std::unique_ptr<testing::DesktopSession> session;
    static inline std::unique_ptr<testing::HeadlessSway> sway;
    static inline std::vector<Window> windows;
};

::testing::Environment* const desktop = ::testing::AddGlobalTestEnvironment(new SwayDesktop);

class WaylandAccessibilityTest : public ::testing::Test {
protected:
    std::vector<Window>& windows = SwayDesktop::windows;

    // Focuses the window through sway and waits until `source` names its application.
    static void focus(const Window& window, AtspiActiveApplication& source)
    {
        SwayDesktop::sway->focus(window.client.appId);
        EXPECT_TRUE(testing::processEventsUntil([&] { return source.activeApplication() == window.application(); }))
            << window.name << "; in front: "
            << (source.activeApplication() ? source.activeApplication()->bundleId : std::string("none"));
    }
};

TEST_F(WaylandAccessibilityTest, TheApplicationInFrontFollowsTheCompositorsFocus)
{
    AtspiActiveApplication source(::getpid(), [](std::string_view) {});
    focus(windows[1], source);
    std::vector<ActiveApplication> reports;
    source.setOnActivation([&](const std::optional<ActiveApplication>& application) {
        if (application) {
            reports.push_back(*application);
        }
    });
    // A switch may report nothing in between, as the first window goes inactive.
    for (const std::size_t index : {0, 1, 0}) {
        focus(windows[index], source);
    }
    EXPECT_THAT(reports,
                ::testing::ElementsAre(windows[0].application(), windows[1].application(), windows[0].application()));
}

TEST_F(WaylandAccessibilityTest, TheFocusedSingleLineFieldIsATextField)
{
    AtspiActiveApplication source(::getpid(), [](std::string_view) {});
    AtspiAccessibility::Environment environment;
    // Korvane's permission check is about input on an X server and refuses a Wayland session;
    // reading the bus needs none.
    environment.isTrusted = [] { return true; };
    environment.activeProcessId = [&source]() -> std::optional<long> {
        const std::optional<ActiveApplication> front = source.activeApplication();
        return front ? front->processId : std::nullopt;
    };
    AtspiAccessibility accessibility(environment);
    for (Window& window : windows) {
        focus(window, source);
        window.client.process->writeLine("focus single");
        window.client.process->expectLine("focused single", 10s);
        ASSERT_TRUE(testing::processEventsUntil([&] {
            return accessibility.focusedElement().status == AccessibilityStatus::success;
        })) << window.name;
        std::vector<std::string> lines;
        EXPECT_EQ(FocusInspector::classifyFocusedElement(accessibility,
                                                         [&](std::string_view line) { lines.emplace_back(line); }),
                  FocusClassification::editable)
            << window.name;
        EXPECT_THAT(lines, Contains(HasSubstr("role=AXTextField subrole=nil valueSettable=true "
                                              "selectedTextSettable=true")))
            << window.name;
    }
}

}  // namespace
}  // namespace korvane
