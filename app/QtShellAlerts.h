#pragma once

#include "base/logging/LogSink.h"
#include "core/shell/ShellAlerts.h"

#include <functional>

namespace korvane {

// The shell's alerts on the Qt desktop: a warning box kept above every other window and given the
// keyboard, since Korvane has no window of its own in front when the shortcut fails. Afterwards the
// settings window, when it is open, is raised again (`afterAlert`). Main thread.
class QtShellAlerts final : public ShellAlerts {
public:
    explicit QtShellAlerts(std::function<void()> afterAlert = {}, LogSink log = defaultLogSink());

    std::size_t runWarning(const ShellAlert& alert) override;

    // The desktop's own accessibility settings (by XDG_CURRENT_DESKTOP, started detached), else
    // the README's section on accessibility and X11.
    void openAccessibilitySettings() override;

private:
    std::function<void()> afterAlert_;
    LogSink log_;
};

}  // namespace korvane
