#include "Executors.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "Log.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kBound = 30s;

// Waits until pred() holds; false after the bound.
template <typename Pred>
bool eventually(Pred pred) {
    const auto deadline = std::chrono::steady_clock::now() + kBound;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);  // a polling interval, not a wait for the result
    }
    return true;
}

// A gate the tasks of a test block on until the test opens it.
struct Gate {
    std::mutex m;
    std::condition_variable cv;
    bool open = false;
    int arrived = 0;

    // Counts the caller in and waits for the gate to open.
    void pass() {
        std::unique_lock<std::mutex> lock(m);
        ++arrived;
        cv.notify_all();
        cv.wait_for(lock, kBound, [&] { return open; });
    }
    bool waitForArrivals(int n) {
        std::unique_lock<std::mutex> lock(m);
        return cv.wait_for(lock, kBound, [&] { return arrived >= n; });
    }
    void release() {
        std::lock_guard<std::mutex> lock(m);
        open = true;
        cv.notify_all();
    }
};

int niceOfThisThread() {
    errno = 0;
    return getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
}

// The I/O priority (class << 13 | level) of the calling thread, or with `who` of that
// thread (the pid names the main thread).
long ioprioOf(pid_t who = 0) {
    return syscall(SYS_ioprio_get, 1, static_cast<int>(who));
}

constexpr long kIoClassIdle = 3;
constexpr long kLowestBestEffort = (2L << 13) | 7;

TEST(WorkerPoolTest, GrowsWhileEveryWorkerIsBlocked) {
    tw::WorkerPool pool(tw::Priority::Default, 8);
    Gate gate;
    for (int i = 0; i < 8; ++i) pool.submit([&] { gate.pass(); });
    // All eight are blocked at once: only possible if the pool grew to eight.
    EXPECT_TRUE(gate.waitForArrivals(8));
    EXPECT_EQ(pool.threadCount(), 8u);
    gate.release();
}

TEST(WorkerPoolTest, NeverRunsMoreThanMaxThreadsAndFinishesEverything) {
    std::atomic<int> running{0}, peak{0}, done{0};
    {
        tw::WorkerPool pool(tw::Priority::Default, 2);
        for (int i = 0; i < 50; ++i)
            pool.submit([&] {
                int now = ++running;
                int seen = peak.load();
                while (now > seen && !peak.compare_exchange_weak(seen, now)) {
                }
                std::this_thread::yield();
                --running;
                ++done;
            });
    }  // the destructor waits for the queue
    EXPECT_EQ(done, 50);
    EXPECT_LE(peak, 2);
}

TEST(WorkerPoolTest, IdleWorkersGoAway) {
    tw::WorkerPool pool(tw::Priority::Default, 4, 20ms);
    std::atomic<bool> ran{false};
    pool.submit([&] { ran = true; });
    EXPECT_TRUE(eventually([&] { return ran.load(); }));
    EXPECT_TRUE(eventually([&] { return pool.threadCount() == 0; }));
    // And the pool still works afterwards.
    std::atomic<bool> again{false};
    pool.submit([&] { again = true; });
    EXPECT_TRUE(eventually([&] { return again.load(); }));
}

TEST(WorkerPoolTest, AThrowingTaskIsLoggedAndTheWorkerLives) {
    tw::LogCapture capture;
    std::atomic<bool> after{false};
    {
        tw::WorkerPool pool(tw::Priority::Default, 1);
        pool.submit([] { throw std::runtime_error("task failed"); });
        pool.submit([&] { after = true; });
    }
    EXPECT_TRUE(after);
    EXPECT_TRUE(capture.contains("task failed"));
}

