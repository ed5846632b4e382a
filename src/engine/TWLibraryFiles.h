#pragma once
// The files that the photo and music libraries hold, by device and inode, taken at
// the start of a scan: the folder walk passes them by, so that such a file comes in
// only as a library item and is never trashed or deleted behind its library's back.
// This holds whether or not the scan includes the library: a library that is skipped
// is skipped with its files.
//
// Built once per scan, then read from any thread without a lock.

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

class TWLibraryFiles {
public:
    // Every file of every library the installed media-library service finds; empty
    // without a service.
    static TWLibraryFiles ofInstalledLibraries();
    // The files at `paths` (those that cannot be read are left out).
    static TWLibraryFiles ofPaths(const std::vector<std::string>& paths);

    bool empty() const { return files_.empty(); }
    size_t size() const { return files_.size(); }
    bool contains(dev_t device, ino_t inode) const;

private:
    struct Hash {
        size_t operator()(const std::pair<uint64_t, uint64_t>& key) const {
            return std::hash<uint64_t>()(key.first * 0x9E3779B97F4A7C15ull ^ key.second);
        }
    };
    std::unordered_set<std::pair<uint64_t, uint64_t>, Hash> files_;
};
