// SPDX-License-Identifier: MIT
// The shortcut through the real xdg-desktop-portal on a private session bus, whose global
// shortcuts come from our test backend: the bind Korvane asks for, presses and releases, a trigger
// the user changes on the desktop, refusals, a desktop that ends the session, and a desktop with
// no such portal.
#include "base/scheduling/MainQueue.h"
#include "hotkeys/HotkeyBackendFactory.h"
#include "platform/linux/QtMainQueue.h"
#include "platform/linux/portal/QtGlobalShortcutsPortal.h"
#include "tests/support/RecordingLog.h"
#include "tests/support/portal/PortalTestBus.h"
#include "tests/support/qt/CoreApplication.h"
#include "tests/support/qt/PrivateBusConnection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using testing::processEventsUntil;

// Korvane's side: the portal client on its own connection to the test bus, and the backend the
// factory builds for a binding, with what it reported.
class PortalShortcutTest : public ::testing::Test {
protected:
    void connect(const testing::PortalTestBus& desktop)
    {
        testing::coreApplication();
        bus_ = std::make_unique<testing::PrivateBusConnection>(desktop.address());
        ASSERT_TRUE(bus_->connection().isConnected());
        portal_ = std::make_shared<QtGlobalShortcutsPortal>(bus_->connection(), log.sink());
        factory_ = std::make_unique<HotkeyBackendFactory>(
            HotkeyBackendFactory::Ports{nullptr, nullptr, [] { return true; }, portal_,
                                        [](std::uint32_t keysym) { return keysym == 0x20 ? "space" : ""; }},
            queue_, log.sink());
    }

    void TearDown() override
    {
        backend_.reset();
        factory_.reset();
        portal_.reset();
        bus_.reset();
    }

    void start()
    {
        backend_ = factory_->make(HotkeyBinding::fallback(), [this](HotkeyEvent event) { events.push_back(event); });
        ASSERT_TRUE(backend_);
        backend_->setSettledObserver([this](const HotkeyBackend::Settled& word) { settled.push_back(word); });
        ASSERT_TRUE(backend_->start());
    }

    bool settledAs(std::size_t count)
    {
        return processEventsUntil([&] { return settled.size() >= count; });
    }

    testing::RecordingLog log;
    std::vector<HotkeyEvent> events;
    std::vector<HotkeyBackend::Settled> settled;
    std::shared_ptr<QtGlobalShortcutsPortal> portal_;

private:
    std::shared_ptr<MainQueue> queue_ = std::make_shared<QtMainQueue>(&testing::coreApplication());
    std::unique_ptr<testing::PrivateBusConnection> bus_;
    std::unique_ptr<HotkeyBackendFactory> factory_;
    std::shared_ptr<HotkeyBackend> backend_;
};

TEST_F(PortalShortcutTest, BindsTheShortcutAndHearsPressesReleasesAndTheUsersNewKeys)
{
    testing::PortalTestBus desktop;
    EXPECT_EQ(QtGlobalShortcutsPortal::version(testing::PrivateBusConnection(desktop.address()).connection(), 2000),
              1u);
    desktop.setBindAnswer(0, "Ctrl+Shift+Space");
    connect(desktop);
    start();
    ASSERT_TRUE(settledAs(1)) << desktop.frontendOutput();
    EXPECT_TRUE(settled[0].active) << settled[0].reason;
    EXPECT_EQ(settled[0].trigger, "Ctrl+Shift+Space");
    const std::vector<testing::PortalTestBus::BoundShortcut> asked = desktop.lastBind();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].id, "dictation");
    EXPECT_EQ(asked[0].description, "Start or stop dictation");
    EXPECT_EQ(asked[0].preferredTrigger, "CTRL+SHIFT+space");

    desktop.activate("dictation");
    ASSERT_TRUE(processEventsUntil([&] { return events.size() == 1; }));
    EXPECT_TRUE(portal_->shortcutHeld());
    desktop.deactivate("dictation");
    ASSERT_TRUE(processEventsUntil([&] { return events.size() == 2; }));
    EXPECT_THAT(events, ElementsAre(HotkeyEvent::pressed, HotkeyEvent::released));
    EXPECT_FALSE(portal_->shortcutHeld());

    desktop.changeTrigger("dictation", "Super+D");
    ASSERT_TRUE(settledAs(2));
    EXPECT_TRUE(settled[1].active);
    EXPECT_EQ(settled[1].trigger, "Super+D");
}

TEST_F(PortalShortcutTest, EachRefusalIsSettledWithItsReason)
{
    struct Case {
        const char* what;
        testing::PortalTestBus::Options options;
        std::function<void(testing::PortalTestBus&)> prepare;
        const char* reason;
    };
    const Case cases[] = {
        {"declined", {}, [](auto& desktop) { desktop.setBindAnswer(1); }, "The shortcut was declined on the desktop"},
        {"refused", {}, [](auto& desktop) { desktop.setBindAnswer(2); }, "The desktop refused the shortcut"},
        {"session refused", {}, [](auto& desktop) { desktop.setCreateAnswer(2); }, "The desktop refused the shortcut"},
        {"no portal", {.globalShortcuts = false}, [](auto&) {}, "The desktop portal failed: No such interface"},
    };
    for (const Case& c : cases) {
        testing::PortalTestBus desktop(c.options);
        c.prepare(desktop);
        connect(desktop);
        settled.clear();
        start();
        ASSERT_TRUE(settledAs(1)) << c.what;
        EXPECT_FALSE(settled[0].active) << c.what;
        EXPECT_THAT(settled[0].reason, ::testing::StartsWith(c.reason)) << c.what;
        TearDown();
    }
}

TEST_F(PortalShortcutTest, ADesktopThatEndsTheSessionIsSaidAndTheNextStartOpensAnother)
{
    testing::PortalTestBus desktop;
    connect(desktop);
    start();
    ASSERT_TRUE(settledAs(1));
    EXPECT_TRUE(settled[0].active);
    desktop.closeSessions();
    ASSERT_TRUE(settledAs(2));
    EXPECT_FALSE(settled[1].active);
    EXPECT_EQ(settled[1].reason, "The desktop ended the shortcut");

    start();
    ASSERT_TRUE(settledAs(3));
    EXPECT_TRUE(settled[2].active);
    EXPECT_EQ(desktop.liveSessions(), 1);
    EXPECT_EQ(desktop.bindCount(), 2);
}

}  // namespace
}  // namespace korvane
