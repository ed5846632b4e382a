#include "TWCleanMediaLibraryGuide.h"

namespace {
constexpr TWRect kLeft{20, 20, 240, 344};
constexpr TWRect kRight{280, 20, 240, 344};
constexpr TWRect kCentre{140, 20, 240, 344};
}  // namespace

std::string TWCleanMediaLibraryGuide::prompt() const {
    if (!photosLibraryName.empty() || !musicLibraryName.empty()) return namedPrompt();
    if (cleanPhotos && cleanItunes)
        return "Twinsift moves all your photos duplicates to " + groupNameInPhotos + " - " + albumNameInPhotos +
               ". iTunes duplicates to " + playlistNameInItunes +
               ". You can use Photos and iTunes to complete the removal. As shown below:";
    if (cleanPhotos)
        return "Twinsift moves all photos duplicates to " + groupNameInPhotos + " >> " + albumNameInPhotos +
               ". You can use Photos to complete the removal. As shown below:";
    if (cleanItunes)
        return "Twinsift moves all iTunes duplicates to " + playlistNameInItunes +
               ". You can use iTunes to complete the removal. As shown below:";
    return {};
}

std::string TWCleanMediaLibraryGuide::namedPrompt() const {
    const std::string photos = photosLibraryName.empty() ? "Photos" : photosLibraryName;
    const std::string music = musicLibraryName.empty() ? "iTunes" : musicLibraryName;
    if (cleanPhotos && cleanItunes)
        return "Twinsift tagged all your photos duplicates " + groupNameInPhotos + " - " + albumNameInPhotos + " in " +
               photos + ". " + music + " duplicates are in the playlist " + playlistNameInItunes + ". You can use " +
               photos + " and " + music + " to complete the removal. As shown below:";
    if (cleanPhotos)
        return "Twinsift tagged all photos duplicates " + groupNameInPhotos + " >> " + albumNameInPhotos + " in " +
               photos + ". You can use " + photos + " to complete the removal. As shown below:";
    if (cleanItunes)
        return "Twinsift added all " + music + " duplicates to the playlist " + playlistNameInItunes +
               ". You can use " + music + " to complete the removal. As shown below:";
    return {};
}

std::optional<TWRect> TWCleanMediaLibraryGuide::photosPictureFrame() const {
    if (cleanPhotos && cleanItunes) return kLeft;
    if (cleanPhotos) return kCentre;
    return std::nullopt;
}

std::optional<TWRect> TWCleanMediaLibraryGuide::iTunesPictureFrame() const {
    if (cleanPhotos && cleanItunes) return kRight;
    if (cleanItunes) return kCentre;
    return std::nullopt;
}
