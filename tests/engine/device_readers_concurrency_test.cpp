// A device's turns: never more reads in flight than it takes, and every waiter gets its
// turn in the end.

#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "engine/TWDeviceReaders.h"

namespace {

TEST(DeviceReadersConcurrency, TurnsNeverExceedTheDevicesReaders) {
    for (int readers : {1, 3}) {
        TWDeviceReaders devices(readers);
        std::atomic<int> inFlight{0}, most{0}, done{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < 300; ++i) {
                    // Two devices: each counts its own turns.
                    TWDeviceReaders::Turn turn(devices, makedev(8, 0));
                    const int now = inFlight.fetch_add(1) + 1;
                    int seen = most.load();
                    while (now > seen && !most.compare_exchange_weak(seen, now)) {
                    }
                    if ((i + t) % 7 == 0) std::this_thread::yield();
                    inFlight.fetch_sub(1);
                    TWDeviceReaders::Turn other(devices, makedev(8, 16));
                    done.fetch_add(1);
                }
            });
        for (auto& thread : threads) thread.join();
        EXPECT_LE(most.load(), readers);
        EXPECT_EQ(done.load(), 8 * 300);
    }
}

}  // namespace
