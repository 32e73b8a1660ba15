#pragma once

#include "tests/support/desktop/DesktopSession.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

namespace korvane::testing {

// One private desktop per test process, with this process's QGuiApplication connected to it (our
// adapters read X11 and AT-SPI events from the Qt event loop, as in the application).
class DesktopEnvironment final : public ::testing::Environment {
public:
    void SetUp() override
    {
        session_ = std::make_unique<DesktopSession>();
        static int argc = 1;
        static char name[] = "korvane-desktop-test";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override
    {
        application_.reset();
        session_.reset();
    }

private:
    std::unique_ptr<DesktopSession> session_;
    std::unique_ptr<QGuiApplication> application_;
};

// Runs the Qt event loop until `done` holds or `timeout` passed.
inline bool processEventsUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

}  // namespace korvane::testing
