#pragma once

#include <string>

namespace korvane::testing {

// Another X client holding Control+Shift+Space (Korvane's default shortcut) on the root window of
// $DISPLAY for as long as the object lives. Kept apart from the tests because Xlib's macros (None,
// Bool, Status) collide with GoogleTest's names.
class ForeignKeyGrab {
public:
    ForeignKeyGrab();
    ~ForeignKeyGrab();

    ForeignKeyGrab(const ForeignKeyGrab&) = delete;
    ForeignKeyGrab& operator=(const ForeignKeyGrab&) = delete;

private:
    void* display_ = nullptr;
};

}  // namespace korvane::testing
