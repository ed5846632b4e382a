#include "platform/MediaLibraryService.h"

#include <atomic>

namespace tw {

namespace {
std::mutex gServiceMutex;
std::shared_ptr<MediaLibraryService> gService;
std::atomic<long long> gWaitLimitMs{30000};
}  // namespace

unsigned long MediaObservable::addObserver(const std::string& keyPath, Callback callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    unsigned long token = nextToken_++;
    observers_.emplace(token, std::make_pair(keyPath, std::move(callback)));
    return token;
}

void MediaObservable::removeObserver(unsigned long token) {
    std::lock_guard<std::mutex> lock(mutex_);
    observers_.erase(token);
}

void MediaObservable::notify(const std::string& keyPath) {
    std::vector<Callback> callbacks;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& [token, entry] : observers_)
            if (entry.first == keyPath) callbacks.push_back(entry.second);
    }
    for (const auto& callback : callbacks) callback(keyPath);
}

void MediaLibraryService::install(std::shared_ptr<MediaLibraryService> service) {
    std::lock_guard<std::mutex> lock(gServiceMutex);
    gService = std::move(service);
}

std::shared_ptr<MediaLibraryService> MediaLibraryService::installed() {
    std::lock_guard<std::mutex> lock(gServiceMutex);
    return gService;
}

std::chrono::milliseconds MediaLibraryService::waitLimit() { return std::chrono::milliseconds(gWaitLimitMs.load()); }

void MediaLibraryService::setWaitLimit(std::chrono::milliseconds limit) { gWaitLimitMs.store(limit.count()); }

}  // namespace tw
