#include "tests/support/notifications/TestNotificationServer.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <stdexcept>
#include <thread>

namespace korvane::testing {

using namespace std::chrono_literals;

TestSessionBus::TestSessionBus()
{
    const std::filesystem::path socket = files_.path() / "bus";
    daemon_ = std::make_unique<ChildProcess>(std::vector<std::string>{
        "dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=unix:path=" + socket.string()});
    address_ = std::make_unique<ScopedEnvironment>("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + socket.string());
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!std::filesystem::exists(socket)) {
        if (std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error("the session bus did not start");
        }
        std::this_thread::sleep_for(20ms);
    }
}

TestNotificationServer::TestNotificationServer() : server_({"/usr/bin/python3", KORVANE_NOTIFICATION_SERVER})
{
    server_.expectLine("ready", 10s);
}

std::optional<ReceivedNotification> TestNotificationServer::nextNotification(std::chrono::milliseconds timeout,
                                                                             const std::function<void()>& whileWaiting)
{
    const std::optional<std::string> line = server_.readLine(timeout, whileWaiting);
    constexpr std::string_view prefix = "notify ";
    if (!line || !line->starts_with(prefix)) {
        return std::nullopt;
    }
    const nlohmann::json call = nlohmann::json::parse(line->substr(prefix.size()));
    ReceivedNotification received;
    received.id = call.at("id").get<std::uint32_t>();
    received.appName = call.at("app_name").get<std::string>();
    received.replacesId = call.at("replaces_id").get<std::uint32_t>();
    received.summary = call.at("summary").get<std::string>();
    received.body = call.at("body").get<std::string>();
    received.actions = call.at("actions").get<std::vector<std::string>>();
    return received;
}

void TestNotificationServer::invokeAction(std::uint32_t id, const std::string& action)
{
    server_.writeLine("invoke " + std::to_string(id) + " " + action);
}

}  // namespace korvane::testing
