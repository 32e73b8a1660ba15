#include "base/scheduling/VirtualMainQueue.h"

#include <algorithm>
#include <utility>

namespace korvane {

VirtualMainQueue::VirtualMainQueue() : mainThread_(std::this_thread::get_id())
{
}

void VirtualMainQueue::post(Task task)
{
    postAfter(0.0, std::move(task));
}

void VirtualMainQueue::postAfter(double seconds, Task task)
{
    std::lock_guard lock(mutex_);
    const double delay = seconds > 0.0 ? seconds : 0.0;
    entries_.push_back(Entry{now_ + delay, nextSequence_++, std::move(task)});
}

bool VirtualMainQueue::isMainThread() const
{
    return std::this_thread::get_id() == mainThread_;
}

double VirtualMainQueue::now() const
{
    std::lock_guard lock(mutex_);
    return now_;
}

bool VirtualMainQueue::takeNextDue(double limit, Task& task)
{
    std::lock_guard lock(mutex_);
    auto earliest = std::min_element(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
        return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
    });
    if (earliest == entries_.end() || earliest->due > limit) {
        return false;
    }
    now_ = std::max(now_, earliest->due);
    task = std::move(earliest->task);
    entries_.erase(earliest);
    return true;
}

std::size_t VirtualMainQueue::runUntilIdle()
{
    return advance(0.0);
}

std::size_t VirtualMainQueue::advance(double seconds)
{
    double target = 0.0;
    {
        std::lock_guard lock(mutex_);
        target = now_ + std::max(seconds, 0.0);
    }
    std::size_t ran = 0;
    Task task;
    while (takeNextDue(target, task)) {
        task();
        task = nullptr;
        ++ran;
    }
    std::lock_guard lock(mutex_);
    now_ = target;
    return ran;
}

std::size_t VirtualMainQueue::pendingCount() const
{
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void ManualBackgroundQueue::post(Task task)
{
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
}

bool ManualBackgroundQueue::runOne()
{
    Task task;
    {
        std::lock_guard lock(mutex_);
        if (tasks_.empty()) {
            return false;
        }
        task = std::move(tasks_.front());
        tasks_.pop_front();
    }
    task();
    return true;
}

std::size_t ManualBackgroundQueue::runAll()
{
    std::size_t ran = 0;
    while (runOne()) {
        ++ran;
    }
    return ran;
}

std::size_t ManualBackgroundQueue::pendingCount() const
{
    std::lock_guard lock(mutex_);
    return tasks_.size();
}

}  // namespace korvane
