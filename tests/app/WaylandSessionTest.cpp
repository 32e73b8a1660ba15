// SPDX-License-Identifier: MIT
// Korvane in a Wayland session whose desktop binds shortcuts through its portal: the real
// application, the real xdg-desktop-portal with our test backend on the session bus, and an X
// server standing in for XWayland. The portal's press and release drive a dictation in toggle and
// hold mode, and the keys the desktop chose are what Korvane logs. This session bus has no
// accessibility service, which Korvane must survive (libatspi would end the process).
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempHome.h"
#include "tests/support/app/DictationRig.h"
#include "tests/support/models/GeneratedModels.h"
#include "tests/support/portal/PortalTestBus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace korvane {
namespace {

using namespace std::chrono_literals;

class WaylandSessionDictation : public ::testing::TestWithParam<const char*> {};

TEST_P(WaylandSessionDictation, ThePortalsPressAndReleaseStartAndStopADictation)
{
    const std::string mode = GetParam();
    testing::DictationDesktop desktop("Meet me at noon.");
    testing::TempHome home;
    const testing::CatalogueModel model("scripted", testing::scriptedModel(" Meet me at noon."), home.path(), false);
    testing::PortalTestBus portal;  // the session bus from here on
    portal.setBindAnswer(0, "Ctrl+Alt+D");
    const testing::ScopedEnvironment sessionType("XDG_SESSION_TYPE", "wayland");
    const testing::ScopedEnvironment waylandDisplay("WAYLAND_DISPLAY", "wayland-korvane-test");
    const testing::ScopedEnvironment currentDesktop("XDG_CURRENT_DESKTOP", "KDE");
    testing::RunningKorvane app(home.path(), R"({"debugLogging": true, "hotkeyMode": ")" + mode + R"("})",
                                model.catalogueFile());

    ASSERT_TRUE(app.waitForLine("Session: wayland (KDE), windows on XWayland; shortcut: portal (version 1)", 20s))
        << app.output();
    ASSERT_TRUE(app.waitForLine("Portal shortcut bound: Ctrl+Alt+D", 20s)) << app.output();
    ASSERT_TRUE(app.waitForLine("Model loaded: scripted", 60s)) << app.output();
    const auto asked = portal.lastBind();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].preferredTrigger, "CTRL+SHIFT+space");

    const std::size_t before = app.lineCount();
    portal.activate("dictation");
    if (mode == "toggle") {
        portal.deactivate("dictation");
    }
    ASSERT_TRUE(app.waitForLine("Recording started", 10s, before)) << app.output();
    desktop.speak();
    if (mode == "toggle") {
        portal.activate("dictation");
    }
    portal.deactivate("dictation");
    EXPECT_TRUE(app.waitForLine("Transcription complete", 60s, before)) << app.output();
    EXPECT_TRUE(app.running());
}

INSTANTIATE_TEST_SUITE_P(Modes, WaylandSessionDictation, ::testing::Values("toggle", "hold"));

// A KDE or GNOME session: the paste keys go through the portal's remote desktop, which the desktop
// approves at launch. A refusal is kept in the settings, so the next launch does not ask again,
// and each dictation then ends on the clipboard.
TEST(WaylandSessionPaste, TheRemoteDesktopPortalSendsThePasteKeysOnceTheDesktopApproves)
{
    testing::DictationDesktop desktop("Meet me at noon.");
    testing::TempHome home;
    const testing::CatalogueModel model("scripted", testing::scriptedModel(" Meet me at noon."), home.path(), false);
    testing::PortalTestBus portal({.remoteDesktop = true});
    portal.setBindAnswer(0, "Ctrl+Alt+D");
    const testing::ScopedEnvironment sessionType("XDG_SESSION_TYPE", "wayland");
    const testing::ScopedEnvironment waylandDisplay("WAYLAND_DISPLAY", "wayland-korvane-test");
    const testing::ScopedEnvironment currentDesktop("XDG_CURRENT_DESKTOP", "KDE");
    const auto dictate = [&](testing::RunningKorvane& app) {
        const std::size_t before = app.lineCount();
        portal.activate("dictation");
        portal.deactivate("dictation");
        EXPECT_TRUE(app.waitForLine("Recording started", 10s, before)) << app.output();
        desktop.speak();
        portal.activate("dictation");
        portal.deactivate("dictation");
        return before;
    };
    const std::vector<testing::PortalTestBus::KeysymEvent> ctrlV{
        {0xffe3, true}, {0x76, true}, {0x76, false}, {0xffe3, false}};
    {
        testing::RunningKorvane app(home.path(), R"({"debugLogging": true, "hotkeyMode": "toggle"})",
                                    model.catalogueFile());
        ASSERT_TRUE(app.waitForLine("Paste keys: remote desktop portal; clipboard: X11 selections", 20s))
            << app.output();
        ASSERT_TRUE(app.waitForLine("Model loaded: scripted", 60s)) << app.output();
        ASSERT_TRUE(app.waitForLine("Portal shortcut bound", 20s)) << app.output();
        EXPECT_EQ(portal.approvalCount(), 1);
        const std::size_t before = dictate(app);
        EXPECT_TRUE(app.waitForLine("Cmd+V sent", 60s, before)) << app.output();
        // Korvane sends each key once the portal answered the one before: the last may still be on
        // its way when the paste is logged.
        for (const auto deadline = std::chrono::steady_clock::now() + 5s;
             portal.keysymEvents().size() < ctrlV.size() && std::chrono::steady_clock::now() < deadline;) {
            std::this_thread::sleep_for(20ms);
        }
        EXPECT_EQ(portal.keysymEvents(), ctrlV);
    }
    portal.setRemoteDesktopAnswer(1);
    {
        testing::RunningKorvane app(home.path(), std::nullopt, model.catalogueFile());
        ASSERT_TRUE(app.waitForLine("Paste keys: none (You refused", 20s)) << app.output();
        EXPECT_EQ(portal.approvalCount(), 2) << "the portal keeps no approval here, so each launch asks";
    }
    {
        testing::RunningKorvane app(home.path(), std::nullopt, model.catalogueFile());
        ASSERT_TRUE(app.waitForLine("you refused the desktop's permission to send keys", 20s)) << app.output();
        ASSERT_TRUE(app.waitForLine("Model loaded: scripted", 60s)) << app.output();
        ASSERT_TRUE(app.waitForLine("Portal shortcut bound", 20s)) << app.output();
        EXPECT_EQ(portal.approvalCount(), 2) << "a refusal is not asked again at launch";
        const std::size_t before = dictate(app);
        EXPECT_TRUE(app.waitForLine("Status changed: copiedToClipboard(noAccessibility)", 60s, before)) << app.output();
        EXPECT_EQ(portal.keysymEvents(), ctrlV) << "no keys after the refusal";
    }
}

}  // namespace
}  // namespace korvane
