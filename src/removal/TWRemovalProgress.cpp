#include "removal/TWRemovalProgress.h"

#include <string>

#include "files/TWFileUtility.h"

std::string TWRemovalProgressTitle(uint64_t remainingCount, uint64_t remainingBytes) {
    const std::string size = TWFileUtility::stringWithSize(remainingBytes);
    if (remainingCount == 1) return "1 file, " + size + " remaining";
    return std::to_string(remainingCount) + " files, " + size + " remaining";
}

double TWRemovalProgressPercent(uint64_t total, uint64_t remainingCount) {
    if (total == 0) return 0;
    const uint64_t done = remainingCount > total ? 0 : total - remainingCount;
    return static_cast<float>(done) * 100.0f / static_cast<float>(total);
}

TWCleanMediaLibraryGuide TWRemovalOutcome::guide() const {
    TWCleanMediaLibraryGuide guide;
    guide.cleanPhotos = cleanPhotos;
    guide.cleanItunes = cleanItunes;
    guide.albumNameInPhotos = kTWDuplicateAlbumName;
    guide.groupNameInPhotos = kTWDuplicateFolderName;
    guide.playlistNameInItunes = kTWDuplicatePlaylistName;
    guide.photosLibraryName = photosLibraries;
    guide.musicLibraryName = musicLibraries;
    return guide;
}
