#pragma once
// Small mutexes that sleep on their own state word (std::mutex takes 40 bytes).
//
// tw::WordLock<State, Spins>: a waiter first tries `Spins` times, pausing between
// tries, then marks the word contended and sleeps on it until the holder's unlock wakes
// it. Meets the standard's Lockable requirements.
//
// tw::AdaptiveMutex is for short sections taken by many threads in turn: the holder is
// most likely running and about to let go, so a brief spin takes the lock without the
// kernel's sleep and wake-up, which would cost more than the section.

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
            state_.wait(kContended, std::memory_order_relaxed);
            seen = state_.exchange(kContended, std::memory_order_acquire);
        }
    }
    bool try_lock() noexcept {
        State seen = kFree;
        return state_.compare_exchange_strong(seen, kHeld, std::memory_order_acquire);
    }
    void unlock() noexcept {
        if (state_.exchange(kFree, std::memory_order_release) == kContended) state_.notify_one();
    }

private:
    static constexpr State kFree = 0, kHeld = 1, kContended = 2;
    static void pause() noexcept {
#if defined(__x86_64__) || defined(__i386__)
        _mm_pause();
#endif
    }
    std::atomic<State> state_{kFree};
};

using AdaptiveMutex = WordLock<uint32_t, 200>;

}  // namespace tw
