#pragma once

#include "tests/support/TemporaryDirectory.h"
#include "tests/support/process/ChildProcess.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace korvane::testing {

// Chromium (Debian's package) showing one page with a text area in a real window on the test
// desktop, with a profile of its own. The text area holds the given text, has the focus and the
// caret at its end; the page shows the text area's contents in its title, which text() reads.
// Chromium decides when it starts whether to join the accessibility bus, so a test switches the
// bus on first. Needs a DesktopSession.
class ChromiumClient {
public:
    explicit ChromiumClient(const std::string& text);
    ~ChromiumClient();

    ChromiumClient(const ChromiumClient&) = delete;
    ChromiumClient& operator=(const ChromiumClient&) = delete;

    // The class part of its windows' WM_CLASS.
    std::string windowClass() const { return "Chromium"; }
    unsigned long window() const { return window_; }

    // Activates its window through the window manager and waits until it is the active window.
    void activate();
    // The text area's contents (as the window title shows them).
    std::string text();

    // Runs while waiting for the title: the browser may be reading the clipboard from the test,
    // which then has to keep its event loop going to answer.
    void setWhileWaiting(std::function<void()> whileWaiting) { whileWaiting_ = std::move(whileWaiting); }

private:
    TemporaryDirectory files_{"korvane-chromium"};
    std::unique_ptr<ChildProcess> process_;
    unsigned long window_ = 0;
    std::function<void()> whileWaiting_;
};

}  // namespace korvane::testing
