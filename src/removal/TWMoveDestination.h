#pragma once
// Where checked copies may be moved: never into a folder that was scanned (or below
// one), where the moved files would stay among the files scanned and the next scan
// would find them again. Safe from any thread; reads the file system only to resolve
// links.

#include <optional>
#include <string>
#include <vector>

class TWMoveDestination {
public:
    // The first of `scannedFolders` that is `destination` or holds it, compared by
    // resolved paths (links resolved as far as each path exists, the rest normalised as
    // text, so that a destination that does not exist yet is judged by where it would
    // be made); nullopt when none does.
    static std::optional<std::string> scannedFolderHolding(const std::string& destination,
                                                           const std::vector<std::string>& scannedFolders);
};
