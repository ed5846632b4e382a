// The one-word lock of the file record under contention.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "TWFileUtility.h"

namespace {

TEST(RecordLockConcurrency, ContendedHoldersNeverOverlapAndNoneIsLost) {
    TWRecordLock lock;
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

}  // namespace
