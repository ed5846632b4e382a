#pragma once
// Small mutexes that sleep on their own state word (std::mutex takes 40 bytes).
//
// tw::WordLock<State, Spins>: a waiter first tries `Spins` times, pausing between
// tries, then marks the word contended and sleeps on it until the holder's unlock wakes
// it. Meets the standard's Lockable requirements. A 32-bit word sleeps on the futex
// itself: std::atomic::wait spins again with sched_yield before it sleeps, and under
// contention those yields cost more than the sections they wait for.
//
// tw::AdaptiveMutex is for short sections taken by many threads in turn: the holder is
// most likely running and about to let go, so a brief spin takes the lock without the
// kernel's sleep and wake-up, which would cost more than the section. A thousand tries
// (some microseconds): with 200 a second scan, whose walkers read next to nothing and
// take the index's lock back to back, slept and woke up so often that it was 4 % slower;
// under load the longer spin costs nothing measurable.

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace tw {

template <class State, int Spins>
class WordLock {
public:
    void lock() noexcept {
        for (int spin = 0; spin < Spins; ++spin) {
            if (state_.load(std::memory_order_relaxed) == kFree && try_lock()) return;
            pause();
        }
        State seen = kFree;
        if (state_.compare_exchange_strong(seen, kHeld, std::memory_order_acquire)) return;
        // Contended: mark the word so that the holder's unlock wakes a sleeper.
        if (seen != kContended) seen = state_.exchange(kContended, std::memory_order_acquire);
        while (seen != kFree) {
            sleepWhileContended();
            seen = state_.exchange(kContended, std::memory_order_acquire);
        }
    }
    bool try_lock() noexcept {
        State seen = kFree;
        return state_.compare_exchange_strong(seen, kHeld, std::memory_order_acquire);
    }
    void unlock() noexcept {
        if (state_.exchange(kFree, std::memory_order_release) == kContended) wakeOne();
    }

private:
    static constexpr State kFree = 0, kHeld = 1, kContended = 2;
    static void pause() noexcept {
#if defined(__x86_64__) || defined(__i386__)
        _mm_pause();
#endif
    }
    static constexpr bool kFutexWord = sizeof(State) == 4 && sizeof(std::atomic<State>) == 4;
    void sleepWhileContended() noexcept {
        if constexpr (kFutexWord) {
            // Returns at once when the word is no longer kContended; a spurious return
            // only makes the caller look again.
            syscall(SYS_futex, reinterpret_cast<uint32_t*>(&state_), FUTEX_WAIT_PRIVATE, kContended, nullptr, nullptr,
                    0);
        } else {
            state_.wait(kContended, std::memory_order_relaxed);
        }
    }
    void wakeOne() noexcept {
        if constexpr (kFutexWord) {
            syscall(SYS_futex, reinterpret_cast<uint32_t*>(&state_), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
        } else {
            state_.notify_one();
        }
    }
    std::atomic<State> state_{kFree};
};

using AdaptiveMutex = WordLock<uint32_t, 1000>;

}  // namespace tw
