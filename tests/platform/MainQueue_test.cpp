#include "platform/MainQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "platform/Log.h"

using namespace std::chrono_literals;

namespace {

class MainQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        queue.adoptCurrentThread();
        queue.runPending();  // nothing left over from an earlier test
    }
    void TearDown() override {
        queue.setDispatcher({});
        queue.runPending();
    }
    tw::MainQueue& queue = tw::MainQueue::shared();
};

TEST_F(MainQueueTest, RunsTasksInOrderIncludingThoseQueuedMeanwhile) {
    std::vector<int> order;
    queue.post([&] {
        order.push_back(1);
        queue.post([&] { order.push_back(3); });
    });
    queue.post([&] { order.push_back(2); });
    EXPECT_EQ(queue.runPending(), 3u);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(queue.runPending(), 0u);
}

TEST_F(MainQueueTest, PostAndWaitOnTheMainThreadRunsInlineWithoutALoop) {
    bool ran = false;
    queue.postAndWait([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(queue.runPending(), 0u);
}

TEST_F(MainQueueTest, PostAndWaitFromAWorkerReturnsAfterTheMainThreadRanIt) {
    std::thread::id ranOn;
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        EXPECT_FALSE(queue.isMainThread());
        queue.postAndWait([&] { ranOn = std::this_thread::get_id(); });
        returned = true;
    });
    EXPECT_TRUE(queue.runUntil([&] { return returned.load(); }, 30s));
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(MainQueueTest, RunUntilNoticesAConditionChangedWithoutAPost) {
    std::atomic<bool> flag{false};
    std::thread worker([&] { flag = true; });
    EXPECT_TRUE(queue.runUntil([&] { return flag.load(); }, 30s));
    worker.join();
}

TEST_F(MainQueueTest, RunUntilAnswersFalseAtTheTimeout) {
    EXPECT_FALSE(queue.runUntil([] { return false; }, 20ms));
}

TEST_F(MainQueueTest, AThrowingTaskIsLoggedAndTheQueueGoesOn) {
    tw::LogCapture capture;
    bool later = false;
    queue.post([] { throw std::runtime_error("boom"); });
    queue.post([&] { later = true; });
    EXPECT_EQ(queue.runPending(), 2u);
    EXPECT_TRUE(later);
    EXPECT_TRUE(capture.contains("boom"));
}

TEST_F(MainQueueTest, RunPendingOffTheMainThreadRunsNothing) {
    tw::LogCapture capture;
    bool ran = false;
    queue.post([&] { ran = true; });
    size_t count = 99;
    std::thread([&] { count = queue.runPending(); }).join();
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(ran);
    EXPECT_EQ(queue.runPending(), 1u);
}

TEST_F(MainQueueTest, DispatcherIsWokenOncePerDrainAndForTasksQueuedBeforeIt) {
    queue.post([] {});
    std::atomic<int> wakes{0};
    queue.setDispatcher([&] { ++wakes; });
    EXPECT_EQ(wakes, 1);  // the task already queued must not wait for the next post
    queue.post([] {});
    queue.post([] {});
    EXPECT_EQ(wakes, 1);  // still not drained: no second wake
    EXPECT_EQ(queue.runPending(), 3u);
    queue.post([] {});
    EXPECT_EQ(wakes, 2);
    queue.setDispatcher({});
    queue.post([] {});
    EXPECT_EQ(wakes, 2);
}

TEST_F(MainQueueTest, DispatcherDrivenLoopServesPostAndWaitFromWorkers) {
    // A stand-in for a front end's event loop: the wake only flags, the loop drains.
    std::atomic<int> wakes{0};
    queue.setDispatcher([&] { ++wakes; });
    std::atomic<int> done{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i)
        workers.emplace_back([&] {
            queue.postAndWait([] {});
            ++done;
        });
    EXPECT_TRUE(queue.runUntil([&] { return done.load() == 4; }, 30s));
    for (auto& w : workers) w.join();
    EXPECT_GE(wakes.load(), 1);
}

TEST_F(MainQueueTest, AdoptCurrentThreadMovesTheMainThread) {
    std::thread other([&] {
        queue.adoptCurrentThread();
        EXPECT_TRUE(queue.isMainThread());
    });
    other.join();
    EXPECT_FALSE(queue.isMainThread());
    queue.adoptCurrentThread();
    EXPECT_TRUE(queue.isMainThread());
}

}  // namespace
