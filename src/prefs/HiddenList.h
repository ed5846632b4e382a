#pragma once
// Whether a folder's ".hidden" file (one name per line) lists a name.
//
// Safe from any thread. Each call looks at the .hidden file's attributes (one stat);
// its names are read again only when it changed, through a small cache per thread,
// because the scan asks this for every entry of a folder in turn.

#include <string>
#include <string_view>

namespace tw::hiddenlist {

// False when the folder has no .hidden file or it cannot be read.
bool lists(const std::string& folder, std::string_view name);

}  // namespace tw::hiddenlist
