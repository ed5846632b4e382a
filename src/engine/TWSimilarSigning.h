#pragma once
// Signs the pictures a scan meets on several threads at once, and hands each signed
// picture on to the grouping decision one at a time, in the order the pictures were
// offered: signing (decoding) is most of a picture's cost, while the decision must stay
// serial, and in order so that the groups do not depend on which decode ended first.
//
// A picture is signed on a worker of the pool while fewer than `signers` are busy
// signing, else on the thread that offers it (a walker then signs instead of waiting).
// A walker that runs more than kMostAhead pictures ahead of the decisions waits.
//
// Threading: offer() from any thread; finish() once no more pictures are offered. The
// sign and place functions are called on the pool's workers and on the offering
// threads; place is never called twice at once.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "TWFileUtility.h"
#include "ZPImageSignature.h"

namespace tw {
class WorkerPool;
}

class TWSimilarSigning {
public:
    static constexpr uint64_t kMostAhead = 64;

    using Record = std::shared_ptr<TWFileUtility>;
    using Signature = std::shared_ptr<ZPImageSignature>;
    // The picture's signature, or null when it cannot be signed.
    using Sign = std::function<Signature(const Record& record)>;
    // The decision for one picture, in turn; `signature` is null for a picture that
    // could not be signed.
    using Place = std::function<void(const Record& record, const Signature& signature)>;

    TWSimilarSigning(Sign sign, Place place, tw::WorkerPool& pool, unsigned signers);
    ~TWSimilarSigning();  // finish()
    TWSimilarSigning(const TWSimilarSigning&) = delete;
    TWSimilarSigning& operator=(const TWSimilarSigning&) = delete;

    void offer(const Record& record);
    // Returns once every picture offered has been placed.
    void finish();

private:
    struct Signed {
        Record record;
        Signature signature;
    };
    Signature signSafely(const Record& record) const;
    // Keeps the signed picture of turn `turn` and, unless another thread is placing,
    // places every picture whose turn has come.
    void deliver(uint64_t turn, Signed done);

    const Sign sign_;
    const Place place_;
    tw::WorkerPool& pool_;
    const unsigned signers_;

    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t nextTurn_ = 0;      // handed to the next picture offered
    uint64_t nextToPlace_ = 0;   // the turn whose picture is placed next
    unsigned busySigners_ = 0;   // pool workers signing
    bool placing_ = false;       // a thread is placing
    std::map<uint64_t, Signed> ready_;  // signed, waiting for their turn
};
