#include "InMemoryMediaLibrary.h"

#include <thread>

namespace twtest {

bool InMemoryMediaObject::startAccessing() {
    if (refuse_) return false;
    ++openAccesses;
    return true;
}

bool LateValue::available(const std::function<void()>& deliver) {
    if (delivery_ == Delivery::Immediate || delivered_) return true;
    if (delivery_ == Delivery::Never) return false;
    if (!started_.exchange(true)) {
        // Delivered from another thread a little later, as a real service would.
        std::thread([this, deliver] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            delivered_ = true;
            deliver();
        }).detach();
    }
    return false;
}

std::optional<std::vector<std::shared_ptr<tw::MediaObject>>> InMemoryMediaGroup::mediaObjects() {
    auto self = shared_from_this();
    if (!late_.available([self] { self->notify("mediaObjects"); })) return std::nullopt;
    return objects;
}

std::shared_ptr<tw::MediaGroup> InMemoryMediaSource::rootMediaGroup() {
    auto self = shared_from_this();
    if (!late_.available([self] { self->notify("rootMediaGroup"); })) return nullptr;
    return root_;
}

std::optional<std::map<std::string, std::shared_ptr<tw::MediaSource>>> InMemoryMediaLibrary::mediaSources() {
    auto self = shared_from_this();
    if (!late_.available([self] { self->notify("mediaSources"); })) return std::nullopt;
    return sources_;
}

std::shared_ptr<tw::MediaLibrary> InMemoryMediaLibraryService::createLibrary(
    const std::vector<std::string>& sourceIdentifiers) {
    requestedFilters.push_back(sourceIdentifiers);
    std::map<std::string, std::shared_ptr<tw::MediaSource>> loaded;
    for (const auto& id : sourceIdentifiers)
        if (auto it = sources.find(id); it != sources.end()) loaded.insert(*it);
    return std::make_shared<InMemoryMediaLibrary>(std::move(loaded), sourcesDelivery);
}

ScopedMediaLibraryService::ScopedMediaLibraryService(std::shared_ptr<tw::MediaLibraryService> service,
                                                     std::chrono::milliseconds waitLimit)
    : previous_(tw::MediaLibraryService::installed()), previousLimit_(tw::MediaLibraryService::waitLimit()) {
    tw::MediaLibraryService::install(std::move(service));
    tw::MediaLibraryService::setWaitLimit(waitLimit);
}

ScopedMediaLibraryService::~ScopedMediaLibraryService() {
    tw::MediaLibraryService::install(previous_);
    tw::MediaLibraryService::setWaitLimit(previousLimit_);
}

}  // namespace twtest
