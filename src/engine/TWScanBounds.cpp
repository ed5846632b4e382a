#include "TWScanBounds.h"

namespace {

// Whether `path` is `folder` or lies below it, at a component boundary ("/a/b" holds
// "/a/b/c", not "/a/bc").
bool isAtOrBelow(const std::string& folder, const std::string& path) {
    if (folder == "/") return !path.empty() && path[0] == '/';
    if (path.size() < folder.size() || path.compare(0, folder.size(), folder) != 0) return false;
    return path.size() == folder.size() || path[folder.size()] == '/';
}

}  // namespace

TWScanBounds::TWScanBounds(std::vector<std::string> realRoots) {
    for (auto& root : realRoots)
        if (!root.empty()) realRoots_.push_back(std::move(root));
}

bool TWScanBounds::isInsideChosenFolders(const std::string& realPath) const {
    for (const auto& root : realRoots_)
        if (isAtOrBelow(root, realPath)) return true;
    return false;
}
