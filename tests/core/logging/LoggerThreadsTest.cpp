#include "core/logging/Logger.h"
#include "tests/core/logging/StderrCapture.h"
#include "tests/support/TempHome.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
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

    const std::regex wholeLine("[0-2][0-9]:[0-5][0-9]:[0-6][0-9] thread ([0-7]) line ([0-9]+) x{300}");
    std::istringstream in(readFile(home.path() / ".config/korvane/debug.log"));
    std::map<int, int> nextLineOfThread;
    int total = 0;
    for (std::string line; std::getline(in, line); ++total) {
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(line, parts, wholeLine)) << "torn or mixed line: " << line;
        const int thread = std::stoi(parts[1]);
        // Within one thread the file keeps call order.
        EXPECT_EQ(std::stoi(parts[2]), nextLineOfThread[thread]++) << line;
    }
    EXPECT_EQ(total, kThreads * kLinesEach);
}

} // namespace
} // namespace korvane
