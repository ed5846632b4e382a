#include "LibraryWriteGuard.h"

#include <sys/stat.h>

#include <ctime>

#include "Log.h"
#include "SessionBus.h"
#include "SqliteDatabase.h"

namespace tw {

Status LibraryWriteGuard::refuseWhileRunning(const std::string& application, const std::string& busName, bool prefix) {
    SessionBus bus;
    if (!bus.isConnected())
        return Status::failure("", "cannot tell whether " + application + " is running (" + bus.error() +
                                       "), so its library was left unchanged");
    const bool running = prefix ? !bus.namesWithPrefix(busName).empty() : bus.nameHasOwner(busName);
    if (bus.lastCallFailed())
        return Status::failure("", "cannot tell whether " + application + " is running (" + bus.error() +
                                       "), so its library was left unchanged");
    if (running)
        return Status::failure("", application + " is running: close " + application +
                                       ", then remove again (its library is changed only while it is closed)");
    return Status::success();
}

Status LibraryWriteGuard::backUp(const std::string& database, std::string* backup) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string target = database + ".twinsift-backup-" + stamp;
    struct stat st {};
    for (int n = 2; ::lstat(target.c_str(), &st) == 0; ++n)
        target = database + ".twinsift-backup-" + stamp + "-" + std::to_string(n);
    SqliteDatabase db = SqliteDatabase::openReadOnly(database);
    if (!db.isOpen() || !db.backupTo(target))
        return Status::failure(
            database, "cannot make a backup copy of the library (" + db.error() + "), so it was left unchanged");
    log("Library backup: %s", target.c_str());
    if (backup) *backup = target;
    return Status::success();
}

}  // namespace tw
