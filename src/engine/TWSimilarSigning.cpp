#include "TWSimilarSigning.h"

#include "Executors.h"
#include "Log.h"

TWSimilarSigning::TWSimilarSigning(Sign sign, Place place, tw::WorkerPool& pool, unsigned signers)
    : sign_(std::move(sign)), place_(std::move(place)), pool_(pool), signers_(signers == 0 ? 1 : signers) {}

TWSimilarSigning::~TWSimilarSigning() {
    finish();
}

TWSimilarSigning::Signature TWSimilarSigning::signSafely(const Record& record) const {
    // Every turn must be delivered, or the decisions after it would wait for ever.
    try {
        return sign_(record);
    } catch (const std::exception& error) {
        tw::log("Unable to read [%s], please check image (%s)", record->filePath().c_str(), error.what());
        return nullptr;
    }
}

void TWSimilarSigning::offer(const Record& record) {
    uint64_t turn = 0;
    bool onPool = false;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return nextTurn_ - nextToPlace_ < kMostAhead; });
        turn = nextTurn_++;
        onPool = busySigners_ < signers_;
        if (onPool) ++busySigners_;
    }
    if (!onPool) {
        deliver(turn, Signed{record, signSafely(record)});
        return;
    }
    pool_.submit([this, turn, record] {
        Signature signature = signSafely(record);
        {
            std::lock_guard lock(mutex_);
            --busySigners_;
        }
        deliver(turn, Signed{record, std::move(signature)});
    });
}

void TWSimilarSigning::deliver(uint64_t turn, Signed done) {
    std::unique_lock lock(mutex_);
    ready_.emplace(turn, std::move(done));
    if (placing_) return;  // the thread placing takes this one too when its turn comes
    placing_ = true;
    for (auto next = ready_.find(nextToPlace_); next != ready_.end(); next = ready_.find(nextToPlace_)) {
        Signed current = std::move(next->second);
        ready_.erase(next);
        lock.unlock();
        place_(current.record, current.signature);
        lock.lock();
        ++nextToPlace_;
        changed_.notify_all();
    }
    placing_ = false;
    changed_.notify_all();
}

void TWSimilarSigning::finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return nextToPlace_ == nextTurn_ && !placing_ && busySigners_ == 0; });
}
