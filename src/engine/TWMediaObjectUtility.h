#pragma once
// The record of a photo or music library item: the item's file inside the library,
// the library it comes from, and the item's identifier, by which the scan recognises
// an item it has already placed and the clean-up finds it in the library's own
// application. Safe from any thread (as TWFileUtility).

#include <memory>
#include <string>

#include "files/TWFileUtility.h"
#include "platform/MediaLibraryService.h"

class TWMediaObjectUtility : public TWFileUtility {
public:
    // Null for a null item, an item without a file, or when access to its file is
    // refused. The record keeps the access open until it is destroyed.
    static std::shared_ptr<TWMediaObjectUtility> initWithMediaObject(
        const std::shared_ptr<tw::MediaObject>& mediaObject, const std::string& sourceType);
    ~TWMediaObjectUtility() override;

    // The item's identifier as the library gives it (Linux follows the newer system
    // branch, which never adds a suffix).
    std::string identifier() const;
    const std::string& sourceType() const override { return sourceType_; }
    // The application whose library holds the item ("Shotwell"); "" when unknown.
    std::string libraryName() const { return mediaObject_ ? mediaObject_->libraryName() : std::string(); }
    // Library items are never ranked by folder grants.
    int64_t privilege() const override { return -1; }
    const std::shared_ptr<tw::MediaObject>& mediaObject() const { return mediaObject_; }

private:
    TWMediaObjectUtility(const std::string& path, std::shared_ptr<tw::MediaObject> mediaObject, std::string sourceType);
    std::shared_ptr<tw::MediaObject> mediaObject_;
    std::string sourceType_;
};
