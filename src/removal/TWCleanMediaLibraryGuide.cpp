#include "TWCleanMediaLibraryGuide.h"

namespace {
constexpr TWRect kLeft{20, 20, 240, 344};
constexpr TWRect kRight{280, 20, 240, 344};
constexpr TWRect kCentre{140, 20, 240, 344};
}  // namespace

std::string TWCleanMediaLibraryGuide::prompt() const {
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
