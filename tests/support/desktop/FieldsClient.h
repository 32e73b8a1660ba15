#pragma once

#include "tests/support/process/ChildProcess.h"

#include <functional>
#include <string>
#include <utility>

namespace korvane::testing {

// A window with a single-line field, a multi-line field, a password field and a button, in one of
// the two toolkits whose accessibility Korvane must read (see QtFieldsClient.cpp and
// gtk_fields_client.py). Needs a DesktopSession. Field names: "single", "multi", "password",
// "button".
class FieldsClient {
public:
    enum class Toolkit { qt, gtk };

    // Starts the client and waits until its window is mapped. `objects` extra labels make its
    // accessibility tree large.
    explicit FieldsClient(Toolkit toolkit, int objects = 0);

    Toolkit toolkit() const { return toolkit_; }
    // The class part of its WM_CLASS: "QtFields" or "GtkFields".
    std::string windowClass() const;
    unsigned long window() const { return window_; }
    int pid() const { return process_.pid(); }

    // Activates its window through the window manager and waits until it is the active window.
    void activate();
    // Gives the keyboard focus to one field.
    void focus(const std::string& field);
    // Empties a text field.
    void clear(const std::string& field);
    // The field's contents.
    std::string text(const std::string& field);
    struct Geometry {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
    };
    // The field's rectangle in root window coordinates.
    Geometry geometry(const std::string& field);

    // Runs while waiting for the client's answers: a test that owns the clipboard keeps its event
    // loop going with it, or a client reading the clipboard from it would never answer.
    void setWhileWaiting(std::function<void()> whileWaiting) { whileWaiting_ = std::move(whileWaiting); }

    // Stops (SIGSTOP) or resumes (SIGCONT) the client, to play a hung application.
    void signal(int number) const { process_.signal(number); }
    // Qt only: the client stops itself the next time an accessibility client asks its window for a
    // child, to play an application that hangs half-way through a walk of its tree. signal(SIGCONT)
    // resumes it.
    void stopWhenWalked();

private:
    std::string ask(const std::string& command, const std::string& answerPrefix);

    Toolkit toolkit_;
    ChildProcess process_;
    unsigned long window_ = 0;
    std::function<void()> whileWaiting_;
};

// Runs xdotool with these arguments, bounded to 10 s; throws when it fails.
std::string xdotool(const std::vector<std::string>& arguments);

}  // namespace korvane::testing
