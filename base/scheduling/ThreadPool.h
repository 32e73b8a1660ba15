#pragma once

#include "base/scheduling/BackgroundQueue.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace korvane {

// A small fixed pool of worker threads. The destructor lets queued tasks finish, then joins.
class ThreadPool final : public BackgroundQueue {
public:
    explicit ThreadPool(std::size_t threadCount);
    ~ThreadPool() override;

    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    void post(Task task) override;

private:
    void workerLoop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace korvane
