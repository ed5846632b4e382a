#include "files/TWImage.h"

#include <mutex>

namespace {

std::mutex& providerMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<TWThumbnailProvider>& providerSlot() {
    static std::shared_ptr<TWThumbnailProvider> provider;
    return provider;
}

}  // namespace

void TWThumbnailProvider::install(std::shared_ptr<TWThumbnailProvider> provider) {
    std::lock_guard lock(providerMutex());
    providerSlot() = std::move(provider);
}

std::shared_ptr<TWThumbnailProvider> TWThumbnailProvider::installed() {
    std::lock_guard lock(providerMutex());
    return providerSlot();
}
