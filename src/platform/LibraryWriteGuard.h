#pragma once
// The two conditions under which Twinsift writes a library's database itself: its
// application is not running (asked of the session bus: a running application keeps
// the library in memory and would write its own state back over ours), and one
// backup copy of the database sits beside it first. Safe from any thread.

#include <string>

#include "Status.h"

namespace tw {

class LibraryWriteGuard {
public:
    // The session-bus names by which each application shows that it runs.
    static constexpr const char* kShotwellBusName = "org.gnome.Shotwell";
    static constexpr const char* kDigikamBusNamePrefix = "org.kde.digikam-";

    // Fails with a reason for the user when `application` runs or when the bus cannot
    // tell; `busName` is matched exactly, or as a prefix when `prefix` is true.
    static Status refuseWhileRunning(const std::string& application, const std::string& busName, bool prefix);
    // Copies `database` to "<database>.twinsift-backup-<date>-<time>" (a free name);
    // the copy's path in `backup`.
    static Status backUp(const std::string& database, std::string* backup);
};

}  // namespace tw
