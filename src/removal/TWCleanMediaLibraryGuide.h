#pragma once
// What the clean-up guide window shows after a removal that handed library items to
// their applications: the guide text and where its two pictures sit. Pure values; the
// desktop app's window only shows them. Main thread (it belongs to that window).

#include <optional>
#include <string>

// Names of the album, its folder and the playlist that receive library items.
inline constexpr const char* kTWDuplicateAlbumName = "Varnel Duplicate Album";
inline constexpr const char* kTWDuplicateFolderName = "Varnel Duplicate Folder";
inline constexpr const char* kTWDuplicatePlaylistName = "Varnel Duplicate Media";

struct TWRect {
    double x = 0, y = 0, width = 0, height = 0;  // origin at the bottom left
    bool operator==(const TWRect&) const = default;
};

struct TWCleanMediaLibraryGuide {
    bool cleanPhotos = false;
    bool cleanItunes = false;
    std::string groupNameInPhotos;
    std::string albumNameInPhotos;
    std::string playlistNameInItunes;
    // The applications that took the items ("Shotwell", "Shotwell and digiKam",
    // "Rhythmbox"); with a name the text says what was done there (a tag, a playlist),
    // without one it keeps the wording of a library gathered by script.
    std::string photosLibraryName;
    std::string musicLibraryName;

    // The guide text for the two flags; empty when neither is set.
    std::string prompt() const;
    std::string namedPrompt() const;  // the text with the applications' names
    // Frames of the two pictures for the flags; nullopt where a picture is not moved.
    std::optional<TWRect> photosPictureFrame() const;
    std::optional<TWRect> iTunesPictureFrame() const;
};
