#pragma once
// The user's Music and Pictures folders, from the XDG user-directories file
// ($XDG_CONFIG_HOME/user-dirs.dirs, lines such as XDG_MUSIC_DIR="$HOME/Music"), else
// ~/Music and ~/Pictures. Read on every call (no cache). Safe from any thread.

#include <string>

namespace tw::userdirs {

// The folder named `xdgName` ("MUSIC", "PICTURES") in user-dirs.dirs, else
// ~/`fallback`; not resolved.
std::string userDirectory(const std::string& xdgName, const std::string& fallback);
// $HOME, else the password database's home, else "/".
std::string homeDirectory();
// `path` with its symbolic links resolved as far as it exists: the longest existing
// leading part is resolved and the rest appended unchanged.
std::string resolveSymlinks(const std::string& path);

}  // namespace tw::userdirs
