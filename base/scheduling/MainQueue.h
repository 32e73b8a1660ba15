#pragma once

#include "base/scheduling/Task.h"

namespace korvane {

// The serial queue of the main (GUI) thread. Every piece of dictation state lives there; background
// work and platform callbacks come back to it through post().
//
// The application implements it on the Qt event loop; tests use VirtualMainQueue, whose clock only
// moves when the test advances it.
class MainQueue {
public:
    virtual ~MainQueue() = default;

    // Runs task on the main thread as soon as the queue gets to it, after tasks posted earlier.
    virtual void post(Task task) = 0;

    // Runs task on the main thread once `seconds` have passed (0 or less behaves like post()).
    // Tasks due at the same moment run in the order they were posted.
    virtual void postAfter(double seconds, Task task) = 0;

    // True when the caller runs on the main thread.
    virtual bool isMainThread() const = 0;
};

// Stops the process with a message naming `operation` unless the caller is on the main thread.
// Active in release builds too: running main-thread logic elsewhere is a programming error that
// would otherwise corrupt state silently.
void requireMainThread(const MainQueue& queue, const char* operation);

}  // namespace korvane
