// SPDX-License-Identifier: MIT
// Synthetic keys through the real xdg-desktop-portal on a private session bus, whose remote desktop
// comes from our test backend.
#include "platform/linux/portal/QtRemoteDesktopPortal.h"
#include "tests/support/RecordingLog.h"
#include "tests/support/portal/PortalTestBus.h"
#include "tests/support/qt/CoreApplication.h"
#include "tests/support/qt/PrivateBusConnection.h"

#include <QCoreApplication>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace korvane {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::processEventsUntil;
using Key = testing::PortalTestBus::KeysymEvent;
using Outcome = RemoteDesktopStart::Outcome;

constexpr std::uint32_t kControlL = 0xffe3;
constexpr std::uint32_t kShiftL = 0xffe1;
constexpr std::uint32_t kInsert = 0xff63;
constexpr std::uint32_t kV = 0x76;

}  // namespace

namespace testing {

void PrintTo(const PortalTestBus::KeysymEvent& key, std::ostream* out)
{
    *out << "0x" << std::hex << key.keysym << std::dec << (key.pressed ? " down" : " up");
}

}  // namespace testing

namespace {

// Korvane's side: portal clients, each on its own connection to the test bus as separate launches
// would be.
class RemoteDesktopPortalTest : public ::testing::Test {
protected:
    QtRemoteDesktopPortal& connect(const testing::PortalTestBus& desktop, std::chrono::milliseconds timeout = 60s)
    {
        testing::coreApplication();
        buses_.push_back(std::make_unique<testing::PrivateBusConnection>(desktop.address()));
        portals_.push_back(std::make_unique<QtRemoteDesktopPortal>(buses_.back()->connection(), log.sink(), timeout));
        return *portals_.back();
    }

    void TearDown() override
    {
        portals_.clear();
        buses_.clear();
    }

    // Starts `portal` and waits for its one report (a second would come right behind it).
    static std::optional<RemoteDesktopStart> start(QtRemoteDesktopPortal& portal, const std::string& token = "")
    {
        std::vector<RemoteDesktopStart> reports;
        portal.start(token, [&](RemoteDesktopStart outcome) { reports.push_back(std::move(outcome)); });
        processEventsUntil([&] { return !reports.empty(); });
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        EXPECT_LE(reports.size(), 1u);
        return reports.empty() ? std::nullopt : std::optional(reports.front());
    }

    // The keys the backend received after the first `skip`, once there are `count` of them or 10 s
    // have passed.
    static std::vector<Key> newKeys(testing::PortalTestBus& desktop, std::size_t skip, std::size_t count)
    {
        std::vector<Key> keys;
        processEventsUntil([&] { return (keys = desktop.keysymEvents()).size() >= skip + count; });
        return {keys.begin() + static_cast<long>(std::min(skip, keys.size())), keys.end()};
    }

