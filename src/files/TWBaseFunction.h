#pragma once
// Whether a folder contains an item. Safe from any thread.

#include <string>

class TWBaseFunction {
public:
    // True when folder `parent` contains `path` at any depth (the same item is not its
    // own parent). Decided by the file system where both can be resolved: the device
    // and inode of `parent` against those of each ancestor of `path`'s resolved path.
    // Otherwise textual: `path` contains `parent`'s text anywhere and is longer.
    static bool pathIsParentOfPath(const std::string& parent, const std::string& path);
};
