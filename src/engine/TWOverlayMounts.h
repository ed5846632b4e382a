#pragma once
// The overlay mounts of the system as the mount table lists them: each mount point and
// its layer folders (the lower folders, the upper folder and the work folder). The same
// file shows inside a layer folder and in the mount's merged view, under two devices;
// changing a layer folder behind a mounted overlay changes what the overlay shows.
//
// Plain values and static functions; safe from any thread.

#include <string>
#include <vector>

struct TWOverlayMount {
    std::string mountPoint;
    std::vector<std::string> layers;  // as listed: lower folders first, then upper and work
    // A layer folder was given as a relative path (mounted from a shell in its parent
    // folder, say): it lies somewhere the table does not tell, and any file outside the
    // mount may be one that the merged view shows.
    bool hasUnplacedLayer = false;
};

class TWOverlayMounts {
public:
    // The overlays of this process's mount table (/proc/self/mountinfo); none when it
    // cannot be read.
    static std::vector<TWOverlayMount> read();
    // The overlays of a mount table's text in the mountinfo format. Fields are decoded
    // (the table writes space, tab, newline and backslash as \ooo), and so are the
    // overlay's own escapes in its folder options (a backslash before ',', ':' or '\');
    // the lower folders are split at the unescaped ':'. Folders that are not absolute
    // paths cannot be placed: they are left out, and the mount says so.
    static std::vector<TWOverlayMount> parse(const std::string& mountInfo);
    // The real paths of the mount points of this process's overlays that have a layer
    // folder the table does not place.
    static std::vector<std::string> mountPointsWithUnplacedLayers();
    // A mount table field with its \ooo escapes decoded.
    static std::string decodeField(const std::string& field);
};
