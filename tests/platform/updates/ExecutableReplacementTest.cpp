// SPDX-License-Identifier: MIT
// The relaunch's two desktop pieces against the real file system and a real exec: noticing a
// replaced executable in a folder, and starting a program in place of a process.
#include "platform/linux/updates/ExecutableWatch.h"
#include "platform/linux/updates/ProcessRelaunch.h"
#include "tests/support/TempHome.h"
#include "tests/support/TemporaryDirectory.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace korvane {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

QCoreApplication& application()
{
    static int argc = 1;
    static char name[] = "executable-replacement-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

// Runs the event loop for `duration` of real time.
void spin(std::chrono::milliseconds duration)
{
    QDeadlineTimer deadline(duration);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

// Runs the event loop until `done` holds; false when `timeout` passed first.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s)
{
    QDeadlineTimer deadline(timeout);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

// Writes a new executable file next to `path` and renames it over `path`, as a package manager does.
void installOver(const fs::path& path, const std::string& contents, fs::perms permissions = fs::perms(0755))
{
    const fs::path staged = path.string() + ".new";
    testing::writeFile(staged, contents);
    fs::permissions(staged, permissions);
    fs::rename(staged, path);
}

class ExecutableReplacementTest : public ::testing::Test {
protected:
    ExecutableReplacementTest() { application(); }

    testing::TemporaryDirectory folder{"korvane-install"};
    fs::path executable = folder.path() / "korvane";
    int reports = 0;
};

TEST_F(ExecutableReplacementTest, ReportsEachNewFileOnceAfterItSettles)
{
    installOver(executable, "#!/bin/sh\necho 1\n");
    ExecutableWatch watch(
        executable, [this] { ++reports; }, 150ms);
    ASSERT_TRUE(watch.isWatching());
    spin(400ms);
    EXPECT_EQ(reports, 0) << "the file it started with is no replacement";

    // A file that cannot be run yet is not offered; once it is executable it is.
    installOver(executable, "#!/bin/sh\necho 2\n", fs::perms(0644));
    spin(400ms);
    EXPECT_EQ(reports, 0) << "not executable";
    fs::permissions(executable, fs::perms(0755));
    EXPECT_TRUE(spinUntil([&] { return reports == 1; }));

    // Touching the same file again is no new version; removing it (an uninstall) offers nothing.
    testing::writeFile(folder.path() / "unrelated", "x");
    spin(400ms);
    EXPECT_EQ(reports, 1);
    fs::remove(executable);
    spin(400ms);
    EXPECT_EQ(reports, 1);

    installOver(executable, "#!/bin/sh\necho 3\n");
    EXPECT_TRUE(spinUntil([&] { return reports == 2; })) << "a later upgrade is reported too";
}

TEST_F(ExecutableReplacementTest, AFileStillBeingWrittenWaitsUntilItSettles)
{
    installOver(executable, "#!/bin/sh\necho 1\n");
    ExecutableWatch watch(
        executable, [this] { ++reports; }, 300ms);
    installOver(executable, "#!/bin/sh\n");
    // Writes keep coming into the new file, each well inside the settle time.
    for (int i = 0; i < 4; ++i) {
        spin(150ms);
        testing::writeFile(executable, "#!/bin/sh\necho " + std::to_string(i) + "\n");
        EXPECT_EQ(reports, 0) << "write " << i;
    }
    EXPECT_TRUE(spinUntil([&] { return reports == 1; }));
    spin(300ms);
    EXPECT_EQ(reports, 1);
}

TEST_F(ExecutableReplacementTest, RelaunchRunsTheSamePathWithTheSameArgumentsAndNoInheritedFiles)
{
    int output[2];
    ASSERT_EQ(::pipe(output), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(output[1], STDOUT_FILENO);
        // A descriptor opened without close-on-exec, as some libraries do.
        const int stray = ::open("/dev/null", O_RDONLY);
        const std::string script = "echo \"$1|$2\"; if [ -e /proc/self/fd/" + std::to_string(stray) +
                                   " ]; then echo inherited; else echo closed; fi";
        const ProcessRelaunch relaunch("/bin/sh", {"sh", "-c", script, "sh", "first", "second arg"});
        relaunch.exec();
        ::_exit(3);
    }
    ::close(output[1]);
    std::string seen;
    char buffer[256];
    for (ssize_t n; (n = ::read(output[0], buffer, sizeof buffer)) > 0;) {
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(output[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(seen, "first|second arg\nclosed\n");

    const ProcessRelaunch missing("/nonexistent/korvane", {"korvane"});
    EXPECT_NE(missing.exec().find("cannot start /nonexistent/korvane"), std::string::npos);

    const ProcessRelaunch self = ProcessRelaunch::ofThisProcess();
    EXPECT_EQ(self.executable(), fs::read_symlink("/proc/self/exe"));
    ASSERT_FALSE(self.arguments().empty());
    EXPECT_EQ(self.arguments().front(), "executable-replacement-test");
}

}  // namespace
}  // namespace korvane
