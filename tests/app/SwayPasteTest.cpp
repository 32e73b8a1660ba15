// SPDX-License-Identifier: MIT
// Dictations pasted into Wayland windows on a headless sway: the real application as sway's user,
// on Wayland alone (no XWayland), its paste keys through sway's virtual keyboard and the clipboard
// through data control. Each target holds exactly the transcript afterwards, and the clipboard
// another application owned comes back byte for byte, or is never read when it was concealed.
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/app/SwayDictation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace korvane {
namespace {

using namespace std::chrono_literals;
using Toolkit = testing::HeadlessSway::Toolkit;

constexpr const char* kTranscript = "Meet me at noon.";

std::string randomBytes(std::size_t size)
{
    std::mt19937 generator(7);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(generator() & 0xff);
    }
    return bytes;
}

// Korvane in a sway session, and another application's clipboard.
class SwayPasteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(app.waitForLine("Paste keys: virtual keyboard; clipboard: data control", 1s)) << app.output();
    }

    // Another application takes the clipboard with these formats, and says which it was asked for.
    std::unique_ptr<testing::ChildProcess> ownClipboard(const std::map<std::string, std::string>& formats)
    {
        std::vector<std::string> command{"env", "WAYLAND_DISPLAY=" + sway.waylandDisplay(), KORVANE_DATA_CONTROL_OWNER};
        int index = 0;
        for (const auto& [mime, data] : formats) {
            const std::filesystem::path file = files.path() / std::to_string(index++);
            std::ofstream(file, std::ios::binary) << data;
            command.push_back("--format");
            command.push_back(mime + "=" + file.string());
        }
        auto owner = std::make_unique<testing::ChildProcess>(command);
        owner->expectLine("ready", 10s);
        return owner;
    }

    std::string clipboard(const std::string& mime) const
    {
        return sway.runAsUser({"sh", "-c", "wl-paste --no-newline --type '" + mime + "' 2>/dev/null || true"});
    }

    testing::SwayDictation session{kTranscript};
    testing::HeadlessSway& sway = session.sway();
    testing::RunningKorvane& app = session.app();
    testing::TemporaryDirectory files{"korvane-clipboard-formats"};
};

TEST_F(SwayPasteTest, EachToolkitsFieldGetsTheTranscriptAndTheClipboardComesBack)
{
    const std::map<std::string, std::string> users{{"image/png", randomBytes(300 * 1024)},
                                                   {"text/plain;charset=utf-8", "The user's own words"}};
    for (const Toolkit toolkit : {Toolkit::gtk, Toolkit::qt}) {
        testing::HeadlessSway::Client client = sway.startClient(toolkit);
        sway.focus(client.appId);
        client.process->writeLine("focus single");
        client.process->expectLine("focused single", 5s);
        const std::unique_ptr<testing::ChildProcess> owner = ownClipboard(users);

        const std::size_t before = session.dictate();
        EXPECT_TRUE(app.waitForLine("Paste sent to " + client.appId, 1s, before)) << app.output();
        EXPECT_EQ(
            testing::SwayDictation::eventually([&] { return testing::SwayDictation::fieldText(client); }, kTranscript),
            kTranscript)
            << client.appId;
        for (const auto& [mime, data] : users) {
            EXPECT_TRUE(testing::SwayDictation::eventually([&] { return clipboard(mime); }, data) == data)
                << client.appId << ": " << mime;
        }
    }
}

