#pragma once
// digiKam's library: the core SQLite database (digikam4.db), read only through
// SQLite's read-only mode, and tagged by the clean-up.
//
// Items are the visible images, videos and audio files of the available collections,
// each known as "digikam-image-<Images.id>"; a file's path is its collection's folder
// (the mount point its identifier names, plus specificPath), the album's relative path
// and the name. Groups: the whole library, then physical albums and tags (the internal
// ones skipped), deeper levels folded into the third.
//
// Tagging writes the database directly: the caller first makes sure that digiKam is
// not running and takes a backup (LibraryWriteGuard). Safe from any thread; every call
// opens the database anew.

#include <string>
#include <vector>

#include "LibraryContent.h"
#include "Status.h"

namespace tw {

class DigikamLibrary {
public:
    // The schema versions (Settings' DBVersion) whose tables this reads and writes.
    static constexpr int kOldestSchema = 10;
    static constexpr int kNewestSchema = 15;
    static constexpr const char* kIdentifierPrefix = "digikam-image-";

    explicit DigikamLibrary(std::string database) : database_(std::move(database)) {}
    const std::string& database() const { return database_; }

    LibraryContent read() const;
    // Gives the items the tag <child> below the top-level tag <parent>, both made when
    // missing, in one transaction. Items no longer in the library are left out (logged).
    Status addToTag(const std::vector<std::string>& identifiers, const std::string& parent,
                    const std::string& child) const;

    // The folder an album root's identifier and specific path name; "" when its volume
    // is not mounted here.
    static std::string collectionFolder(const std::string& identifier, const std::string& specificPath);

private:
    std::string database_;
};

}  // namespace tw
