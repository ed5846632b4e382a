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
};
