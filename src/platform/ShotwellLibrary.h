#pragma once
// Shotwell's library: its SQLite database (photo.db), read only through SQLite's
// read-only mode, and tagged by the clean-up.
//
// Items are the photos and videos that are neither trashed nor offline; each is known
// by the source id Shotwell uses itself ("thumb%016x" for a photo, "video-%016x" for a
// video: the two tables' row ids overlap). Groups: the whole library, then its events
// and its top-level tags, then the tags below those (deeper ones folded in).
//
// Tagging writes the database directly: the caller must first make sure that Shotwell
// is not running (it keeps tags in memory and would write its own lists back) and take
// a backup (LibraryDatabaseGuard). Safe from any thread; every call opens the
// database anew.

#include <string>
#include <vector>

#include "LibraryContent.h"
#include "Status.h"

namespace tw {

class ShotwellLibrary {
public:
    // The schema versions whose tables this reads and writes (0.30 to 0.32).
    static constexpr int kOldestSchema = 20;
    static constexpr int kNewestSchema = 24;

    explicit ShotwellLibrary(std::string database) : database_(std::move(database)) {}
    const std::string& database() const { return database_; }

    LibraryContent read() const;
    // Adds the items to the tag "/<parent>/<child>" and to its parent tag "/<parent>",
    // all in one transaction, keeping Shotwell's rules: a child's items are all in its
    // parent's list, a flat tag named <parent> becomes the hierarchical one. Items no
    // longer in the library are left out (logged). Fails, changing nothing, on any error.
    Status addToTag(const std::vector<std::string>& sourceIds, const std::string& parent,
                    const std::string& child) const;

    static std::string photoSourceId(long long id);
    static std::string videoSourceId(long long id);

private:
    std::string database_;
};

}  // namespace tw
