#pragma once
// What a library backend reads out of a photo or music library: its items (an
// identifier the library itself uses and the item's file) and its groups, three
// levels deep as the scan visits them (the root, its children and theirs; anything
// deeper is folded into its third-level ancestor). Plain values; safe to copy and to
// read from any thread once built.

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace tw {

struct LibraryItem {
    std::string identifier;
    std::string path;  // absolute
};

struct LibraryGroupTree {
    std::string name;
    std::vector<size_t> items;  // indexes into LibraryContent::items
    std::vector<LibraryGroupTree> children;

    // Puts `item` into the group reached by `components` below this one, made as
    // needed; past the second component the rest is folded into the second.
    void add(const std::vector<std::string>& components, size_t item);
    LibraryGroupTree& child(const std::string& name);
};

struct LibraryContent {
    std::string library;   // the application's name ("Shotwell", "digiKam", "Rhythmbox")
    std::string location;  // the database or library file read
    std::vector<LibraryItem> items;
    LibraryGroupTree root;
    // Why the library was not read (missing, locked, damaged, a schema not known);
    // empty when it was. A library with a problem has no items.
    std::string problem;

    bool ok() const { return problem.empty(); }
};

// Splits "a/b/c" (leading, trailing and doubled slashes ignored) into components.
std::vector<std::string> splitLibraryPath(const std::string& path);

}  // namespace tw
