#include "base/logging/Logger.h"
#include "tests/support/StderrCapture.h"
#include "tests/support/TempHome.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using ::testing::MatchesRegex;
using testing::readFile;
using testing::StderrCapture;
using testing::TempHome;
using testing::writeFile;

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override { Logger::setEnabled(false); }
    void TearDown() override { Logger::setEnabled(false); }

    std::filesystem::path configDir() const { return home.path() / ".config" / "korvane"; }
    std::filesystem::path logFile() const { return configDir() / "debug.log"; }

    TempHome home;
};

TEST_F(LoggerTest, SilentWhenOff)
{
    StderrCapture captured;
    Logger::log("App started -- main run loop active");

    EXPECT_EQ(captured.text(), "");
    EXPECT_FALSE(std::filesystem::exists(home.path() / ".config"));
}

TEST_F(LoggerTest, LogFileLivesUnderHomeNotXdgConfig)
{
    ::setenv("XDG_CONFIG_HOME", (home.path() / "elsewhere").c_str(), 1);
    EXPECT_EQ(Logger::logFilePath(), logFile());
}

TEST_F(LoggerTest, FirstLineCreatesFolderAndFileWithOneLine)
{
    Logger::setEnabled(true);
    StderrCapture captured;
    Logger::log("Transcribed 42 characters");

    const std::string expected = "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] Transcribed 42 characters\n";
    EXPECT_THAT(readFile(logFile()), MatchesRegex(expected));
    EXPECT_THAT(captured.text(), MatchesRegex(expected));
    EXPECT_EQ(readFile(logFile()), captured.text());
}

TEST_F(LoggerTest, LinesFromOneThreadKeepCallOrderAndShareTheSecond)
{
    Logger::setEnabled(true);
    StderrCapture captured;
    // Two calls straddle a second boundary only rarely; a few tries make the same-second case certain.
    std::vector<std::string> lines;
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::filesystem::remove(logFile());
        Logger::log("first");
        Logger::log("second");
        lines = linesOf(readFile(logFile()));
        ASSERT_EQ(lines.size(), 2u);
        if (lines[0].substr(0, 8) == lines[1].substr(0, 8)) {
            break;
        }
    }
    EXPECT_EQ(lines[0].substr(0, 8), lines[1].substr(0, 8));
    EXPECT_EQ(lines[0].substr(8), " first");
    EXPECT_EQ(lines[1].substr(8), " second");
}

TEST_F(LoggerTest, MessageIsWrittenAsGivenEvenAcrossLines)
{
    Logger::setEnabled(true);
    StderrCapture captured;
    Logger::log("two\nlines");
    Logger::log("");

    EXPECT_THAT(readFile(logFile()), MatchesRegex("[0-9:]{8} two\nlines\n[0-9:]{8} \n"));
}

TEST_F(LoggerTest, AppendsToEarlierRunsAndRecreatesADeletedFile)
{
    writeFile(logFile(), "10:00:00 from an earlier run\n");
    Logger::setEnabled(true);
    StderrCapture captured;

    Logger::log("next run");
    EXPECT_THAT(linesOf(readFile(logFile())),
                ElementsAre("10:00:00 from an earlier run", MatchesRegex("[0-9:]{8} next run")));

    // The user may delete the log at any time; the next line starts a new file.
    std::filesystem::remove(logFile());
    Logger::log("after delete");
    EXPECT_THAT(linesOf(readFile(logFile())), ElementsAre(MatchesRegex("[0-9:]{8} after delete")));
}

TEST_F(LoggerTest, FailureToWriteTheFileIsSwallowedAndStderrStillGetsTheLine)
{
    // A plain file where the folder should be: the log file can never be created.
    writeFile(home.path() / ".config", "not a folder");
    Logger::setEnabled(true);
    StderrCapture captured;

    Logger::log("still on stderr");

    EXPECT_THAT(captured.text(), MatchesRegex("[0-9:]{8} still on stderr\n"));
    EXPECT_EQ(readFile(home.path() / ".config"), "not a folder");
}

TEST_F(LoggerTest, StderrPipeWithoutReaderNeitherEndsTheProcessNorLosesTheFileLine)
{
    // Standard error piped into a program that has exited: the write fails with SIGPIPE, whose
    // default action would end this process.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    std::fflush(stderr);
    const int savedStderr = ::dup(STDERR_FILENO);
    ::dup2(ends[1], STDERR_FILENO);
    ::close(ends[1]);
    Logger::setEnabled(true);

    Logger::log("reader gone");

    ::dup2(savedStderr, STDERR_FILENO);
    ::close(savedStderr);
    EXPECT_THAT(readFile(logFile()), MatchesRegex("[0-9:]{8} reader gone\n"));
    sigset_t pending;
    sigemptyset(&pending);
    ASSERT_EQ(::sigpending(&pending), 0);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0) << "no SIGPIPE left waiting for a later unblock";
    sigset_t mask;
    ASSERT_EQ(::pthread_sigmask(SIG_SETMASK, nullptr, &mask), 0);
    EXPECT_EQ(sigismember(&mask, SIGPIPE), 0) << "the thread's signal mask is as it was";
}

}  // namespace
}  // namespace korvane
