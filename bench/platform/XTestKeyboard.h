#pragma once

#include <string>

struct _XDisplay;

namespace korvane::bench {

// A second X client that presses keys through XTest, as a person at the keyboard would; one per
// thread. Keys are named by keysym ("Control_L", "space", "a").
class XTestKeyboard {
public:
    XTestKeyboard();  // on $DISPLAY; throws when no server answers
    ~XTestKeyboard();

    XTestKeyboard(const XTestKeyboard&) = delete;
    XTestKeyboard& operator=(const XTestKeyboard&) = delete;

    // Sends the event and flushes it to the server.
    void press(const std::string& keysym);
    void release(const std::string& keysym);

private:
    void send(const std::string& keysym, bool down);

    _XDisplay* display_;
};

}  // namespace korvane::bench
