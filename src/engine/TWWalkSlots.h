#pragma once
// The number of walks that may run on their own worker at once. A walker that meets a
// folder takes a slot only when one is free and otherwise walks the folder itself, so
// tryTake() never waits: it neither sleeps nor yields (std::counting_semaphore's
// try_acquire spins with sched_yield first, once per folder). take() waits for a slot
// (the run, before each root). Safe from any thread.
//
// Some slots may be held in reserve: a walk whose files are in memory gains nothing
// from more walkers than processors on an idle machine (they only take turns on them),
// while a walk that waits, for the disk or for processors that other programs share, goes
// faster with more. openReserve() adds them, once; closeReserve() takes them back between
// walks, when every slot is free.

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

class TWWalkSlots {
public:
    explicit TWWalkSlots(ptrdiff_t count, ptrdiff_t reserve = 0) : free_(count), reserve_(reserve) {}
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

    void release() { give(1); }

    bool isReserveOpen() const noexcept { return reserveOpen_.load(std::memory_order_relaxed); }

    // Adds the reserved slots; false when they were added already (or there are none).
    bool openReserve() {
        if (reserve_ == 0 || reserveOpen_.exchange(true)) return false;
        give(reserve_);
        return true;
    }

    // Holds the reserve back again. Only while no slot is taken: the free count would
    // otherwise fall below zero for a while, which is harmless but not what is meant.
    void closeReserve() {
        if (reserveOpen_.exchange(false)) free_.fetch_sub(reserve_, std::memory_order_relaxed);
    }

private:
    void give(ptrdiff_t count) {
        free_.fetch_add(count, std::memory_order_release);
        // Taken so that a take() between its test and its sleep cannot miss the wake-up.
        { std::lock_guard<std::mutex> lock(mutex_); }
        if (count == 1) {
            freed_.notify_one();
        } else {
            freed_.notify_all();
        }
    }

    std::atomic<ptrdiff_t> free_;
    const ptrdiff_t reserve_;
    std::atomic<bool> reserveOpen_{false};
    std::mutex mutex_;
    std::condition_variable freed_;
};

// Tells from the process's use of the processors and its reads from storage whether its
// walk waits: for the disk, once it has read a little from storage (what the page cache
// held is not counted), or for other busy programs, when over a span it had less than a
// share of the processors' time that its walkers alone would take. Not safe to share.
class TWWalkWaitWatch {
public:
    struct Sample {
        std::chrono::steady_clock::time_point at;
        std::chrono::microseconds cpu{0};  // the process's, user and system
        long blocksRead = 0;               // the process's reads from storage, in 512-byte blocks
    };
    static constexpr long kDiskReadBlocks = 1024;
    static constexpr double kLowShare = 0.6;
    static constexpr std::chrono::milliseconds kSpan{20};

    TWWalkWaitWatch() = default;
    TWWalkWaitWatch(unsigned processors, const Sample& start)
        : processors_(processors == 0 ? 1 : processors), start_(start), span_(start) {}

    // The process now; zero values when it cannot be asked.
    static Sample now() {
        Sample sample;
        sample.at = std::chrono::steady_clock::now();
        struct rusage usage {};
        if (::getrusage(RUSAGE_SELF, &usage) != 0) return sample;
        sample.cpu = std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
        sample.blocksRead = usage.ru_inblock;
        return sample;
    }

    // Whether the walk waits, by what the process used and read since the start. A span
    // shorter than kSpan is not judged: its processor time is too coarse.
    bool waits(const Sample& sample) {
        if (sample.blocksRead - start_.blocksRead >= kDiskReadBlocks) return true;
        const auto elapsed = sample.at - span_.at;
        if (elapsed < kSpan) return false;
        const double share = std::chrono::duration<double>(sample.cpu - span_.cpu).count() /
                             std::chrono::duration<double>(elapsed).count() / processors_;
        span_ = sample;
        return share < kLowShare;
    }

private:
    unsigned processors_ = 1;
    Sample start_;
    Sample span_;  // the start of the span now looked at
};
