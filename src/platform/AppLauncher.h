#pragma once
// Starting an installed desktop application by the name it shows (its desktop
// entry's Name in the current locale). Safe from any thread.

#include <string>

namespace tw {

class AppLauncher {
public:
    // Launches the first application whose name is exactly `name`. Logs
    // "no application named <name>" and answers false when there is none, and logs
    // GIO's message and answers false when it cannot be started.
    static bool launchByName(const std::string& name);
};

}  // namespace tw
