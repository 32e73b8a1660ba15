// SPDX-License-Identifier: MIT
// Korvane in a sway session, where the shortcut is a binding in sway's configuration that runs
// `korvane --toggle`: the real application on a headless sway, as sway's user (the running instance
// takes requests from its own user only), with the keys pressed through a virtual keyboard. Its
// windows go on Wayland (no X server in this session), and the session has no bus of its own.
#include "tests/support/app/SwayDictation.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <functional>
#include <string>

namespace korvane {
namespace {

using namespace std::chrono_literals;

// The app id of the window sway has focused; empty when none.
std::string focusedAppId(const testing::HeadlessSway& sway)
{
    std::function<std::string(const nlohmann::json&)> search = [&](const nlohmann::json& node) -> std::string {
        if (node.value("focused", false)) {
            return node.value("app_id", std::string());
        }
        for (const char* children : {"nodes", "floating_nodes"}) {
            for (const nlohmann::json& child : node.value(children, nlohmann::json::array())) {
                if (std::string found = search(child); !found.empty()) {
                    return found;
                }
            }
        }
        return {};
    };
    return search(nlohmann::json::parse(sway.swaymsg({"-t", "get_tree"})));
}

TEST(SwaySessionTest, TheCompositorsBindingStartsAndStopsADictation)
{
    // sway runs the binding's command as its user, in its own environment.
    testing::SwayDictation session("Meet me at noon.");
    testing::RunningKorvane& app = session.app();
    const testing::HeadlessSway& sway = session.sway();
    ASSERT_TRUE(app.waitForLine("Session: wayland (sway), windows on Wayland; shortcut: compositor binding "
                                "(korvane --toggle); focus: foreign-toplevel and AT-SPI",
                                20s))
        << app.output();
    const testing::HeadlessSway::Client target = sway.startClient(testing::HeadlessSway::Toolkit::gtk);
    sway.focus(target.appId);

    const std::size_t before = app.lineCount();
    session.pressShortcut();
    const auto first = app.waitForLine("Instance request: toggle", 10s, before);
    ASSERT_TRUE(first) << app.output();
    ASSERT_TRUE(app.waitForLine("Recording started", 10s, *first)) << app.output();
    // Nothing of Korvane's takes the keyboard from the application being dictated into.
    EXPECT_EQ(focusedAppId(sway), target.appId);
    session.desktop().speak();
    session.pressShortcut();
    const auto second = app.waitForLine("Instance request: toggle", 10s, *first + 1);
    ASSERT_TRUE(second) << app.output();
    EXPECT_TRUE(app.waitForLine("Transcription complete", 60s, *second)) << app.output();
    EXPECT_TRUE(app.waitForLine("Target app: " + target.appId, 10s, before)) << app.output();
    EXPECT_EQ(focusedAppId(sway), target.appId);
    EXPECT_TRUE(app.running());
}

}  // namespace
}  // namespace korvane
