// SPDX-License-Identifier: MIT
// Prints how long the focus queries take against real toolkits under a private desktop: the
// classification and the character before the caret (what every paste pays), and finding the
// focused object in a window with thousands of accessible objects. Figures, not a test.
#include "delivery/focus/FocusInspector.h"
#include "platform/linux/QtScreens.h"
#include "platform/linux/atspi/AtspiAccessibility.h"
#include "platform/linux/x11/InputPermission.h"
#include "platform/linux/x11/X11ActiveWindow.h"
#include "platform/linux/x11/X11Connection.h"
#include "tests/support/desktop/DesktopSession.h"
#include "tests/support/desktop/FieldsClient.h"

#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using namespace korvane;
using Clock = std::chrono::steady_clock;
using testing::FieldsClient;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Adapters {
    std::unique_ptr<X11Connection> connection = X11Connection::open();
    X11ActiveWindow activeWindow{*connection};
    InputPermission permission{connection.get()};

    std::unique_ptr<AtspiAccessibility> freshService()
    {
        AtspiAccessibility::Environment environment;
        environment.isTrusted = [this] { return permission.isTrusted(); };
        environment.activeProcessId = [this]() -> std::optional<long> {
            const auto front = activeWindow.activeApplication();
            return front ? front->processId : std::nullopt;
        };
        environment.desktopScreens = [] { return desktopScreens(); };
        return std::make_unique<AtspiAccessibility>(std::move(environment));
    }
};

void settle()
{
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(300);
    while (Clock::now() < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

const char* name(FieldsClient::Toolkit toolkit)
{
    return toolkit == FieldsClient::Toolkit::qt ? "Qt" : "GTK";
}

void classifyAndCaret(Adapters& adapters, FieldsClient::Toolkit toolkit)
{
    FieldsClient client(toolkit);
    client.activate();
    client.focus("single");
    testing::xdotool({"type", "hello"});
    settle();
    const auto service = adapters.freshService();
    const LogSink quiet = [](std::string_view) {};
    std::vector<double> times;
    for (int run = 0; run < 20; ++run) {
        const Clock::time_point start = Clock::now();
        FocusInspector::classifyFocusedElement(*service, quiet);
        FocusInspector::characterBeforeCaret(*service, quiet);
        times.push_back(millisecondsSince(start));
    }
    std::sort(times.begin(), times.end());
    std::printf("%-4s classify + characterBeforeCaret: median %.2f ms, worst of 20 %.2f ms (lookup: %s)\n",
                name(toolkit), times[times.size() / 2], times.back(), service->lastLookup().c_str());
}

void largeTree(Adapters& adapters, FieldsClient::Toolkit toolkit, int objects)
{
    FieldsClient client(toolkit, objects);
    client.activate();
    client.focus("multi");
    settle();
    std::vector<double> times;
    std::string lookup;
    for (int run = 0; run < 5; ++run) {
        const auto service = adapters.freshService();  // nothing remembered from focus events yet
        const Clock::time_point start = Clock::now();
        const auto found = service->focusedElement();
        times.push_back(millisecondsSince(start));
        lookup = found.status == AccessibilityStatus::success ? service->lastLookup() : "not found";
    }
    std::sort(times.begin(), times.end());
    std::printf("%-4s focused object among %d labels, nothing remembered: median %.1f ms, worst of 5 %.1f ms (%s)\n",
                name(toolkit), objects, times[times.size() / 2], times.back(), lookup.c_str());
}

}  // namespace

int main()
{
    testing::DesktopSession desktop;
    int argc = 1;
    char program[] = "focus-query-figures";
    char* argv[] = {program, nullptr};
    QGuiApplication application(argc, argv);
    Adapters adapters;
    for (const auto toolkit : {FieldsClient::Toolkit::qt, FieldsClient::Toolkit::gtk}) {
        classifyAndCaret(adapters, toolkit);
    }
    for (const auto toolkit : {FieldsClient::Toolkit::qt, FieldsClient::Toolkit::gtk}) {
        largeTree(adapters, toolkit, 5000);
    }
    return 0;
}
