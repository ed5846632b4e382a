#pragma once
// Walks the chosen sources of the media-library service and hands each item once to
// the caller: three levels of groups (the root group, its children and theirs), one
// offer per item per source. Made for one scan, used once.
//
// enumMediaObjectsWithBlock() may be called from any thread; it runs the walk on a
// default-priority worker and returns when the walk is done.

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/MediaLibraryService.h"

class TWSearchMediaLibrary {
public:
    // Answers true to ask for a stop.
    using Block = std::function<bool(const std::string& sourceType, const std::shared_ptr<tw::MediaObject>& object)>;

    // Null for an empty source list. Without an installed service the library is null
    // and an enumeration offers nothing.
    static std::shared_ptr<TWSearchMediaLibrary> initWithSourceTypes(const std::vector<std::string>& sourceTypes);

    void enumMediaObjectsWithBlock(const Block& block);
    // One group and, up to level 3, its children. Returns whether this group's loop
    // was stopped by the block.
    bool enumMediaObjectsInGroup(const std::shared_ptr<tw::MediaGroup>& group, const std::string& sourceType,
                                 int recursiveLevel, std::set<std::string>& scannedIdentifier, const Block& block);

    const std::shared_ptr<tw::MediaLibrary>& mediaLibrary() const { return mediaLibrary_; }
    const std::vector<std::string>& sourceTypes() const { return sourceTypes_; }

private:
    explicit TWSearchMediaLibrary(std::vector<std::string> sourceTypes);
    void enumerate(const Block& block);

    std::vector<std::string> sourceTypes_;
    std::shared_ptr<tw::MediaLibrary> mediaLibrary_;
    std::once_flag onceToken_;
    std::optional<std::map<std::string, std::shared_ptr<tw::MediaSource>>> sources_;
};
