// SPDX-License-Identifier: MIT
// The application in front as the accessibility bus tells it, against a private desktop with the
// AT-SPI bus and a real GTK and Qt window.
#include "platform/linux/atspi/AtspiActiveApplication.h"
#include "tests/platform/desktop/DesktopFixture.h"
#include "tests/support/desktop/FieldsClient.h"

#include <QWindow>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace korvane {

void PrintTo(const ActiveApplication& application, std::ostream* out)
{
    *out << application.bundleId << " (process " << application.processId.value_or(0) << ")";
}

namespace {

using ::testing::Each;
using ::testing::ElementsAreArray;
using testing::FieldsClient;

::testing::Environment* const desktop = ::testing::AddGlobalTestEnvironment(new testing::DesktopEnvironment);

// What each toolkit publishes as its application's accessible name.
struct Client {
    FieldsClient::Toolkit toolkit;
    std::string name;
};
const std::vector<Client> clients{{FieldsClient::Toolkit::gtk, "gtk_fields_client.py"},
                                  {FieldsClient::Toolkit::qt, "QtFields"}};

class ActiveApplicationIntegrationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        for (const Client& client : clients) {
            running.push_back(std::make_unique<FieldsClient>(client.toolkit));
        }
    }
    static void TearDownTestSuite() { running.clear(); }

    // Activates the client and waits until `source` reports it.
    static ActiveApplication activate(std::size_t index, AtspiActiveApplication& source)
    {
        const ActiveApplication expected{clients[index].name, running[index]->pid()};
        running[index]->activate();
        EXPECT_TRUE(testing::processEventsUntil([&] { return source.activeApplication() == expected; }))
            << clients[index].name;
        return expected;
    }

    static inline std::vector<std::unique_ptr<FieldsClient>> running;
};

TEST_F(ActiveApplicationIntegrationTest, FollowsActivationsOnTheMainThreadUntilNoOtherWindowIsActive)
{
    std::vector<std::string> lines;
    AtspiActiveApplication source(::getpid(), [&](std::string_view line) { lines.emplace_back(line); });
    activate(1, source);
    lines.clear();
    std::vector<std::optional<ActiveApplication>> reports;
    std::vector<std::thread::id> threads;
    source.setOnActivation([&](const std::optional<ActiveApplication>& application) {
        reports.push_back(application);
        threads.push_back(std::this_thread::get_id());
    });

    std::vector<std::optional<ActiveApplication>> expected;
    std::vector<std::string> logged;
    for (const std::size_t index : {0, 1, 0}) {
        expected.push_back(activate(index, source));
        logged.push_back("Active application: " + clients[index].name + " (process " +
                         std::to_string(running[index]->pid()) + ")");
    }
    // A switch between two clients may report nothing in between, as the first window goes inactive.
    std::vector<std::optional<ActiveApplication>> followed = reports;
    std::erase(followed, std::nullopt);
    EXPECT_THAT(followed, ElementsAreArray(expected));
    EXPECT_THAT(lines, ElementsAreArray(logged));

    // A window of our own: the client's window goes inactive and ours does not count.
    QWindow own;
    own.resize(200, 100);
    own.show();
    ASSERT_TRUE(testing::processEventsUntil([&] { return own.isExposed(); }));
    testing::xdotool({"windowactivate", "--sync", std::to_string(own.winId())});
    EXPECT_TRUE(testing::processEventsUntil(
        [&] { return !source.activeApplication() && !reports.empty() && !reports.back(); }));
    EXPECT_THAT(threads, Each(std::this_thread::get_id()));
}

TEST_F(ActiveApplicationIntegrationTest, ReportsTheApplicationAlreadyActiveWhenCreated)
{
    AtspiActiveApplication watcher(::getpid(), [](std::string_view) {});
    for (std::size_t index = 0; index < clients.size(); ++index) {
        const ActiveApplication expected = activate(index, watcher);
        AtspiActiveApplication created(::getpid(), [](std::string_view) {});
        EXPECT_EQ(created.activeApplication(), expected) << clients[index].name;
    }
}

TEST_F(ActiveApplicationIntegrationTest, FindsTheActiveApplicationPastAHungOneWithinItsTimeout)
{
    AtspiActiveApplication watcher(::getpid(), [](std::string_view) {});
    const ActiveApplication expected = activate(1, watcher);
    // The GTK client joined the bus first, so the search asks it first.
    running[0]->signal(SIGSTOP);
    const auto start = std::chrono::steady_clock::now();
    AtspiActiveApplication created(
        ::getpid(), [](std::string_view) {}, std::chrono::milliseconds(250));
    const auto took = std::chrono::steady_clock::now() - start;
    running[0]->signal(SIGCONT);
    EXPECT_EQ(created.activeApplication(), expected);
    EXPECT_LT(took, std::chrono::milliseconds(1000));
}

}  // namespace
}  // namespace korvane
