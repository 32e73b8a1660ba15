// SPDX-License-Identifier: MIT
// Focus tracking and inspection against real X11 and AT-SPI: a private Xvfb with openbox, the AT-SPI
// bus, and a Qt and a GTK window with a single-line, a multi-line and a password field and a button.
#include "delivery/focus/FocusInspector.h"
#include "delivery/focus/FocusTracker.h"
#include "platform/linux/QtScreens.h"
#include "platform/linux/atspi/AtspiAccessibility.h"
#include "platform/linux/x11/InputPermission.h"
#include "platform/linux/x11/X11ActiveWindow.h"
#include "platform/linux/x11/X11Connection.h"
#include "tests/platform/desktop/DesktopFixture.h"
#include "tests/support/desktop/FieldsClient.h"
#include "tests/support/process/Programs.h"

#include <QWindow>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>

namespace korvane {
namespace {

using namespace std::chrono_literals;
using ::testing::Contains;
using testing::FieldsClient;
using ::testing::HasSubstr;

::testing::Environment* const desktop = ::testing::AddGlobalTestEnvironment(new testing::DesktopEnvironment);

// The adapters as the platform factory wires them, logging into `lines`.
class FocusIntegrationTest : public ::testing::Test {
protected:
    FocusIntegrationTest()
        : connection(X11Connection::open()), activeWindow(*connection), permission(connection.get()),
          tracker(activeWindow, FocusTracker::Self{::getpid(), "Korvane"}), accessibility(environment())
    {
    }

    AtspiAccessibility::Environment environment()
    {
        AtspiAccessibility::Environment environment;
        environment.isTrusted = [this] { return permission.isTrusted(); };
        environment.activeProcessId = [this]() -> std::optional<long> {
            const auto front = activeWindow.activeApplication();
            return front ? front->processId : std::nullopt;
        };
        environment.processesOf = [this](const std::string& id) { return activeWindow.processesOfClass(id); };
        environment.desktopScreens = [] { return desktopScreens(); };
        return environment;
    }

    LogSink sink()
    {
        return [this](std::string_view line) { lines.emplace_back(line); };
    }

    // Focuses a field of an active client and waits until the accessibility tree says so.
    void focusField(FieldsClient& client, const std::string& field)
    {
        client.activate();
        client.focus(field);
        ASSERT_TRUE(testing::processEventsUntil([&] {
            return accessibility.focusedElement().status == AccessibilityStatus::success;
        })) << client.windowClass()
            << " " << field;
    }

