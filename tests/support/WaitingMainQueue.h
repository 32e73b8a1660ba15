#pragma once

#include "base/scheduling/MainQueue.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace korvane::testing {

// A main queue for tests against real components: tasks posted from other threads (a capture thread)
// run on the test's thread when it waits for an outcome, and the wait wakes as soon as a task arrives.
// Delays are not needed by the code under test here and run as plain posts.
class WaitingMainQueue final : public MainQueue {
public:
    void post(Task task) override
    {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        posted_.notify_all();
    }

    void postAfter(double, Task task) override { post(std::move(task)); }

    bool isMainThread() const override { return std::this_thread::get_id() == mainThread_; }

    // Runs tasks as they come until `done` holds; false when `timeout` passed first.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            runPending();
            if (done()) {
                return true;
            }
            std::unique_lock lock(mutex_);
            if (!posted_.wait_until(lock, deadline, [this] { return !tasks_.empty(); })) {
                lock.unlock();
                return done();
            }
        }
    }

    void runPending()
    {
        for (;;) {
            Task task;
            {
                std::lock_guard lock(mutex_);
                if (tasks_.empty()) {
                    return;
                }
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

private:
    std::thread::id mainThread_ = std::this_thread::get_id();
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<Task> tasks_;
};

}  // namespace korvane::testing
