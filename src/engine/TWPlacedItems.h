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
#include <vector>

#include "files/TWFileUtility.h"

class TWPlacedItems {
public:
    // Records `record` as placed; false when it (or, for a library item, its
    // identifier) was placed before.
    bool claim(const TWFileUtility& record);
    void clear();
    size_t size() const;

private:
    // The inodes of one (source, device), open addressing: a scan meets one or a few
    // devices, so an inode alone is what each file costs, 4 bytes where it fits them
    // (most file systems number their inodes so) and 8 where it does not.
    template <class Inode>
    struct Slots {
        std::vector<Inode> slots;  // 0 marks a free slot
        size_t count = 0;
        bool insert(Inode inode);  // false when present; never 0
    };
    struct InodeSet {
        uint32_t source;
        dev_t device;
        Slots<uint32_t> narrow;
        Slots<uint64_t> wide;
        bool hasZero = false;      // inode 0, which cannot sit in a slot
        bool insert(ino_t inode);  // false when present
    };
    uint32_t sourceIdLocked(const std::string& source);

    mutable std::mutex mutex_;
    std::unordered_map<std::string, uint32_t> sources_;
    std::vector<InodeSet> files_;
    size_t fileCount_ = 0;
    std::unordered_set<std::string> libraryItems_;  // source + '\n' + identifier
};
