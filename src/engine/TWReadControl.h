#pragma once
// What a long read of a whole file (a full-content digest) consults between its blocks:
// whether the work it serves was stopped, a gate that holds it while that work is
// paused, and where the bytes it reads are counted, so that a scan busy with one huge
// file stops at once and never looks hung.
//
// Safe from any thread: the stop flag and the counters are atomic; the gate is the
// owner's and must be safe from any thread itself.

#include <atomic>
#include <cstdint>
#include <functional>

class TWReadControl {
public:
    // `stop` must outlive the control; `gate` may block (a paused scan) and returns once
    // the read may go on (or was stopped).
    TWReadControl(const std::atomic<bool>& stop, std::function<void()> gate) : stop_(stop), gate_(std::move(gate)) {}
    TWReadControl(const TWReadControl&) = delete;
    TWReadControl& operator=(const TWReadControl&) = delete;

    // Between two blocks: passes the gate, then answers whether to give up.
    bool shouldStopBeforeBlock() const {
        if (gate_) gate_();
        return stop_.load(std::memory_order_relaxed);
    }

    // The reads in progress: how many, their sizes and what they have read so far.
    struct Progress {
        uint64_t files = 0;
        uint64_t bytesRead = 0;
        uint64_t bytesTotal = 0;
    };
    void readWillStart(uint64_t size) {
        files_.fetch_add(1, std::memory_order_relaxed);
        total_.fetch_add(size, std::memory_order_relaxed);
    }
    void didRead(uint64_t bytes) {
        read_.fetch_add(bytes, std::memory_order_relaxed);
        allRead_.fetch_add(bytes, std::memory_order_relaxed);
        blocks_.fetch_add(1, std::memory_order_relaxed);
    }
    // `read` of `size` bytes were read when the read ended (done, failed or stopped).
    void readDidEnd(uint64_t read, uint64_t size) {
        read_.fetch_sub(read, std::memory_order_relaxed);
        total_.fetch_sub(size, std::memory_order_relaxed);
        files_.fetch_sub(1, std::memory_order_relaxed);
    }
    // The three values are read one after the other: a reader may see one read's start
    // or end half applied, never a lasting error.
    Progress progress() const {
        return {files_.load(std::memory_order_relaxed), read_.load(std::memory_order_relaxed),
                total_.load(std::memory_order_relaxed)};
    }
    // Every byte and every block read under this control, finished reads included.
    uint64_t bytesRead() const { return allRead_.load(std::memory_order_relaxed); }
    uint64_t blocksRead() const { return blocks_.load(std::memory_order_relaxed); }

private:
    const std::atomic<bool>& stop_;
    const std::function<void()> gate_;
    std::atomic<uint64_t> files_{0};
    std::atomic<uint64_t> read_{0};
    std::atomic<uint64_t> total_{0};
    std::atomic<uint64_t> allRead_{0};
    std::atomic<uint64_t> blocks_{0};
};
