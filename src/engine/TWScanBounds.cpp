#include "TWScanBounds.h"

#include <cstdlib>

namespace {

// Whether `path` is `folder` or lies below it, at a component boundary ("/a/b" holds
// "/a/b/c", not "/a/bc").
bool isAtOrBelow(std::string_view folder, std::string_view path) {
    if (folder == "/") return !path.empty() && path[0] == '/';
    if (path.size() < folder.size() || path.compare(0, folder.size(), folder) != 0) return false;
    return path.size() == folder.size() || path[folder.size()] == '/';
}

std::string realPathOr(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return path;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

}  // namespace

TWScanBounds::TWScanBounds(std::vector<std::string> realRoots, const std::vector<TWOverlayMount>& overlays) {
    for (auto& root : realRoots)
        if (!root.empty()) realRoots_.push_back(std::move(root));
    const auto matters = [this](const std::string& folder) {
        for (const auto& root : realRoots_)
            if (isAtOrBelow(root, folder) || isAtOrBelow(folder, root)) return true;
        return false;
    };
    for (const auto& mount : overlays) {
        Overlay overlay{realPathOr(mount.mountPoint), {}};
        bool kept = matters(overlay.mountPoint);
        for (const auto& layer : mount.layers) {
            overlay.layers.push_back(realPathOr(layer));
            kept = kept || matters(overlay.layers.back());
        }
        if (kept) overlays_.push_back(std::move(overlay));
    }
    for (size_t i = 0; i < overlays_.size(); ++i) {
        const int32_t index = static_cast<int32_t>(i);
        for (size_t k = 0; k < overlays_[i].layers.size(); ++k)
            folders_.emplace(overlays_[i].layers[k], Place{index, static_cast<int32_t>(k)});
        // A mount point listed also as a layer (an overlay stacked on its own lower
        // folder) is a merged view: what is seen there is the overlay.
        folders_.insert_or_assign(overlays_[i].mountPoint, Place{index, -1});
    }
    seen_ = std::make_unique<Seen[]>(overlays_.size());
}

bool TWScanBounds::isInsideChosenFolders(const std::string& realPath) const {
    for (const auto& root : realRoots_)
        if (isAtOrBelow(root, realPath)) return true;
    return false;
}

TWScanBounds::Place TWScanBounds::placeOf(std::string_view realPath) const {
    if (folders_.empty() || realPath.empty() || realPath[0] != '/') return {};
    // The path itself, then each of its folders up to "/", nearest first.
    for (std::string_view folder = realPath;;) {
        if (auto found = folders_.find(folder); found != folders_.end()) return found->second;
        if (folder == "/") return {};
        const size_t slash = folder.rfind('/');
        folder = slash == 0 ? std::string_view("/") : folder.substr(0, slash);
    }
}

std::optional<TWScanReport::Entry> TWScanBounds::noteFile(Place place) {
    if (place.overlay < 0) return std::nullopt;
    Seen& seen = seen_[place.overlay];
    if (seen.noticed.load(std::memory_order_relaxed)) return std::nullopt;
    if (place.layer < 0) {
        if (!seen.merged.load()) seen.merged.store(true);
    } else {
        int32_t none = -1;
        seen.layer.compare_exchange_strong(none, place.layer);
    }
    const int32_t layer = seen.layer.load();
    if (!seen.merged.load() || layer < 0 || seen.noticed.exchange(true)) return std::nullopt;
    const Overlay& overlay = overlays_[place.overlay];
    return TWScanReport::Entry{overlay.layers[layer],
                               "is a layer folder of the overlay mounted at " + overlay.mountPoint +
                                   ", which was scanned too: the same files show in both. Files inside the "
                                   "layer folder are never removed or moved."};
}
