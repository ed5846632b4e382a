#include "engine/TWMediaObjectUtility.h"

std::shared_ptr<TWMediaObjectUtility> TWMediaObjectUtility::initWithMediaObject(
    const std::shared_ptr<tw::MediaObject>& mediaObject, const std::string& sourceType) {
    if (!mediaObject) return nullptr;
    auto path = mediaObject->filePath();
    if (!path || path->empty()) return nullptr;
    if (!mediaObject->startAccessing()) return nullptr;
    return std::shared_ptr<TWMediaObjectUtility>(new TWMediaObjectUtility(*path, mediaObject, sourceType));
}

TWMediaObjectUtility::TWMediaObjectUtility(const std::string& path, std::shared_ptr<tw::MediaObject> mediaObject,
                                           std::string sourceType)
    : TWFileUtility(path), mediaObject_(std::move(mediaObject)), sourceType_(std::move(sourceType)) {}

TWMediaObjectUtility::~TWMediaObjectUtility() {
    if (mediaObject_) mediaObject_->stopAccessing();
}

std::string TWMediaObjectUtility::identifier() const { return mediaObject_ ? mediaObject_->identifier() : std::string(); }
