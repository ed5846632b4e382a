// Stress cases for the main queue, serial executors, task groups and the
// notification centre; this binary also runs under ThreadSanitizer.

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "platform/Executors.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kBound = 120s;

TEST(MainQueueConcurrencyTest, ManyPostingThreadsKeepEachThreadsOrder) {
    auto& queue = tw::MainQueue::shared();
    queue.adoptCurrentThread();
    constexpr int kThreads = 8, kPosts = 2000;
    std::vector<int> next(kThreads, 0);  // main thread only
    std::atomic<bool> outOfOrder{false}, offMain{false};
    std::atomic<int> finishedThreads{0};
    int total = 0;  // main thread only
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPosts; ++i) {
                auto task = [&, t, i] {
                    if (!queue.isMainThread()) offMain = true;
                    if (next[t] != i) outOfOrder = true;
                    next[t] = i + 1;
                    ++total;
                };
                // Every tenth call waits, mixing both kinds of hand-over.
                if (i % 10 == 0)
                    queue.postAndWait(task);
                else
                    queue.post(task);
            }
            ++finishedThreads;
        });
    EXPECT_TRUE(queue.runUntil([&] { return finishedThreads == kThreads && total == kThreads * kPosts; }, kBound));
    for (auto& t : threads) t.join();
    EXPECT_FALSE(outOfOrder);
    EXPECT_FALSE(offMain);
}

TEST(MainQueueConcurrencyTest, MainThreadPostAndWaitInsideATaskDoesNotDeadlock) {
    auto& queue = tw::MainQueue::shared();
    queue.adoptCurrentThread();
    std::atomic<int> done{0};
    std::thread worker([&] {
        queue.postAndWait([&] {
            queue.postAndWait([&] { ++done; });  // on the main thread: inline
        });
        ++done;
    });
    EXPECT_TRUE(queue.runUntil([&] { return done == 2; }, kBound));
    worker.join();
}

TEST(SerialExecutorConcurrencyTest, TasksFromManyThreadsRunOneAtATimeInEachThreadsOrder) {
    tw::SerialExecutor serial(tw::WorkerPool::background());
    constexpr int kThreads = 6, kTasks = 3000;
    std::vector<int> next(kThreads, 0);  // only touched by the executor's tasks
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false}, outOfOrder{false}, notCurrent{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kTasks; ++i) {
                auto task = [&, t, i] {
                    if (++inside != 1) overlapped = true;
                    if (!serial.isCurrent()) notCurrent = true;
                    if (next[t] != i) outOfOrder = true;
                    next[t] = i + 1;
                    --inside;
                };
                if (i % 100 == 99)
                    serial.sync(task);
                else
                    serial.async(task);
            }
        });
    for (auto& t : threads) t.join();
    int seenTotal = 0;
    serial.sync([&] {
        for (int n : next) seenTotal += n;
    });
    EXPECT_EQ(seenTotal, kThreads * kTasks);
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(outOfOrder);
    EXPECT_FALSE(notCurrent);
}

TEST(SerialExecutorConcurrencyTest, ManyExecutorsOnASmallPoolAllDrain) {
    tw::WorkerPool pool(tw::Priority::Default, 3);
    std::atomic<int> ran{0};
    {
        std::vector<std::unique_ptr<tw::SerialExecutor>> executors;
        for (int i = 0; i < 20; ++i) executors.push_back(std::make_unique<tw::SerialExecutor>(pool));
        for (int round = 0; round < 200; ++round)
            for (auto& e : executors) e->async([&] { ++ran; });
    }  // each destructor waits for its own queue
    EXPECT_EQ(ran, 20 * 200);
}

// Each task adds `fanout` children until `depth` is reached: wait() must cover them all.
void spawnTree(tw::TaskGroup& group, tw::WorkerPool& pool, std::atomic<int>& count, int depth, int fanout) {
    ++count;
    if (depth == 0) return;
    for (int i = 0; i < fanout; ++i)
        group.run(pool, [&group, &pool, &count, depth, fanout] { spawnTree(group, pool, count, depth - 1, fanout); });
}

TEST(TaskGroupConcurrencyTest, WaitCoversTasksAddedByTasksOfTheGroup) {
    for (int round = 0; round < 20; ++round) {
        std::atomic<int> count{0};
        tw::TaskGroup group;
        group.run(tw::WorkerPool::background(), [&] { spawnTree(group, tw::WorkerPool::background(), count, 4, 4); });
        group.wait();
        EXPECT_EQ(count, 1 + 4 + 16 + 64 + 256) << "round " << round;
    }
}

TEST(TaskGroupConcurrencyTest, WaitCoversTasksAddedFromOutsideWhileWaiting) {
    std::atomic<int> ran{0};
    tw::TaskGroup group;
    group.enter();  // keeps the group open while the adder works
    std::thread adder([&] {
        for (int i = 0; i < 500; ++i) group.run(tw::WorkerPool::defaultPriority(), [&] { ++ran; });
        group.leave();
    });
    group.wait();
    EXPECT_EQ(ran, 500);
    adder.join();
}

TEST(NotificationCenterConcurrencyTest, AddAndRemoveWhilePostingFromManyThreads) {
    tw::NotificationCenter center;
    std::atomic<bool> stop{false};
    std::atomic<long> delivered{0};
    std::atomic<bool> calledAfterRemoval{false};

    std::vector<std::thread> posters;
    for (int t = 0; t < 3; ++t)
        posters.emplace_back([&] {
            while (!stop) center.post("Tick");
        });
    std::vector<std::thread> churners;
    for (int t = 0; t < 3; ++t)
        churners.emplace_back([&] {
            for (int i = 0; i < 300; ++i) {
                // The handler's state dies right after reset(): reset must not return
                // while another thread is still inside the handler.
                auto removed = std::make_shared<std::atomic<bool>>(false);
                auto payload = std::make_unique<std::atomic<long>>(0);
                std::atomic<long>* raw = payload.get();
                auto observer = center.addObserver("Tick", [&, removed, raw](const tw::Notification&) {
                    if (*removed) calledAfterRemoval = true;
                    ++*raw;
                    ++delivered;
                });
                std::this_thread::yield();
                observer.reset();
                *removed = true;
                payload.reset();
            }
        });
    for (auto& t : churners) t.join();
    stop = true;
    for (auto& t : posters) t.join();
    EXPECT_FALSE(calledAfterRemoval);
    EXPECT_GT(delivered.load(), 0);
}

}  // namespace
