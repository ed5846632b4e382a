#include "engine/TWSearchMediaLibrary.h"

#include <condition_variable>

#include "platform/Executors.h"

using SourceMap = std::map<std::string, std::shared_ptr<tw::MediaSource>>;

std::shared_ptr<TWSearchMediaLibrary> TWSearchMediaLibrary::initWithSourceTypes(
    const std::vector<std::string>& sourceTypes) {
    if (sourceTypes.empty()) return nullptr;
    return std::shared_ptr<TWSearchMediaLibrary>(new TWSearchMediaLibrary(sourceTypes));
}

TWSearchMediaLibrary::TWSearchMediaLibrary(std::vector<std::string> sourceTypes)
    : sourceTypes_(std::move(sourceTypes)) {
    if (auto service = tw::MediaLibraryService::installed()) mediaLibrary_ = service->createLibrary(sourceTypes_);
}

void TWSearchMediaLibrary::enumMediaObjectsWithBlock(const Block& block) {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    tw::WorkerPool::defaultPriority().submit([&] {
        enumerate(block);
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        finished.notify_all();
    });
    std::unique_lock<std::mutex> lock(mutex);
    finished.wait(lock, [&] { return done; });
}

void TWSearchMediaLibrary::enumerate(const Block& block) {
    if (!mediaLibrary_) return;
    std::call_once(onceToken_, [&] {
        sources_ = tw::waitForMediaValue<std::optional<SourceMap>>(*mediaLibrary_, "mediaSources",
                                                                   [&] { return mediaLibrary_->mediaSources(); });
    });
    if (!sources_ || sources_->empty()) return;
    for (const auto& sourceType : sourceTypes_) {
        auto it = sources_->find(sourceType);
        if (it == sources_->end() || !it->second) continue;
        auto& source = *it->second;
        auto root = tw::waitForMediaValue<std::shared_ptr<tw::MediaGroup>>(source, "rootMediaGroup",
                                                                           [&] { return source.rootMediaGroup(); });
        if (!root) continue;
        std::set<std::string> allReadyScannedID;  // emptied for each source
        enumMediaObjectsInGroup(root, sourceType, 1, allReadyScannedID, block);
    }
}

bool TWSearchMediaLibrary::enumMediaObjectsInGroup(const std::shared_ptr<tw::MediaGroup>& group,
                                                   const std::string& sourceType, int recursiveLevel,
                                                   std::set<std::string>& scannedIdentifier, const Block& block) {
    if (!group) return false;
    using Objects = std::optional<std::vector<std::shared_ptr<tw::MediaObject>>>;
    Objects objects = tw::waitForMediaValue<Objects>(*group, "mediaObjects", [&] { return group->mediaObjects(); });
    bool stopped = false;
    if (objects) {
        for (const auto& object : *objects) {
            if (!object) continue;
            if (!scannedIdentifier.insert(object->identifier()).second) continue;
            if (block(sourceType, object)) {
                stopped = true;
                break;
            }
        }
    }
    // A stop ends this group's loop and its descent; siblings and later sources go on
    // (the caller's block answers true at once, so each stops at its first new item).
    if (!stopped && recursiveLevel + 1 <= 3)
        for (const auto& child : group->childGroups())
            enumMediaObjectsInGroup(child, sourceType, recursiveLevel + 1, scannedIdentifier, block);
    return stopped;
}
