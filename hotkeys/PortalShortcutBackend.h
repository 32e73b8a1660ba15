#pragma once

#include "base/logging/LogSink.h"
#include "base/scheduling/MainQueue.h"
#include "hotkeys/GlobalShortcutsPortal.h"
#include "hotkeys/HotkeyBackend.h"

#include <cstdint>
#include <memory>
#include <string>

namespace korvane {

// The global shortcut as a desktop portal binds it (Wayland sessions): Korvane asks for its one
// shortcut, "dictation", with the stored keys as the preferred trigger; the desktop decides which
// keys it gets (it may ask the user) and reports presses and releases. start() returns at once;
// the desktop's answer, a later change of keys, or the end of the session reach the settled
// observer. Main thread.
class PortalShortcutBackend final : public HotkeyBackend, public std::enable_shared_from_this<PortalShortcutBackend> {
    struct Passkey {};

public:
    static constexpr const char* kShortcutId = "dictation";
    static constexpr const char* kDescription = "Start or stop dictation";
    // How long the desktop may take to answer a bind. It may be showing the user a dialog, so this
    // is generous; an answer that comes later still counts.
    static constexpr double kAnswerLimit = 60.0;

    struct Services {
        std::shared_ptr<GlobalShortcutsPortal> portal;
        std::shared_ptr<MainQueue> mainQueue;
        LogSink log = defaultLogSink();
    };

    // `preferredTrigger` in the XDG shortcuts syntax ("CTRL+SHIFT+space"); empty leaves the choice
    // to the desktop.
    static std::shared_ptr<PortalShortcutBackend> create(std::string preferredTrigger, HotkeyCallback callback,
                                                         Services services);
    PortalShortcutBackend(Passkey, std::string preferredTrigger, HotkeyCallback callback, Services services);
    ~PortalShortcutBackend() override;

    bool start() override;
    void stop() override;
    void setSettledObserver(SettledObserver observer) override { observer_ = std::move(observer); }

private:
    void answered(std::uint64_t run, const GlobalShortcutsPortal::Answer& answer);
    void answerOverdue(std::uint64_t run);
    void activated(const std::string& id, bool pressed);
    void changed(const std::vector<GlobalShortcutsPortal::Shortcut>& shortcuts);
    void closed();
    void settle(bool active, const std::string& trigger, const std::string& reason);

    std::string preferredTrigger_;
    HotkeyCallback callback_;
    Services services_;
    SettledObserver observer_;
    // Each start is a run; answers and timeouts of an earlier run are ignored.
    std::uint64_t run_ = 0;
    bool started_ = false;
    bool awaitingAnswer_ = false;
    bool down_ = false;
    std::uint64_t subscription_ = 0;
};

}  // namespace korvane
