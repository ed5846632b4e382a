#pragma once
// Where the photo and music libraries of this user live: Shotwell's and Rhythmbox's
// folders under $XDG_DATA_HOME (~/.local/share when unset), Shotwell's profiles in
// $XDG_CONFIG_HOME/shotwell/profiles.ini, and digiKam's database as
// $XDG_CONFIG_HOME/digikamrc names it. Read from the environment and the files on
// every call (no cache). Safe from any thread.

#include <string>
#include <vector>

namespace tw::libraries {

inline constexpr const char* kShotwell = "Shotwell";
inline constexpr const char* kDigikam = "digiKam";
inline constexpr const char* kRhythmbox = "Rhythmbox";

std::string dataHome();
std::string configHome();

// Shotwell's database inside a library folder (<folder>/data/photo.db, or
// <folder>/photo.db when the folder is the data folder itself); "" when there is none.
std::string shotwellDatabaseIn(const std::string& folder);
// The folder of the Shotwell library found: the default one when it holds a database,
// else the first profile of profiles.ini that does; the default folder when none does.
std::string shotwellFolder();

struct DigikamDatabase {
    std::string file;          // the core database (digikam4.db); "" when none is configured
    bool unsupported = false;  // configured for a server database, which is not read
    std::string type;          // "QSQLITE", "QMYSQL", or "" when digikamrc does not say
};
// The core database that digikamrc configures; its folder's digikam4.db when the
// setting names a folder.
DigikamDatabase digikamDatabase();
// digikam4.db inside `folder` (or `folder` itself when it is that file); "" when absent.
std::string digikamDatabaseIn(const std::string& folder);

// Rhythmbox's folder (<data home>/rhythmbox), which holds rhythmdb.xml and playlists.xml.
std::string rhythmboxFolder();
// `folder` when it holds rhythmdb.xml (or its folder when it is that file); "" else.
std::string rhythmboxFolderIn(const std::string& folder);

bool isRegularFile(const std::string& path);

}  // namespace tw::libraries
