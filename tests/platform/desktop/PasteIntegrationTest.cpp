// SPDX-License-Identifier: MIT
// The whole delivery on X11, as the application wires it: the target is activated or found in front,
// the focus is inspected over AT-SPI, the transcript goes through the CLIPBOARD and Ctrl+V (or a
// terminal's own keys) through XTest, and the clipboard is restored. Real Qt, GTK and xterm windows
// under a private Xvfb with openbox.
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/QtMainQueue.h"
#include "tests/platform/desktop/DesktopFixture.h"
#include "tests/support/DeliveryPrinting.h"
#include "tests/support/RecordingLog.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/desktop/FieldsClient.h"
#include "tests/support/desktop/TestClipboard.h"
#include "tests/support/process/Programs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace korvane {
namespace {

using namespace std::chrono_literals;
using testing::ClipboardOwnerProcess;
using ::testing::Contains;
using testing::FieldsClient;
using ::testing::HasSubstr;

::testing::Environment* const desktop = ::testing::AddGlobalTestEnvironment(new testing::DesktopEnvironment);

// Keeps this process's event loop going while a program reads a clipboard we may own.
void pumpEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// The main queue with every delay stretched threefold: the clipboard restore then waits long enough
// for another program to start and take the clipboard first, however loaded the machine is.
class StretchedMainQueue final : public MainQueue {
public:
    explicit StretchedMainQueue(std::shared_ptr<MainQueue> queue) : queue_(std::move(queue)) {}
    void post(Task task) override { queue_->post(std::move(task)); }
    void postAfter(double seconds, Task task) override { queue_->postAfter(seconds * 3, std::move(task)); }
    bool isMainThread() const override { return queue_->isMainThread(); }

private:
    std::shared_ptr<MainQueue> queue_;
};

// The restore is due 1 s after the key press once the target has read the transcript, and waits up to
// 5 s more for a read it does not see: a restore by this time followed a read.
constexpr auto kRestoreAfterARead = 3s;

const std::string kNeverRead = "Clipboard restore: target never read the transcript";

// Bytes no text conversion would leave alone.
std::string pngLikeBytes()
{
    std::string bytes = "\x89PNG\r\n\x1a\n";
    for (int i = 0; i < 4096; ++i) {
        bytes.push_back(static_cast<char>((i * 37) & 0xff));
    }
    return bytes;
}

class PasteIntegrationTest : public ::testing::Test {
protected:
    PasteIntegrationTest()
        : queue(std::make_shared<QtMainQueue>(QCoreApplication::instance())),
          platform([this](std::string_view line) { recorded.append(line); }),
          delivery(platform.makeDelivery(queue, [this] { return pasteKeys; }))
    {
    }

    // Delivers (through `through`, or the fixture's delivery) and waits for the outcome.
    DeliveryOutcome deliver(const std::string& text, const std::optional<std::string>& target,
                            TranscriptDelivering* through = nullptr)
    {
        std::optional<DeliveryOutcome> outcome;
        (through != nullptr ? through : delivery.get())->deliver(text, target, [&](DeliveryOutcome result) {
            outcome = result;
        });
        EXPECT_TRUE(testing::processEventsUntil([&] { return outcome.has_value(); }, 15s)) << log();
        return outcome.value_or(DeliveryOutcome::notDelivered(DeliveryFallbackReason::eventCreationFailed));
    }

    // Whether the clipboard offers the user's `format` again within `limit`. Only the list of formats
    // is asked for: reading the transcript would be another program's read, which must not count.
    static bool restoredWithin(const std::string& format, std::chrono::milliseconds limit)
    {
        return testing::processEventsUntil(
            [&] { return std::ranges::count(testing::clipboardTargets(pumpEvents), format) == 1; }, limit);
    }

    void pump(std::chrono::milliseconds duration)
    {
        testing::processEventsUntil([] { return false; }, duration);
    }

    std::string log() const { return recorded.text(); }

