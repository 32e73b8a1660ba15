#pragma once

#include <QCoreApplication>

#include <chrono>
#include <functional>

namespace korvane::testing {

// The process's Qt application, made at the first call, for tests without widgets.
QCoreApplication& coreApplication();

// Runs the application's events until `done` holds; false when `timeout` passed first.
bool processEventsUntil(const std::function<bool()>& done,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace korvane::testing
