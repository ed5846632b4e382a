#pragma once
// A mutex for short sections taken by many threads in turn: a thread that finds it
// held spins briefly before it sleeps, since the holder is most likely running and
// about to let go; sleeping and waking through the kernel would cost more than the
// section. Meets the standard's Lockable requirements.

#include <atomic>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace tw {

class AdaptiveMutex {
public:
    void lock() noexcept {
        for (int spin = 0; spin < kSpins; ++spin) {
            if (state_.load(std::memory_order_relaxed) == kFree && try_lock()) return;
            pause();
        }
        uint32_t seen = kFree;
        if (state_.compare_exchange_strong(seen, kHeld, std::memory_order_acquire)) return;
        // Contended: mark the word so that the holder's unlock wakes a sleeper.
        if (seen != kContended) seen = state_.exchange(kContended, std::memory_order_acquire);
        while (seen != kFree) {
            state_.wait(kContended, std::memory_order_relaxed);
            seen = state_.exchange(kContended, std::memory_order_acquire);
        }
    }
    bool try_lock() noexcept {
        uint32_t seen = kFree;
        return state_.compare_exchange_strong(seen, kHeld, std::memory_order_acquire);
    }
    void unlock() noexcept {
        if (state_.exchange(kFree, std::memory_order_release) == kContended) state_.notify_one();
    }

private:
    static constexpr int kSpins = 200;
    static constexpr uint32_t kFree = 0, kHeld = 1, kContended = 2;
    static void pause() noexcept {
#if defined(__x86_64__) || defined(__i386__)
        _mm_pause();
#endif
    }
    std::atomic<uint32_t> state_{kFree};
};

}  // namespace tw
