#include "ZPDecodeBudget.h"

#include <algorithm>

ZPDecodeBudget& ZPDecodeBudget::shared() {
    static ZPDecodeBudget* budget = new ZPDecodeBudget(kDefaultBytes);  // never destroyed: workers may use it at exit
    return *budget;
}

ZPDecodeBudget::ZPDecodeBudget(uint64_t totalBytes) : total_(totalBytes) {}

std::optional<ZPDecodeBudget::Lease> ZPDecodeBudget::acquire(uint64_t bytes) {
    if (bytes > total_) return std::nullopt;
    std::unique_lock lock(mutex_);
    const uint64_t ticket = nextTicket_++;
    changed_.wait(lock, [&] { return serving_ == ticket && total_ - inUse_ >= bytes; });
    ++serving_;
    inUse_ += bytes;
    peak_ = std::max(peak_, inUse_);
    lock.unlock();
    changed_.notify_all();  // the next in line may fit as well
    return Lease(this, bytes);
}

void ZPDecodeBudget::release(uint64_t bytes) {
    {
        std::lock_guard lock(mutex_);
        inUse_ -= bytes;
    }
    changed_.notify_all();
}

uint64_t ZPDecodeBudget::bytesInUse() const {
    std::lock_guard lock(mutex_);
    return inUse_;
}

uint64_t ZPDecodeBudget::peakBytesInUse() const {
    std::lock_guard lock(mutex_);
    return peak_;
}

ZPDecodeBudget::Lease::Lease(Lease&& other) noexcept : budget_(other.budget_), bytes_(other.bytes_) {
    other.budget_ = nullptr;
}

ZPDecodeBudget::Lease::~Lease() {
    if (budget_) budget_->release(bytes_);
}
