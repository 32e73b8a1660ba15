#include "base/scheduling/VirtualMainQueue.h"
#include "base/scheduling/WeakTask.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace korvane {
namespace {

TEST(VirtualMainQueue, RunsDueTasksInDueTimeThenPostingOrder)
{
    VirtualMainQueue queue;
    std::vector<std::string> order;
    queue.postAfter(0.4, [&] { order.push_back("0.4"); });
    queue.postAfter(0.05, [&] { order.push_back("0.05 first"); });
    queue.post([&] { order.push_back("now"); });
    queue.postAfter(0.05, [&] { order.push_back("0.05 second"); });

    EXPECT_EQ(queue.runUntilIdle(), 1u);
    EXPECT_EQ(order, (std::vector<std::string>{"now"}));

    EXPECT_EQ(queue.advance(0.1), 2u);
    EXPECT_EQ(order, (std::vector<std::string>{"now", "0.05 first", "0.05 second"}));
    EXPECT_DOUBLE_EQ(queue.now(), 0.1);

    EXPECT_EQ(queue.advance(0.29), 0u);
    EXPECT_EQ(queue.advance(0.02), 1u);
    EXPECT_EQ(queue.pendingCount(), 0u);
}

TEST(VirtualMainQueue, TasksPostedWhileAdvancingRunWhenTheirTimeComes)
{
    VirtualMainQueue queue;
    std::vector<double> ranAt;
    queue.postAfter(1.0, [&] {
        ranAt.push_back(queue.now());
        queue.postAfter(1.0, [&] { ranAt.push_back(queue.now()); });
        queue.post([&] { ranAt.push_back(queue.now()); });
    });
    queue.advance(120.0);
    EXPECT_EQ(ranAt, (std::vector<double>{1.0, 1.0, 2.0}));
    EXPECT_DOUBLE_EQ(queue.now(), 120.0);
}

TEST(VirtualMainQueue, KnowsItsMainThreadAndAcceptsPostsFromOthers)
{
    VirtualMainQueue queue;
    EXPECT_TRUE(queue.isMainThread());
    bool otherIsMain = true;
    std::thread other([&] {
        otherIsMain = queue.isMainThread();
        queue.post([] {});
    });
    other.join();
    EXPECT_FALSE(otherIsMain);
    EXPECT_EQ(queue.runUntilIdle(), 1u);
}

TEST(WeakTask, DoesNothingOnceItsOwnerIsGone)
{
    VirtualMainQueue queue;
    struct Owner {
        int calls = 0;
    };
    auto owner = std::make_shared<Owner>();
    auto* raw = owner.get();
    queue.postAfter(0.15, weakTask(owner, [](Owner& o) { ++o.calls; }));
    queue.advance(0.2);
    EXPECT_EQ(raw->calls, 1);

    int callsAfterRelease = 0;
    queue.postAfter(0.15, weakTask(owner, [&](Owner&) { ++callsAfterRelease; }));
    owner.reset();
    queue.advance(0.2);
    EXPECT_EQ(callsAfterRelease, 0);
}

TEST(WeakCallback, ForwardsArgumentsWhileTheOwnerLives)
{
    struct Owner {
        int sum = 0;
    };
    auto owner = std::make_shared<Owner>();
    auto callback = weakCallback(owner, [](Owner& o, int value) { o.sum += value; });
    callback(3);
    callback(4);
    EXPECT_EQ(owner->sum, 7);
    owner.reset();
    callback(5);  // must not touch freed memory (AddressSanitizer would report it)
}

TEST(MainThreadCheckDeathTest, AbortsWithAClearMessageOffTheMainThread)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    VirtualMainQueue queue;
    requireMainThread(queue, "test operation");  // fine on the main thread
    EXPECT_DEATH(
        {
            std::thread other([&] { requireMainThread(queue, "DictationController::start"); });
            other.join();
        },
        "DictationController::start must run on the main thread");
}

TEST(ManualBackgroundQueue, RunsOnlyWhenTold)
{
    ManualBackgroundQueue background;
    std::vector<int> order;
    background.post([&] {
        order.push_back(1);
        background.post([&] { order.push_back(3); });
    });
    background.post([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    EXPECT_TRUE(background.runOne());
    EXPECT_EQ(order, (std::vector<int>{1}));
    EXPECT_EQ(background.runAll(), 2u);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(background.runOne());
}

}  // namespace
}  // namespace korvane
