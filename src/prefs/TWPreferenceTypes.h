#pragma once
// Values stored in the integer settings.

#include <cstdint>

enum TWSearchMode : int64_t {
    TWSearchModeContent = 0,  // equal content hash and equal size
    TWSearchModeName = 1,     // equal name ignoring case and equal size
};

enum TWDestType : int64_t {
    TWDestTypeTrash = 0,
    TWDestTypeDeletePermanently = 1,
    TWDestTypeMoveToFolder = 2,
};

enum TWCheckMethod : int32_t {
    TWCheckMethodSmartName = 0,
    TWCheckMethodFolderPrivilege = 1,
    TWCheckMethodNewer = 2,
    TWCheckMethodOlder = 3,
    TWCheckMethodHighQuality = 4,
    TWCheckMethodLowerQuality = 5,
    TWCheckMethodHighResolution = 6,
    TWCheckMethodLowResolution = 7,
    // Keeps the picture of the highest resolution, then the larger file; a group of
    // byte-identical pictures follows the duplicate-files rule instead.
    TWCheckMethodBestPicture = 8,
};

// How similar pictures are told ("kSimilarMethod").
enum TWSimilarMethod : int64_t {
    TWSimilarMethodColours = 0,  // their colour histograms
    TWSimilarMethodLook = 1,     // how they look: the layout of light and dark
};
