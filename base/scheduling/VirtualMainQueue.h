#pragma once

#include "base/scheduling/BackgroundQueue.h"
#include "base/scheduling/MainQueue.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace korvane {

// A main queue on virtual time, for tests: nothing runs until the test drains or advances it, and a
// delay of two minutes costs no real time. The thread that constructs it is the "main thread".
// post() and postAfter() may be called from any thread; running tasks happens on the main thread.
class VirtualMainQueue final : public MainQueue {
public:
    VirtualMainQueue();

    void post(Task task) override;
    void postAfter(double seconds, Task task) override;
    bool isMainThread() const override;

    // Seconds of virtual time since construction.
    double now() const;

    // Runs every task that is due now, including tasks those tasks post for now. Returns how many ran.
    std::size_t runUntilIdle();

    // Moves the clock forward by `seconds`, running each task when the clock reaches its due time,
    // in due-time order (posting order among equals). Returns how many ran.
    std::size_t advance(double seconds);

    // Tasks waiting, due or not.
    std::size_t pendingCount() const;

private:
    struct Entry {
        double due;
        std::uint64_t sequence;
        Task task;
    };

    // Removes and returns the earliest task due at or before `limit`; false when there is none.
    bool takeNextDue(double limit, Task& task);

    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    std::uint64_t nextSequence_ = 0;
    double now_ = 0.0;
    std::thread::id mainThread_;
};

// A background queue that runs nothing by itself: the test decides when queued work happens,
// which makes interleavings such as "a load finishes during a recording" reproducible.
class ManualBackgroundQueue final : public BackgroundQueue {
public:
    void post(Task task) override;

    // Runs queued tasks in order until none is left (tasks queued meanwhile run too).
    std::size_t runAll();

    // Runs only the oldest queued task; false when there was none.
    bool runOne();

    std::size_t pendingCount() const;

private:
    mutable std::mutex mutex_;
    std::deque<Task> tasks_;
};

}  // namespace korvane
