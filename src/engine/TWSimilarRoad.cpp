#include "engine/TWSimilarRoad.h"

TWPlacement TWSimilarRoad::place(const std::shared_ptr<ZPImageSignature>& signature, const std::atomic<bool>& stop,
                                 const Counted& counted) {
    auto record = signature ? signature->userObjectAs<TWFileUtility>() : nullptr;
    if (!record) return TWPlacement::Dropped;
    const std::string& source = record->sourceType();
    const ZPLookProbe probe = context_.similarMethod() == TWSimilarMethodLook ? ZPLookProbe(*signature) : ZPLookProbe();
    std::lock_guard<std::mutex> lock(mutex_);
    if (stop.load()) return TWPlacement::Dropped;
    if (!placed_.claim(*record)) return TWPlacement::Dropped;
    for (size_t i = 0; i < groups_.size(); ++i) {
        if (stop.load()) return TWPlacement::Dropped;
        if (sources_[i] != source) continue;
        if (!context_.imageSignatureSimilarTo(*signature, probe, *groups_[i])) continue;
        groups_[i]->addImageSignature(signature);
        if (counted) counted(TWPlacement::Joined, signature->size());
        return TWPlacement::Joined;
    }
    if (stop.load()) return TWPlacement::Dropped;
    groups_.push_back(ZPSimilarImages::initWithImage(signature));
    sources_.push_back(source);
    if (counted) counted(TWPlacement::Founded, 0);
    return TWPlacement::Founded;
}

void TWSimilarRoad::moveGroupsTo(TWDuplicateIndex& index) {
    std::vector<std::shared_ptr<ZPSimilarImages>> groups;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        groups.swap(groups_);
        sources_.clear();
    }
    for (const auto& similar : groups) {
        const size_t count = similar->numberOfImages();
        if (count < 2) continue;
        auto first = similar->imageAtIndex(0)->userObjectAs<TWFileUtility>();
        auto container = index.containerFor(first->category(), true);
        auto group = TWDuplicateFile::initWithSimilarFile(first);
        for (size_t i = 1; i < count; ++i) group->addFile(similar->imageAtIndex(i)->userObjectAs<TWFileUtility>());
        if (container) container->addDuplicateFile(group);
    }
}

size_t TWSimilarRoad::numberOfGroups() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return groups_.size();
}