TEST_F(SwayPasteTest, ATerminalGetsItsOwnPasteKeysAndAConcealedClipboardIsNeverRead)
{
    const testing::TemporaryDirectory received("korvane-foot");
    const std::filesystem::path typed = received.path() / "typed";
    testing::ChildProcess terminal({"env", "-u", "DISPLAY", "WAYLAND_DISPLAY=" + sway.waylandDisplay(),
                                    "XDG_RUNTIME_DIR=" + received.path().string(), "foot", "--app-id", "foot", "--",
                                    "sh", "-c", "stty raw -echo; exec cat > '" + typed.string() + "'"});
    for (const auto deadline = std::chrono::steady_clock::now() + 10s;
         sway.swaymsg({"-t", "get_tree"}).find("\"app_id\": \"foot\"") == std::string::npos;) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "foot did not open";
        std::this_thread::sleep_for(50ms);
    }
    sway.focus("foot");
    const std::unique_ptr<testing::ChildProcess> owner =
        ownClipboard({{"text/plain;charset=utf-8", "hunter2"}, {"x-kde-passwordManagerHint", "secret"}});

    const std::size_t before = session.dictate();
    EXPECT_TRUE(app.waitForLine("Paste sent to foot", 1s, before)) << app.output();
    const auto read = [&] {
        std::ifstream file(typed, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    // Ctrl+V would have reached cat as a control character: the text alone is foot's own paste.
    EXPECT_EQ(testing::SwayDictation::eventually(read, kTranscript), kTranscript);
    owner->closeInput();
    EXPECT_THAT(owner->readAll(5s), ::testing::Not(::testing::HasSubstr("read text/plain")));
}

TEST_F(SwayPasteTest, ATargetThatLostTheFrontIsBroughtBackForThePaste)
{
    testing::HeadlessSway::Client target = sway.startClient(Toolkit::gtk);
    testing::HeadlessSway::Client other = sway.startClient(Toolkit::qt);
    for (testing::HeadlessSway::Client* client : {&other, &target}) {
        sway.focus(client->appId);
        client->process->writeLine("focus single");
        client->process->expectLine("focused single", 5s);
    }
    const std::size_t before = app.lineCount();
    session.pressShortcut();
    ASSERT_TRUE(app.waitForLine("Recording started", 10s, before)) << app.output();
    session.desktop().speak();
    sway.focus(other.appId);
    session.pressShortcut();
    EXPECT_TRUE(app.waitForLine("Paste sent to " + target.appId, 60s, before)) << app.output();
    EXPECT_EQ(
        testing::SwayDictation::eventually([&] { return testing::SwayDictation::fieldText(target); }, kTranscript),
        kTranscript);
    EXPECT_EQ(testing::SwayDictation::fieldText(other), "");
}

TEST_F(SwayPasteTest, ATargetClosedBeforeThePasteLeavesTheTranscriptOnTheClipboard)
{
    testing::HeadlessSway::Client client = sway.startClient(Toolkit::gtk);
    sway.focus(client.appId);
    const std::size_t before = app.lineCount();
    session.pressShortcut();
    ASSERT_TRUE(app.waitForLine("Recording started", 10s, before)) << app.output();
    session.desktop().speak();
    client.process.reset();
    session.pressShortcut();
    // The status reads "Target app unavailable".
    EXPECT_TRUE(app.waitForLine("Status changed: copiedToClipboard(targetUnavailable)", 60s, before)) << app.output();
    EXPECT_EQ(testing::SwayDictation::eventually([&] { return clipboard("text/plain;charset=utf-8"); }, kTranscript),
              kTranscript);
}

TEST_F(SwayPasteTest, TheSelfTestNamesTheWayThePasteGoes)
{
    EXPECT_THAT(session.runKorvane("--self-test 2>&1 || true"),
                ::testing::HasSubstr("Paste keys: through the virtual keyboard, the clipboard through data control"));
}

// Most Wayland desktops run XWayland, and Korvane's windows go through it; its clipboard still goes
// through data control: sway passes XWayland's clipboard on to Wayland windows only while an X11
// window has the keyboard, which Korvane's never take.
TEST(SwayXWaylandPasteTest, AWaylandWindowPastesWhileKorvanesWindowsRunOnXWayland)
{
    testing::SwayDictation session(kTranscript, {}, testing::SwayDictation::Windows::xwayland);
    testing::RunningKorvane& app = session.app();
    ASSERT_TRUE(app.waitForLine("windows on XWayland", 1s)) << app.output();
    ASSERT_TRUE(app.waitForLine("Paste keys: virtual keyboard; clipboard: data control", 1s)) << app.output();
    testing::HeadlessSway::Client client = session.sway().startClient(Toolkit::gtk);
    session.sway().focus(client.appId);
    client.process->writeLine("focus single");
    client.process->expectLine("focused single", 5s);

    const std::size_t before = session.dictate();
    EXPECT_TRUE(app.waitForLine("Paste sent to " + client.appId, 1s, before)) << app.output();
    EXPECT_EQ(
        testing::SwayDictation::eventually([&] { return testing::SwayDictation::fieldText(client); }, kTranscript),
        kTranscript)
        << app.output();
}

}  // namespace
}  // namespace korvane
