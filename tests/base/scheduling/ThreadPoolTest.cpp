#include "base/scheduling/ThreadPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace korvane {
namespace {

TEST(ThreadPool, RunsEveryTaskOffTheCallingThreadAndFinishesQueuedWorkOnDestruction)
{
    std::atomic<int> done{0};
    std::mutex mutex;
    std::set<std::thread::id> threads;
    {
        ThreadPool pool(3);
        for (int i = 0; i < 200; ++i) {
            pool.post([&] {
                {
                    std::lock_guard lock(mutex);
                    threads.insert(std::this_thread::get_id());
                }
                done.fetch_add(1);
            });
        }
    }
    EXPECT_EQ(done.load(), 200);
    EXPECT_FALSE(threads.contains(std::this_thread::get_id()));
    EXPECT_LE(threads.size(), 3u);
}

TEST(ThreadPool, RunsTasksConcurrently)
{
    // Two tasks that each wait for the other can only both finish on two threads.
    ThreadPool pool(2);
    std::mutex mutex;
    std::condition_variable changed;
    int arrived = 0;
    int finished = 0;
    for (int i = 0; i < 2; ++i) {
        pool.post([&] {
            std::unique_lock lock(mutex);
            ++arrived;
            changed.notify_all();
            changed.wait(lock, [&] { return arrived == 2; });
            ++finished;
            changed.notify_all();
        });
    }
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return finished == 2; }));
}

}  // namespace
}  // namespace korvane
