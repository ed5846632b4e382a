#pragma once
// What a scan may touch: the real paths (every symbolic link resolved) of the folders
// it walks. A file reached through a link may lie outside all of them; such a file is
// shown but never checked, removed or moved (TWFileUtility::refusesRemoval).
//
// Built once per scan before the walks start; then read-only and safe from any thread.

#include <string>
#include <vector>

class TWScanBounds {
public:
    // `realRoots`: the chosen folders' paths with every link resolved (empty ones,
    // folders that could not be resolved, cover nothing).
    explicit TWScanBounds(std::vector<std::string> realRoots);
    TWScanBounds(const TWScanBounds&) = delete;
    TWScanBounds& operator=(const TWScanBounds&) = delete;

    // Whether `realPath` (a resolved path) is one of the chosen folders or lies inside one.
    bool isInsideChosenFolders(const std::string& realPath) const;

private:
    std::vector<std::string> realRoots_;
};
