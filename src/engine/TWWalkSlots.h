#pragma once
// The number of walks that may run on their own worker at once. A walker that meets a
// folder takes a slot only when one is free and otherwise walks the folder itself, so
// tryTake() never waits: it neither sleeps nor yields (std::counting_semaphore's
// try_acquire spins with sched_yield first, once per folder). take() waits for a slot
// (the run, before each root). Safe from any thread.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>

class TWWalkSlots {
public:
    explicit TWWalkSlots(ptrdiff_t slots) : free_(slots) {}
    TWWalkSlots(const TWWalkSlots&) = delete;
    TWWalkSlots& operator=(const TWWalkSlots&) = delete;

    bool tryTake() noexcept {
        ptrdiff_t seen = free_.load(std::memory_order_relaxed);
        while (seen > 0)
            if (free_.compare_exchange_weak(seen, seen - 1, std::memory_order_acquire, std::memory_order_relaxed))
                return true;
        return false;
    }

    void take() {
        while (!tryTake()) {
            std::unique_lock<std::mutex> lock(mutex_);
            freed_.wait(lock, [&] { return free_.load(std::memory_order_relaxed) > 0; });
        }
    }

    void release() {
        free_.fetch_add(1, std::memory_order_release);
        // Taken so that a take() between its test and its sleep cannot miss the wake-up.
        { std::lock_guard<std::mutex> lock(mutex_); }
        freed_.notify_one();
    }

private:
    std::atomic<ptrdiff_t> free_;
    std::mutex mutex_;
    std::condition_variable freed_;
};
