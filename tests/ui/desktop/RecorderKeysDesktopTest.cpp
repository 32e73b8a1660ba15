// The shortcut recorder on a real X server, keys typed through XTest: keys are recorded by their
// position (Shift+1 is the 1 key, not "!"), and the Super key held with Alt becomes the 🌐⌥ chord,
// checked against the server's own modifier state when the 0.6 s wait ends.
#include "core/scheduling/VirtualMainQueue.h"
#include "tests/platform/desktop/DesktopFixture.h"
#include "tests/support/desktop/FieldsClient.h"
#include "ui/settings/HotkeyRecorderWindow.h"

#include <QLabel>
#include <QWidget>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace korvane {
namespace {

using testing::processEventsUntil;
using testing::xdotool;

class RecorderKeysDesktopTest : public ::testing::Test {
protected:
    RecorderKeysDesktopTest()
    {
        parent.resize(500, 400);
        parent.show();
        recorder = new HotkeyRecorderWindow(queue, &parent);
        recorder->begin(HotkeyBinding::fallback(), [this](std::optional<HotkeyBinding> binding) { result = binding; });
        // Under load the window manager may still be mapping the windows when the first request
        // arrives, and drops it; an application's request may also lose to its focus-stealing rule.
        // Ask again, and from the second try on as a pager would, which the window manager honours.
        for (int attempt = 0; attempt < 20 && !recorder->isActiveWindow(); ++attempt) {
            recorder->raise();
            recorder->activateWindow();
            if (attempt > 0) {
                try {
                    xdotool({"windowactivate", std::to_string(recorder->winId())});
                } catch (const std::exception&) {
                    // not mapped yet: the next try asks again
                }
            }
            processEventsUntil([this] { return recorder->isActiveWindow(); }, std::chrono::milliseconds(500));
        }
    }

    ~RecorderKeysDesktopTest() override { xdotool({"keyup", "super", "alt", "ctrl", "shift"}); }

    bool candidateIs(const QString& text)
    {
        return processEventsUntil([&] { return recorder->candidateLabel()->text() == text; }, std::chrono::seconds(5));
    }

    std::shared_ptr<VirtualMainQueue> queue = std::make_shared<VirtualMainQueue>();
    QWidget parent;
    HotkeyRecorderWindow* recorder = nullptr;
    std::optional<HotkeyBinding> result;
};

TEST_F(RecorderKeysDesktopTest, KeysAreRecordedByTheirPosition)
{
    ASSERT_TRUE(recorder->isActiveWindow());
    xdotool({"key", "ctrl+shift+1"});
    EXPECT_TRUE(candidateIs("Shortcut: ⌃⇧1")) << recorder->candidateLabel()->text().toStdString();
    xdotool({"key", "alt+F5"});
    EXPECT_TRUE(candidateIs("Shortcut: ⌥F5")) << recorder->candidateLabel()->text().toStdString();
}

TEST_F(RecorderKeysDesktopTest, SuperAndAltHeldBecomeAChord)
{
    ASSERT_TRUE(recorder->isActiveWindow());
    xdotool({"keydown", "super"});
    xdotool({"keydown", "alt"});
    ASSERT_TRUE(processEventsUntil([this] { return recorder->heldLabel()->text() == "🌐⌥"; }, std::chrono::seconds(5)))
        << recorder->heldLabel()->text().toStdString();
    queue->advance(0.6);
    EXPECT_EQ(recorder->candidateLabel()->text(), "Shortcut: 🌐⌥");
    xdotool({"keyup", "alt", "super"});
    ASSERT_TRUE(processEventsUntil([this] { return recorder->heldLabel()->text() == "—"; }, std::chrono::seconds(5)));

    recorder->onUse();
    EXPECT_EQ(result, HotkeyBinding::modifierChord({ChordModifier::function, ChordModifier::option}));
}

}  // namespace
}  // namespace korvane