    std::unique_ptr<X11Connection> connection;
    X11ActiveWindow activeWindow;
    InputPermission permission;
    FocusTracker tracker;
    AtspiAccessibility accessibility;
    std::vector<std::string> lines;
};

TEST_F(FocusIntegrationTest, TrackerFollowsOtherApplicationsAndNeverOurOwnWindow)
{
    ASSERT_TRUE(permission.isTrusted()) << permission.whyUntrusted().value_or("");
    FieldsClient qt(FieldsClient::Toolkit::qt);
    FieldsClient gtk(FieldsClient::Toolkit::gtk);

    qt.activate();
    EXPECT_TRUE(testing::processEventsUntil([&] { return tracker.lastBundleId() == "QtFields"; }))
        << tracker.lastBundleId().value_or("nil");
    EXPECT_TRUE(tracker.isFrontmost("QtFields"));
    gtk.activate();
    EXPECT_TRUE(testing::processEventsUntil([&] { return tracker.lastBundleId() == "GtkFields"; }))
        << tracker.lastBundleId().value_or("nil");

    // A window of this very process: once the window manager made it active and we read its
    // notification, the tracker still names the GTK client.
    QWindow own;
    own.resize(200, 100);
    own.show();
    ASSERT_TRUE(testing::processEventsUntil([&] { return own.isExposed(); }));
    testing::xdotool({"windowactivate", "--sync", std::to_string(own.winId())});
    ASSERT_TRUE(testing::processEventsUntil([&] { return activeWindow.activeWindow() == own.winId(); }));
    connection->dispatchPending();
    EXPECT_EQ(tracker.lastBundleId(), "GtkFields");
    EXPECT_FALSE(tracker.isFrontmost("GtkFields"));
}

struct FieldExpectation {
    std::string field;
    std::string logged;  // the classification line
    FocusClassification classification;
};

class FocusInspectionTest : public FocusIntegrationTest, public ::testing::WithParamInterface<FieldsClient::Toolkit> {};

TEST_P(FocusInspectionTest, ClassifiesEachFieldReadsTheCaretAndFindsTheFrame)
{
    FieldsClient client(GetParam());
    const std::vector<FieldExpectation> fields{
        {"single", "role=AXTextField subrole=nil valueSettable=true selectedTextSettable=true",
         FocusClassification::editable},
        {"multi", "role=AXTextArea subrole=nil valueSettable=true selectedTextSettable=true",
         FocusClassification::editable},
        {"password", "role=AXTextField subrole=AXSecureTextField valueSettable=true", FocusClassification::editable},
        {"button", "role=AXButton subrole=nil valueSettable=false selectedTextSettable=false",
         FocusClassification::nonEditable},
    };
    for (const FieldExpectation& expected : fields) {
        focusField(client, expected.field);
        lines.clear();
        EXPECT_EQ(FocusInspector::classifyFocusedElement(accessibility, sink()), expected.classification)
            << client.windowClass() << " " << expected.field;
        EXPECT_THAT(lines, Contains(HasSubstr(expected.logged))) << client.windowClass() << " " << expected.field;
    }

    focusField(client, "single");
    testing::xdotool({"type", "--delay", "20", "hello"});
    ASSERT_TRUE(testing::processEventsUntil([&] { return client.text("single") == "hello"; }));
    lines.clear();
    EXPECT_EQ(FocusInspector::characterBeforeCaret(accessibility, sink()), "o");
    EXPECT_THAT(lines, Contains("Caret read: letter-or-digit before caret at 5, selection length 0"));
    testing::xdotool({"key", "Home"});
    lines.clear();
    EXPECT_TRUE(testing::processEventsUntil(
        [&] { return !FocusInspector::characterBeforeCaret(accessibility, [](std::string_view) {}); }));
    FocusInspector::characterBeforeCaret(accessibility, sink());
    EXPECT_THAT(lines, Contains("Caret read: at start of field (selection length 0)"));

    const FieldsClient::Geometry field = client.geometry("single");
    const std::optional<Rect> frame = FocusInspector::focusedElementFrame(accessibility, sink());
    ASSERT_TRUE(frame);
    const std::vector<Rect> screens = accessibility.screens();
    ASSERT_FALSE(screens.empty());
    // Back from y-up to the root window's y-down coordinates for the comparison.
    EXPECT_NEAR(frame->x, field.x, 3);
    EXPECT_NEAR(screens.front().maxY() - frame->maxY(), field.y, 3);
    EXPECT_NEAR(frame->width, field.width, 3);
    EXPECT_NEAR(frame->height, field.height, 3);
}

INSTANTIATE_TEST_SUITE_P(Toolkits, FocusInspectionTest,
                         ::testing::Values(FieldsClient::Toolkit::qt, FieldsClient::Toolkit::gtk),
                         [](const auto& toolkit) { return toolkit.param == FieldsClient::Toolkit::qt ? "Qt" : "Gtk"; });

// How a client stops answering: before the inspections, or half-way through the walk of its tree
// that the first one makes (Qt offers no search of its own, so a lookup that remembers no focus
// event walks it).
struct Stop {
    std::string name;
    FieldsClient::Toolkit toolkit;
    bool midWalk;
};

void PrintTo(const Stop& stop, std::ostream* out)
{
    *out << stop.name;
}

class StoppedApplicationTest : public FocusIntegrationTest, public ::testing::WithParamInterface<Stop> {};

// The adapter's budget for one inspection, and what a loaded machine may add to it.
constexpr auto kInspectionBudget = 500ms;
constexpr auto kMargin = 250ms;

std::chrono::steady_clock::duration timed(const std::function<void()>& inspection)
{
    const auto start = std::chrono::steady_clock::now();
    inspection();
    return std::chrono::steady_clock::now() - start;
}

TEST_P(StoppedApplicationTest, EachInspectionEndsWithinOneBudget)
{
    FieldsClient client(GetParam().toolkit);
    focusField(client, "single");
    AtspiAccessibility unaware(environment());  // has seen no focus event of the client
    AtspiAccessibility& service = GetParam().midWalk ? unaware : accessibility;
    if (GetParam().midWalk) {
        client.stopWhenWalked();
    } else {
        client.signal(SIGSTOP);
    }
    const auto classify = timed([&] { FocusInspector::classifyFocusedElement(service, sink()); });
    const auto caret = timed([&] { EXPECT_FALSE(FocusInspector::characterBeforeCaret(service, sink())); });
    const auto frame = timed([&] { EXPECT_FALSE(FocusInspector::focusedElementFrame(service, sink())); });
    client.signal(SIGCONT);
    for (const auto& elapsed : {classify, caret, frame}) {
        EXPECT_LT(elapsed, kInspectionBudget + kMargin)
            << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() << " ms";
    }
    std::string log;
    for (const std::string& line : lines) {
        log += line + "\n";
    }
    EXPECT_THAT(log, HasSubstr("(status 2)")) << log;
}

INSTANTIATE_TEST_SUITE_P(Stops, StoppedApplicationTest,
                         ::testing::Values(Stop{"GtkStoppedBeforehand", FieldsClient::Toolkit::gtk, false},
                                           Stop{"QtStoppingMidWalk", FieldsClient::Toolkit::qt, true}),
                         [](const auto& stop) { return stop.param.name; });

// Last in this file: the accessibility bus stays gone for the rest of the process (ctest gives each
// case a process of its own; by hand, run it alone).
TEST_F(FocusIntegrationTest, ALostAccessibilityBusEndsEachInspectionWithinOneBudgetAndAnswersNothing)
{
    FieldsClient client(FieldsClient::Toolkit::gtk);
    focusField(client, "single");
    // The bus listens in this desktop's runtime folder, which no other desktop shares.
    const std::string runtime = std::getenv("XDG_RUNTIME_DIR");
    testing::runProgram({"pkill", "-KILL", "-f", "^/usr/bin/dbus-daemon .*=unix:path=" + runtime + "/at-spi/bus"});

    const auto classify = timed([&] {
        EXPECT_EQ(FocusInspector::classifyFocusedElement(accessibility, sink()), FocusClassification::unknown);
    });
    const auto caret = timed([&] { EXPECT_FALSE(FocusInspector::characterBeforeCaret(accessibility, sink())); });
    const auto frame = timed([&] { EXPECT_FALSE(FocusInspector::focusedElementFrame(accessibility, sink())); });
    for (const auto& elapsed : {classify, caret, frame}) {
        EXPECT_LT(elapsed, kInspectionBudget + kMargin)
            << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() << " ms";
    }
    // Each says why it found nothing, and the paste goes ahead without what they would have told.
    EXPECT_THAT(lines, Contains(HasSubstr("Focus inspection: no focused element")));
    EXPECT_THAT(lines, Contains("Caret read: no focused element"));
}

}  // namespace
}  // namespace korvane