    std::shared_ptr<QtMainQueue> queue;
    testing::RecordingLog recorded;
    std::map<std::string, std::string> pasteKeys;
    LinuxPlatform platform;
    std::shared_ptr<TranscriptDelivering> delivery;
};

class PasteIntoToolkitTest : public PasteIntegrationTest,
                             public ::testing::WithParamInterface<FieldsClient::Toolkit> {};

TEST_P(PasteIntoToolkitTest, PastesExactlyTheTranscriptAndPutsBackEveryFormatOfTheClipboard)
{
    FieldsClient client(GetParam());
    client.setWhileWaiting(pumpEvents);
    client.activate();
    client.focus("single");
    testing::xdotool({"type", "--delay", "20", "word"});
    ASSERT_TRUE(testing::processEventsUntil([&] { return client.text("single") == "word"; }));
    const std::string image = pngLikeBytes();
    ClipboardOwnerProcess owner({{"image/png", image}, {"text/plain", "the user's own text"}});

    EXPECT_EQ(deliver("hello", client.windowClass()), DeliveryOutcome::pasteSent(5)) << log();
    ASSERT_TRUE(testing::processEventsUntil([&] { return client.text("single") == "word hello"; }))
        << client.text("single") << "\n"
        << log();

    // The restore follows the target's read of our data, a second after the key press: the toolkit's
    // request must be seen as the target's, or the restore waits for one until its bound.
    ASSERT_TRUE(restoredWithin("image/png", kRestoreAfterARead)) << log();
    EXPECT_EQ(testing::readClipboard("image/png", pumpEvents), image);
    EXPECT_EQ(testing::readClipboard("text/plain", pumpEvents), "the user's own text");

    testing::xdotool({"type", "--delay", "20", " ("});
    ASSERT_TRUE(testing::processEventsUntil([&] { return client.text("single") == "word hello ("; }));
    EXPECT_EQ(deliver("aside", client.windowClass()), DeliveryOutcome::pasteSent(5)) << log();
    EXPECT_TRUE(testing::processEventsUntil([&] { return client.text("single") == "word hello (aside"; }))
        << client.text("single");
    EXPECT_THAT(recorded.lines(), Contains("Leading space added: true"));
    EXPECT_THAT(recorded.lines(), Contains("Leading space added: false"));
}

INSTANTIATE_TEST_SUITE_P(Toolkits, PasteIntoToolkitTest,
                         ::testing::Values(FieldsClient::Toolkit::qt, FieldsClient::Toolkit::gtk),
                         [](const auto& toolkit) { return toolkit.param == FieldsClient::Toolkit::qt ? "Qt" : "Gtk"; });

TEST_F(PasteIntegrationTest, APasswordManagersClipboardIsNeverReadAndIsClearedAfterwards)
{
    FieldsClient client(FieldsClient::Toolkit::gtk);
    client.setWhileWaiting(pumpEvents);
    client.activate();
    client.focus("single");
    ClipboardOwnerProcess owner({{"text/plain", "hunter2"}, {"x-kde-passwordManagerHint", "secret"}});

    EXPECT_EQ(deliver("hello", client.windowClass()), DeliveryOutcome::pasteSent(5)) << log();
    EXPECT_TRUE(testing::processEventsUntil([&] { return client.text("single") == "hello"; })) << client.text("single");
    EXPECT_TRUE(testing::processEventsUntil([&] { return testing::clipboardTargets(pumpEvents).empty(); }, 10s))
        << "the clipboard should be empty after the restore\n"
        << log();
    EXPECT_EQ(owner.served("text/plain"), 0);
}

TEST_F(PasteIntegrationTest, AnotherWriterAfterTheKeyPressKeepsItsContents)
{
    FieldsClient client(FieldsClient::Toolkit::gtk);
    client.setWhileWaiting(pumpEvents);
    client.activate();
    client.focus("single");
    ClipboardOwnerProcess before({{"text/plain", "before"}, {"text/html", "<b>before</b>"}});
    const auto stretched =
        platform.makeDelivery(std::make_shared<StretchedMainQueue>(queue), [this] { return pasteKeys; });

    EXPECT_EQ(deliver("hello", client.windowClass(), stretched.get()), DeliveryOutcome::pasteSent(5)) << log();
    EXPECT_TRUE(testing::processEventsUntil([&] { return client.text("single") == "hello"; })) << client.text("single");
    ClipboardOwnerProcess later({{"text/plain", "written later"}});
    const auto skipped = [this] {
        return std::ranges::count(recorded.lines(), "Skipping clipboard restore: pasteboard changed externally") > 0;
    };
    EXPECT_TRUE(testing::processEventsUntil(skipped, 15s)) << log();
    EXPECT_EQ(testing::readClipboard("text/plain", pumpEvents), "written later");
}

// A clipboard manager copies every new owner's text as soon as it appears; its read is not the
// target's, so it must not end the wait (here the target's paste key does nothing, so it never reads).
TEST_F(PasteIntegrationTest, AnotherProgramReadingTheTranscriptDoesNotEndTheWaitForTheTarget)
{
    FieldsClient client(FieldsClient::Toolkit::gtk);
    client.setWhileWaiting(pumpEvents);
    client.activate();
    client.focus("single");
    ClipboardOwnerProcess owner({{"text/plain", "the user's own text"}});
    pasteKeys = {{client.windowClass(), "F12"}};

    EXPECT_EQ(deliver("hello", client.windowClass()), DeliveryOutcome::pasteSent(5)) << log();
    EXPECT_EQ(testing::readClipboard("text/plain", pumpEvents), "hello");
    EXPECT_TRUE(testing::processEventsUntil([&] { return std::ranges::count(recorded.lines(), kNeverRead) == 1; }, 15s))
        << log();
    EXPECT_EQ(testing::readClipboard("text/plain", pumpEvents), "the user's own text");
    EXPECT_EQ(client.text("single"), "");
}

// The target went behind another application while the user spoke: it is brought back to the front
// and the text lands in its field, not in the window that was in front.
TEST_F(PasteIntegrationTest, ATargetBehindAnotherWindowIsActivatedAndReceivesTheText)
{
    FieldsClient target(FieldsClient::Toolkit::gtk);
    target.setWhileWaiting(pumpEvents);
    target.activate();
    target.focus("single");
    FieldsClient front(FieldsClient::Toolkit::qt);
    front.setWhileWaiting(pumpEvents);
    front.activate();
    front.focus("single");

    EXPECT_EQ(deliver("hello", target.windowClass()), DeliveryOutcome::pasteSent(5)) << log();
    EXPECT_TRUE(testing::processEventsUntil([&] { return target.text("single") == "hello"; }))
        << target.text("single") << "\n"
        << log();
    EXPECT_EQ(front.text("single"), "");
    EXPECT_THAT(recorded.lines(), Contains("Activated: " + target.windowClass()));
}

TEST_F(PasteIntegrationTest, ATargetClosedBeforeThePasteLeavesTheTranscriptOnTheClipboard)
{
    std::string windowClass;
    {
        FieldsClient client(FieldsClient::Toolkit::qt);
        windowClass = client.windowClass();
    }
    FieldsClient other(FieldsClient::Toolkit::gtk);
    other.activate();
    EXPECT_EQ(deliver("hello", windowClass),
              DeliveryOutcome::copiedToClipboard(DeliveryFallbackReason::targetUnavailable, 5));
    EXPECT_EQ(testing::readClipboard("text/plain", pumpEvents), "hello");
    EXPECT_EQ(other.text("single"), "");
}

TEST_F(PasteIntegrationTest, ATerminalReceivesTheTextThroughItsOwnPasteKey)
{
    testing::TemporaryDirectory files("korvane-xterm");
    const std::filesystem::path received = files.path() / "received";
    // The terminal hands exactly five raw bytes to the program in it, which writes them to a file.
    testing::ChildProcess xterm(
        {"xterm", "-class", "XTerm", "-e", "sh", "-c", "stty raw -echo; head -c 5 > '" + received.string() + "'"});
    const std::string window = testing::xdotool({"search", "--sync", "--onlyvisible", "--class", "^XTerm$"});
    testing::xdotool({"windowactivate", "--sync", window.substr(0, window.find('\n'))});
    ClipboardOwnerProcess owner({{"text/html", "<b>the user's own</b>"}});

    EXPECT_EQ(deliver("hello", "XTerm"), DeliveryOutcome::pasteSent(5)) << log();
    // The terminal reads PRIMARY, and that read lets the user's clipboard come back.
    EXPECT_TRUE(restoredWithin("text/html", kRestoreAfterARead)) << log();
    EXPECT_TRUE(testing::processEventsUntil(
        [&] {
            std::ifstream file(received);
            std::stringstream contents;
            contents << file.rdbuf();
            return contents.str() == "hello";
        },
        10s))
        << log();
}

TEST_F(PasteIntegrationTest, AShiftStillHeldFromTheShortcutDoesNotShiftThePaste)
{
    FieldsClient client(FieldsClient::Toolkit::gtk);
    client.setWhileWaiting(pumpEvents);
    client.activate();
    client.focus("single");
    testing::xdotool({"keydown", "shift"});
    const DeliveryOutcome outcome = deliver("hello", client.windowClass());
    testing::xdotool({"keyup", "shift"});
    EXPECT_EQ(outcome, DeliveryOutcome::pasteSent(5)) << log();
    EXPECT_TRUE(testing::processEventsUntil([&] { return client.text("single") == "hello"; })) << client.text("single");
    EXPECT_THAT(log(), HasSubstr("Released held modifiers for the paste: shift"));
}

}  // namespace
}  // namespace korvane