TEST(WorkerPoolTest, BackgroundWorkersAreNicedAndLowestBestEffortForIONeverIdle) {
    const int base = niceOfThisThread();
    const long processIoprio = ioprioOf(getpid());
    std::atomic<int> nice{-100}, defaultNice{-100};
    std::atomic<long> ioprio{-1}, defaultIoprio{-1};
    tw::WorkerPool background(tw::Priority::Background, 2);
    tw::WorkerPool normal(tw::Priority::Default, 2);
    std::atomic<bool> done{false};
    background.submit([&] {
        nice = niceOfThisThread();
        ioprio = ioprioOf();
        // A default worker made from here inherits our values and must shed them.
        normal.submit([&] {
            defaultNice = niceOfThisThread();
            defaultIoprio = ioprioOf();
            done = true;
        });
    });
    ASSERT_TRUE(eventually([&] { return done.load(); }));
    EXPECT_EQ(nice, std::max(base, 10));
    EXPECT_EQ(ioprio, kLowestBestEffort);
    EXPECT_NE(ioprio >> 13, kIoClassIdle);
    EXPECT_EQ(defaultNice, base);  // root may lower niceness again
    EXPECT_EQ(defaultIoprio, processIoprio);
}

TEST(WorkerPoolTest, ScansRunAtTheProcessPriorityUnlessAskedForTheBackground) {
    const int base = niceOfThisThread();
    const long processIoprio = ioprioOf(getpid());
    auto valuesIn = [](tw::WorkerPool& pool) {
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
        std::pair<int, long> values{-100, -1};
        pool.submit([&] {
            std::pair<int, long> seen{niceOfThisThread(), ioprioOf()};
            std::lock_guard<std::mutex> lock(m);
            values = seen;
            done = true;
            cv.notify_all();
        });
        std::unique_lock<std::mutex> lock(m);
        EXPECT_TRUE(cv.wait_for(lock, kBound, [&] { return done; }));
        return values;
    };
    const auto normal = valuesIn(tw::WorkerPool::forScans(false));
    EXPECT_EQ(normal.first, base);
    EXPECT_EQ(normal.second, processIoprio);
    const auto background = valuesIn(tw::WorkerPool::forScans(true));
    EXPECT_EQ(background.first, std::max(base, 10));
    EXPECT_EQ(background.second, kLowestBestEffort);
}

TEST(SerialExecutorTest, KnowsWhenItIsCurrentAndSyncInsideATaskRunsAtOnce) {
    tw::SerialExecutor serial;
    EXPECT_FALSE(serial.isCurrent());
    std::vector<int> order;
    bool insideCurrent = false;
    serial.sync([&] {
        insideCurrent = serial.isCurrent();
        order.push_back(1);
        serial.sync([&] { order.push_back(2); });  // would wait for itself if queued
        order.push_back(3);
    });
    EXPECT_TRUE(insideCurrent);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(SerialExecutorTest, SyncSeesEveryEarlierAsyncDone) {
    tw::SerialExecutor serial;
    int value = 0;  // only touched on the executor
    for (int i = 0; i < 100; ++i) serial.async([&value, i] { value = value * 31 % 1000003 + i; });
    int seen = -1;
    serial.sync([&] { seen = value; });
    int expected = 0;
    for (int i = 0; i < 100; ++i) expected = expected * 31 % 1000003 + i;
    EXPECT_EQ(seen, expected);
}

TEST(SerialExecutorTest, DestructorWaitsForQueuedTasks) {
    std::atomic<int> ran{0};
    {
        tw::SerialExecutor serial;
        for (int i = 0; i < 20; ++i) serial.async([&] { ++ran; });
    }
    EXPECT_EQ(ran, 20);
}

TEST(TaskGroupTest, WaitCoversManualUnitsAndSurvivesThrowingTasks) {
    tw::LogCapture capture;
    tw::TaskGroup group;
    group.wait();  // nothing pending: returns at once
    std::atomic<bool> manualDone{false};
    group.enter();
    std::thread manual([&] {
        manualDone = true;
        group.leave();
    });
    std::atomic<int> ran{0};
    group.run(tw::WorkerPool::defaultPriority(), [] { throw std::runtime_error("group task failed"); });
    group.run(tw::WorkerPool::defaultPriority(), [&] { ++ran; });
    group.wait();
    EXPECT_TRUE(manualDone);
    EXPECT_EQ(ran, 1);
    manual.join();
}

}  // namespace
