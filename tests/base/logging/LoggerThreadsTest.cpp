#include "base/logging/Logger.h"
#include "tests/support/StderrCapture.h"
#include "tests/support/TempHome.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace korvane {
namespace {

using testing::readFile;
using testing::StderrCapture;
using testing::TempHome;

TEST(LoggerThreadsTest, EightThreadsLoggingAtOnceLeaveWholeLinesOnly)
{
    constexpr int kThreads = 8;
    constexpr int kLinesEach = 250;
    TempHome home;
    StderrCapture captured;
    Logger::setEnabled(true);

    // Long lines make a torn write far more likely to show if appends were not serialised.
    const std::string padding(300, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &padding] {
            for (int i = 0; i < kLinesEach; ++i) {
                Logger::log("thread " + std::to_string(t) + " line " + std::to_string(i) + " " + padding);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    Logger::setEnabled(false);

    std::istringstream in(readFile(home.path() / ".config/korvane/debug.log"));
    std::map<int, int> nextLineOfThread;
    int total = 0;
    for (std::string line; std::getline(in, line); ++total) {
        int hours = -1, minutes = -1, seconds = -1, thread = -1, number = -1, consumed = 0;
        const int fields = std::sscanf(line.c_str(), "%2d:%2d:%2d thread %d line %d %n", &hours, &minutes, &seconds,
                                       &thread, &number, &consumed);
        ASSERT_EQ(fields, 5) << "torn or mixed line: " << line;
        ASSERT_EQ(line.substr(static_cast<std::size_t>(consumed)), padding) << "torn or mixed line: " << line;
        EXPECT_TRUE(line[2] == ':' && line[5] == ':' && line[8] == ' ') << line;
        // Within one thread the file keeps call order.
        EXPECT_EQ(number, nextLineOfThread[thread]++) << line;
    }
    EXPECT_EQ(total, kThreads * kLinesEach);
}

}  // namespace
}  // namespace korvane
