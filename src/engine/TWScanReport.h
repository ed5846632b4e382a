#pragma once
// What a scan has to tell besides its groups: the paths it skipped because they could
// not be read (a folder that cannot be listed or entered, a path longer than the
// system allows, a file whose attributes cannot be read), each with its reason, and
// notices that are not errors (a chosen folder that the ignore settings reject; an
// overlay mount scanned together with one of its layer folders).
//
// Every skipped path is counted; only the first kKeptEntries of each list are kept, so
// a tree of a million unreadable folders costs no more memory than a thousand.
//
// Safe from any thread (a mutex of its own; the count is also readable without it).

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class TWScanReport {
public:
    static constexpr size_t kKeptEntries = 1000;

    struct Entry {
        std::string path;
        std::string text;  // a skipped path's reason, or a notice's message
    };

    // Reasons of skipped paths, as they are shown.
    static std::string cannotListFolder(int error);
    static std::string cannotEnterFolder(int error);
    static std::string cannotReadAttributes(int error);
    static std::string pathTooLong();

    void addSkipped(std::string path, std::string reason);
    void addNotice(std::string path, std::string text);
    void clear();

    // Every path skipped for an error, also those past the kept entries.
    uint64_t numberOfSkippedPaths() const { return skippedCount_.load(std::memory_order_relaxed); }
    // The first kKeptEntries skipped paths, in the order they were met.
    std::vector<Entry> skippedPaths() const;
    std::vector<Entry> notices() const;

private:
    mutable std::mutex mutex_;
    std::vector<Entry> skipped_;  // guarded by mutex_
    std::vector<Entry> notices_;  // guarded by mutex_
    std::atomic<uint64_t> skippedCount_{0};
};
