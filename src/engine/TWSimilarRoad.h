#pragma once
// The similar-image decisions of one scan: the groups of similar images in order of
// creation, each tagged with the source of its first image. A new image joins the
// first group of its source that the context's test (colours or look) accepts, else
// founds a group.
//
// Safe from any thread: decisions are serialised by the road's own lock (the engine's
// similar queue); signatures are computed by the caller, outside it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "TWDuplicateIndex.h"
#include "TWPlacedItems.h"
#include "ZPImageSignature.h"
#include "ZPSimilarContext.h"
#include "ZPSimilarImages.h"

class TWSimilarRoad {
public:
    using Counted = TWDuplicateIndex::Counted;

    // `context` and `placed` must outlive the road.
    TWSimilarRoad(const ZPSimilarContext& context, TWPlacedItems& placed) : context_(context), placed_(placed) {}

    // `signature` carries its record as userObject (a TWFileUtility). Nothing is placed
    // once `stop` is set, nor an item placed before on either road.
    TWPlacement place(const std::shared_ptr<ZPImageSignature>& signature, const std::atomic<bool>& stop,
                      const Counted& counted);

    // Every group of two images or more becomes a similar duplicate group in the
    // container of its first image's category, in creation order; then the road is
    // emptied.
    void moveGroupsTo(TWDuplicateIndex& index);
    size_t numberOfGroups() const;

private:
    const ZPSimilarContext& context_;
    TWPlacedItems& placed_;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<ZPSimilarImages>> groups_;
    std::vector<std::string> sources_;  // the source of each group's first image
};
