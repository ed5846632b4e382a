#pragma once
// One budget for the decoded pixels of every picture in flight, so that a scan's memory
// stays bounded whatever pictures it meets: each decode first takes a lease on the bytes
// it may use (the image module estimates them from the picture's header) and gives them
// back when done. A request that would exceed what is free waits its turn; requests are
// served in the order they came, so a large one is not starved by small ones. A request
// larger than the whole budget is refused at once: such a picture is never decoded.
//
// Safe from any thread.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

class ZPDecodeBudget {
public:
    static constexpr uint64_t kDefaultBytes = uint64_t(512) << 20;

    // The process's budget of kDefaultBytes, shared by every scan.
    static ZPDecodeBudget& shared();
    explicit ZPDecodeBudget(uint64_t totalBytes);
    ZPDecodeBudget(const ZPDecodeBudget&) = delete;
    ZPDecodeBudget& operator=(const ZPDecodeBudget&) = delete;

    // Bytes held until it is destroyed.
    class Lease {
    public:
        Lease(Lease&& other) noexcept;
        Lease& operator=(Lease&&) = delete;
        ~Lease();
        uint64_t bytes() const { return bytes_; }

    private:
        friend class ZPDecodeBudget;
        Lease(ZPDecodeBudget* budget, uint64_t bytes) : budget_(budget), bytes_(bytes) {}
        ZPDecodeBudget* budget_;
        uint64_t bytes_;
    };

    // Waits until `bytes` are free and all earlier requests were served; nullopt at once
    // when `bytes` exceeds the whole budget.
    std::optional<Lease> acquire(uint64_t bytes);

    uint64_t totalBytes() const { return total_; }
    uint64_t bytesInUse() const;
    // The most bytes held at once since creation.
    uint64_t peakBytesInUse() const;

private:
    void release(uint64_t bytes);

    const uint64_t total_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t inUse_ = 0;
    uint64_t peak_ = 0;
    uint64_t nextTicket_ = 0;  // handed to each request in turn
    uint64_t serving_ = 0;     // the ticket whose request is served next
};