    testing::RecordingLog log;

private:
    std::vector<std::unique_ptr<testing::PrivateBusConnection>> buses_;
    std::vector<std::unique_ptr<QtRemoteDesktopPortal>> portals_;
};

TEST_F(RemoteDesktopPortalTest, ChordsReachTheDesktopAsKeysymsPressedInOrderAndReleasedInReverse)
{
    const std::pair<KeyChord, std::vector<Key>> cases[] = {
        {{{KeyModifier::control}, "v"}, {{kControlL, true}, {kV, true}, {kV, false}, {kControlL, false}}},
        {{{KeyModifier::control}, "NoSuchKeyName"}, {}},
        {{{KeyModifier::shift}, "Insert"}, {{kShiftL, true}, {kInsert, true}, {kInsert, false}, {kShiftL, false}}},
        {{{KeyModifier::control, KeyModifier::shift}, "v"},
         {{kControlL, true}, {kShiftL, true}, {kV, true}, {kV, false}, {kShiftL, false}, {kControlL, false}}},
    };
    testing::PortalTestBus desktop({.remoteDesktop = true});
    QtRemoteDesktopPortal& portal = connect(desktop);
    ASSERT_EQ(start(portal).value_or(RemoteDesktopStart{}).outcome, Outcome::started) << desktop.frontendOutput();
    EXPECT_THAT(portal.heldModifiers(), ElementsAre());

    std::size_t sent = 0;
    // The portal's threads reorder keys sent too eagerly only now and then; a few rounds catch it.
    for (int round = 0; round < 4; ++round) {
        for (const auto& [chord, keys] : cases) {
            SCOPED_TRACE(chord.key);
            EXPECT_EQ(portal.sendChord(chord), !keys.empty());
            EXPECT_EQ(newKeys(desktop, sent, keys.size()), keys);
            sent += keys.size();
        }
    }
    EXPECT_TRUE(portal.releaseModifiers({KeyModifier::control, KeyModifier::shift}));
    EXPECT_THAT(newKeys(desktop, sent, 2), ElementsAre(Key{kControlL, false}, Key{kShiftL, false}));
}

TEST_F(RemoteDesktopPortalTest, TheFirstLaunchAsksForTheKeyboardAndALaterOneWithAStoredTokenStillStarts)
{
    testing::PortalTestBus desktop({.remoteDesktop = true});
    const std::optional<RemoteDesktopStart> first = start(connect(desktop));
    ASSERT_EQ(first.value_or(RemoteDesktopStart{}).outcome, Outcome::started) << desktop.frontendOutput();
    EXPECT_EQ(desktop.approvalCount(), 1);
    EXPECT_EQ(desktop.lastDeviceRequest().types, 1);
    // xdg-desktop-portal 1.16 offers version 1 of the interface, which keeps no grants: it drops
    // persist_mode and restore_token on the way to the desktop and hands back no token.
    EXPECT_EQ(desktop.lastDeviceRequest().persistMode, -1);
    EXPECT_EQ(first->restoreToken, "");

    // So the token stored is one an earlier portal handed out, which must not get in the way.
    QtRemoteDesktopPortal& later = connect(desktop);
    EXPECT_EQ(start(later, "token-of-an-earlier-portal").value_or(RemoteDesktopStart{}).outcome, Outcome::started);
    EXPECT_EQ(desktop.approvalCount(), 2) << "a portal that keeps grants would not ask again";
    EXPECT_TRUE(later.sendChord({{KeyModifier::control}, "v"}));
    EXPECT_THAT(newKeys(desktop, 0, 4),
                ElementsAre(Key{kControlL, true}, Key{kV, true}, Key{kV, false}, Key{kControlL, false}));
}

TEST_F(RemoteDesktopPortalTest, EachStartThatGetsNoKeyboardIsReportedAndSendsNothing)
{
    constexpr int unanswered = -1;
    struct Case {
        bool offered;
        int answer;
        unsigned devices;
        Outcome outcome;
        const char* reason;
    };
    const Case cases[] = {
        {true, 1, 1, Outcome::refused, "The keyboard access was declined on the desktop"},
        {true, 2, 1, Outcome::failed, "The desktop refused to start the session"},
        {true, 0, 2, Outcome::failed, "The desktop did not grant the keyboard"},
        {true, unanswered, 1, Outcome::failed, "The desktop did not answer the keyboard request within 300 ms"},
        {false, 0, 1, Outcome::failed, "The desktop portal failed to open a session"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        testing::PortalTestBus desktop({.remoteDesktop = c.offered});
        if (c.answer == unanswered) {
            desktop.holdRemoteDesktopStarts();
        } else if (c.offered) {
            desktop.setRemoteDesktopAnswer(static_cast<unsigned>(c.answer), c.devices);
        }
        QtRemoteDesktopPortal& portal = connect(desktop, 300ms);
        const RemoteDesktopStart reported = start(portal).value_or(RemoteDesktopStart{Outcome::started, {}, {}});
        EXPECT_EQ(reported.outcome, c.outcome);
        EXPECT_THAT(reported.reason, HasSubstr(c.reason));
        EXPECT_FALSE(portal.isStarted());
        EXPECT_FALSE(portal.sendChord({{KeyModifier::control}, "v"}));
        EXPECT_FALSE(portal.releaseModifiers({KeyModifier::control}));
        if (c.offered) {
            EXPECT_THAT(desktop.keysymEvents(), ElementsAre());
        }
        TearDown();
    }
}

TEST_F(RemoteDesktopPortalTest, ADesktopThatEndsTheSessionStopsTheKeysAndSaysSo)
{
    testing::PortalTestBus desktop({.remoteDesktop = true});
    QtRemoteDesktopPortal& portal = connect(desktop);
    ASSERT_EQ(start(portal).value_or(RemoteDesktopStart{}).outcome, Outcome::started) << desktop.frontendOutput();
    desktop.closeSessions();
    ASSERT_TRUE(processEventsUntil([&] { return !portal.isStarted(); }));
    EXPECT_FALSE(portal.sendChord({{KeyModifier::control}, "v"}));
    EXPECT_THAT(log.lines(), ::testing::Contains("Portal keyboard session closed by the desktop"));
    EXPECT_THAT(desktop.keysymEvents(), ElementsAre());
}

TEST_F(RemoteDesktopPortalTest, VersionIsWhatThePortalOffersAndZeroWithoutTheInterface)
{
    // Each desktop offers one of the two interfaces, so that asking about the other one is caught.
    const std::pair<bool, unsigned> cases[] = {{true, 1u}, {false, 0u}};
    for (const auto& [offered, version] : cases) {
        SCOPED_TRACE(offered);
        testing::PortalTestBus desktop({.globalShortcuts = !offered, .remoteDesktop = offered});
        EXPECT_EQ(QtRemoteDesktopPortal::version(testing::PrivateBusConnection(desktop.address()).connection(), 2000),
                  version);
    }
}

}  // namespace
}  // namespace korvane
