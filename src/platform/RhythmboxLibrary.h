#pragma once
// Rhythmbox's library: its song entries in rhythmdb.xml (each known by its location
// URI, the key Rhythmbox itself uses) and its static playlists in playlists.xml, both
// read with GLib's GMarkup. Groups: the whole library, then each static playlist.
//
// Playlists are changed only through Rhythmbox's own D-Bus interface (its
// PlaylistManager), never in the files, which Rhythmbox rewrites from memory.
// Safe from any thread; every call reads the files or reaches the bus anew.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "LibraryContent.h"
#include "Status.h"

namespace tw {

class RhythmboxLibrary {
public:
    static constexpr const char* kBusName = "org.gnome.Rhythmbox3";
    static constexpr const char* kPlaylistManagerPath = "/org/gnome/Rhythmbox3/PlaylistManager";
    static constexpr const char* kPlaylistManagerInterface = "org.gnome.Rhythmbox3.PlaylistManager";

    // `folder` holds rhythmdb.xml and playlists.xml.
    explicit RhythmboxLibrary(std::string folder) : folder_(std::move(folder)) {}
    std::string database() const { return folder_ + "/rhythmdb.xml"; }

    LibraryContent read() const;

    // Adds the songs (their location URIs, exactly as the library holds them) to the
    // static playlist `name`, made when missing. When Rhythmbox is not running it is
    // started (D-Bus activation, else its desktop entry) and waited for at most
    // `startLimit`. Fails when it cannot be reached or refuses a song.
    // `launch` starts an application by its name (AppLauncher::launchByName).
    static Status addToPlaylist(const std::vector<std::string>& uris, const std::string& name,
                                std::chrono::milliseconds startLimit,
                                const std::function<bool(const std::string&)>& launch);

private:
    std::string folder_;
};

}  // namespace tw
