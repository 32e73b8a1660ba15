// SPDX-License-Identifier: MIT
// The shortcut recorder on a real X server, keys typed through XTest: keys are recorded by their
// position (Shift+1 is the 1 key, not "!"), a modifier key by what it is whatever is held before
// it (Shift+Alt_L is Meta_L on a US keymap), lock keys change nothing, and two modifiers held still
// are checked against the server's own modifier state when the 0.6 s wait ends.
#include "base/scheduling/VirtualMainQueue.h"
#include "hotkeys/HotkeyValidationMessages.h"
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
#include <string_view>
#include <vector>

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
    }

    ~RecorderKeysDesktopTest() override { releaseModifiers(); }

    static void releaseModifiers() { xdotool({"keyup", "super", "alt", "ctrl", "shift"}); }

    // A fresh recorder in front, in place of the last one.
    void open()
    {
        recorder.reset();
        result.reset();
        recorder = std::make_unique<HotkeyRecorderWindow>(queue, &parent);
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

    bool shows(const QString& held, const QString& candidate)
    {
        return processEventsUntil(
            [&] { return recorder->heldLabel()->text() == held && recorder->candidateLabel()->text() == candidate; },
            std::chrono::seconds(5));
    }

    std::string shown() const
    {
        return "held \"" + recorder->heldLabel()->text().toStdString() + "\", candidate \"" +
               recorder->candidateLabel()->text().toStdString() + "\", message \"" +
               recorder->messageLabel()->text().toStdString() + "\"";
    }

    std::shared_ptr<VirtualMainQueue> queue = std::make_shared<VirtualMainQueue>();
    QWidget parent;
    std::unique_ptr<HotkeyRecorderWindow> recorder;
    std::optional<HotkeyBinding> result;
};

TEST_F(RecorderKeysDesktopTest, TypedKeysGiveTheCandidate)
{
    struct Case {
        const char* what;
        std::vector<std::vector<std::string>> typed;  // xdotool calls, in order
        // What the recorder shows after the last call; the held label changes with it, so once it
        // shows every key before it has been handled.
        QString held;
        QString candidate;
    };
    const std::vector<Case> cases{
        {"Shift+1 is the 1 key", {{"key", "ctrl+shift+1"}}, "—", "Shortcut: Ctrl+Shift+1"},
        {"a function key", {{"key", "alt+F5"}}, "—", "Shortcut: Alt+F5"},
        {"a key outside the position table, by its name", {{"key", "ctrl+Print"}}, "—", "Shortcut: Ctrl+Print"},
        {"Alt pressed after Shift",
         {{"keydown", "shift"}, {"keydown", "alt"}, {"key", "k"}},
         "Alt+Shift",
         "Shortcut: Alt+Shift+K"},
        {"lock keys, alone and with Control",
         {{"key", "ctrl+shift+1"},
          {"key", "Caps_Lock"},
          {"key", "Caps_Lock"},
          {"keydown", "ctrl"},
          {"key", "Num_Lock"},
          {"key", "Num_Lock"},
          {"key", "Scroll_Lock"},
          {"key", "Scroll_Lock"},
          {"keydown", "alt"}},
         "Ctrl+Alt",
         "Shortcut: Ctrl+Shift+1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        open();
        ASSERT_TRUE(recorder->isActiveWindow());
        for (const std::vector<std::string>& call : c.typed) {
            xdotool(call);
        }
        EXPECT_TRUE(shows(c.held, c.candidate)) << shown();
        EXPECT_EQ(recorder->messageLabel()->text(), "") << shown();
        releaseModifiers();
    }
}

TEST_F(RecorderKeysDesktopTest, TwoModifiersHeldStillBecomeAChordOnlyWithSuper)
{
    struct Case {
        const char* what;
        std::vector<std::string> held;  // pressed in this order and held
        QString heldLabel;
        QString candidate;  // after the 0.6 s wait
        std::string_view message;
        std::string_view messageOnceLetGo;
        std::optional<HotkeyBinding> used;  // after "Use This", once the keys are let go
    };
    const std::vector<Case> cases{
        {"Super and Alt",
         {"super", "alt"},
         "Alt+Super",
         "Shortcut: Alt+Super",
         kFunctionKeyNoteMessage,
         kFunctionKeyNoteMessage,
         HotkeyBinding::modifierChord({ChordModifier::function, ChordModifier::option})},
        // Not said while the keys are held: the user may still be on the way to a letter.
        {"Shift, then Alt", {"shift", "alt"}, "Alt+Shift", "", "", kChordNeedsFunctionMessage, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        open();
        ASSERT_TRUE(recorder->isActiveWindow());
        for (const std::string& key : c.held) {
            xdotool({"keydown", key});
        }
        ASSERT_TRUE(shows(c.heldLabel, "")) << shown();
        queue->advance(0.6);
        EXPECT_EQ(recorder->candidateLabel()->text(), c.candidate);
        EXPECT_EQ(recorder->messageLabel()->text().toStdString(), c.message);
        releaseModifiers();
        ASSERT_TRUE(shows("—", c.candidate)) << shown();
        EXPECT_EQ(recorder->messageLabel()->text().toStdString(), c.messageOnceLetGo);

        recorder->onUse();
        EXPECT_EQ(result, c.used);
    }
}

}  // namespace
}  // namespace korvane
