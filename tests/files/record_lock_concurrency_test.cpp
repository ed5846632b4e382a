// The small locks of the record and of the deciding index under contention.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "files/TWFileUtility.h"
#include "platform/AdaptiveMutex.h"

namespace {

template <class Lock>
void expectExclusiveAndNoneLost() {
    Lock lock;
    long counter = 0;
    int inside = 0;
    bool overlapped = false;
    constexpr int kThreads = 4, kRounds = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                std::lock_guard held(lock);
                if (++inside != 1) overlapped = true;
                ++counter;
                if (i % 64 == 0) std::this_thread::yield();  // let others pile up behind the holder
                --inside;
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
}

TEST(RecordLockConcurrency, ContendedHoldersNeverOverlapAndNoneIsLost) {
    expectExclusiveAndNoneLost<TWRecordLock>();
}

// Spinning waiters and sleeping ones mixed: the yield lets the spin run out.
TEST(AdaptiveMutexConcurrency, ContendedHoldersNeverOverlapAndNoneIsLost) {
    expectExclusiveAndNoneLost<tw::AdaptiveMutex>();
}

}  // namespace
