#pragma once
// The items a scan has already placed, across both roads (duplicate and similar) and
// every category: a file by its device and inode, a library item also by its
// identifier, each within its source. A second encounter of the same item (a hard
// link, a symbolic link whose target is scanned too, an item listed twice) is then
// neither added nor counted again.
//
// Safe from any thread (a mutex of its own). A record without identity (its
// attributes could not be read) never equals another and is always new.

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "TWFileUtility.h"

class TWPlacedItems {
public:
    // Records `record` as placed; false when it (or, for a library item, its
    // identifier) was placed before.
    bool claim(const TWFileUtility& record);
    void clear();
    size_t size() const;

private:
    struct FileKey {
        uint32_t source;
        dev_t device;
        ino_t inode;
        bool operator==(const FileKey&) const = default;
    };
    struct FileKeyHash {
        size_t operator()(const FileKey& key) const noexcept;
    };
    uint32_t sourceIdLocked(const std::string& source);

    mutable std::mutex mutex_;
    std::unordered_map<std::string, uint32_t> sources_;
    std::unordered_set<FileKey, FileKeyHash> files_;
    std::unordered_set<std::string> libraryItems_;  // source + '\n' + identifier
};
