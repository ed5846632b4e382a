#pragma once
// What a scan may touch, and where its files lie:
//   - the real paths (every symbolic link resolved) of the folders it walks: a file
//     reached through a link may lie outside all of them;
//   - the mounted overlays that matter to those folders, with their layer folders: a
//     file inside a layer folder shows again in the overlay's merged view, under
//     another device, and changing it changes what the overlay shows.
// Such files are shown but never checked, removed or moved (TWFileUtility::refusesRemoval).
//
// Built once per scan before the walks start; safe from any thread afterwards (the only
// state that changes, the overlays a scan has met, is atomic).

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "TWOverlayMounts.h"
#include "TWScanReport.h"

class TWScanBounds {
public:
    // Where a path lies with respect to the overlays: inside the nearest overlay folder
    // that holds it (a mount point or a layer folder; the nearest wins, as a mount hides
    // what lies below it).
    struct Place {
        int32_t overlay = -1;  // -1: in no overlay folder
        int32_t layer = -1;    // -1: in the merged view (below the mount point)
        bool isInsideLayer() const { return overlay >= 0 && layer >= 0; }
    };

    // `realRoots`: the chosen folders' paths with every link resolved (empty ones,
    // folders that could not be resolved, cover nothing). Only the overlays whose mount
    // point or layer folders lie inside a root, or hold one, are kept.
    TWScanBounds(std::vector<std::string> realRoots, const std::vector<TWOverlayMount>& overlays);
    TWScanBounds(const TWScanBounds&) = delete;
    TWScanBounds& operator=(const TWScanBounds&) = delete;

    // Whether `realPath` (a resolved path) is one of the chosen folders or lies inside one.
    bool isInsideChosenFolders(const std::string& realPath) const;
    // Where `realPath` lies; cheap when no overlay matters to the scan.
    Place placeOf(std::string_view realPath) const;
    // Notes that the scan holds a file at `place`. The first time the scan holds files
    // both in an overlay's merged view and in one of its layer folders, answers the
    // notice to give (once per overlay).
    std::optional<TWScanReport::Entry> noteFile(Place place);

private:
    struct Overlay {
        std::string mountPoint;
        std::vector<std::string> layers;
    };
    struct Seen {
        std::atomic<bool> merged{false};
        std::atomic<int32_t> layer{-1};
        std::atomic<bool> noticed{false};
    };

    std::vector<std::string> realRoots_;
    std::vector<Overlay> overlays_;
    std::map<std::string, Place, std::less<>> folders_;  // every kept mount point and layer folder
    std::unique_ptr<Seen[]> seen_;                       // one per kept overlay
};
