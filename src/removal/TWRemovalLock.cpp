#include "TWRemovalLock.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "UserDirs.h"

namespace {

bool isFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// $XDG_CACHE_HOME/twinsift, else ~/.cache/twinsift.
std::string cacheFolder() {
    const char* xdg = getenv("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/twinsift";
    const std::string home = tw::userdirs::homeDirectory();
    return (home == "/" ? "" : home) + "/.cache/twinsift";
}

// Creates the folder and its missing parents, private to the user.
tw::Status makeFolder(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return tw::Status::failure(part, std::string("cannot create the folder: ") + strerror(errno), errno);
        if (slash == std::string::npos) break;
    }
    if (!isFolder(folder)) return tw::Status::failure(folder, "is not a folder", ENOTDIR);
    return tw::Status::success();
}

}  // namespace

std::string TWRemovalLock::lockPath() {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && isFolder(runtime)) return std::string(runtime) + "/twinsift-removal.lock";
    return cacheFolder() + "/removal.lock";
}

std::unique_ptr<TWRemovalLock> TWRemovalLock::lock(bool wait, tw::Status* status) {
    const std::string path = lockPath();
    const std::string folder = path.substr(0, path.rfind('/'));
    if (!isFolder(folder)) {
        *status = makeFolder(folder);
        if (!*status) return nullptr;
    }
    auto file = tw::LockFile::acquire(path, wait, status);
    if (!file) {
        if (status->error == EWOULDBLOCK) status->reason = "another removal is running";
        return nullptr;
    }
    return std::unique_ptr<TWRemovalLock>(new TWRemovalLock(std::move(file)));
}

std::unique_ptr<TWRemovalLock> TWRemovalLock::tryLock(tw::Status* status) {
    tw::Status ignored;
    return lock(false, status ? status : &ignored);
}

bool TWRemovalLock::Waiter::abandon() {
    int waiting = 0;
    return state_.compare_exchange_strong(waiting, 2);
}

std::shared_ptr<TWRemovalLock::Waiter> TWRemovalLock::lockInBackground(Done done) {
    auto waiter = std::make_shared<Waiter>();
    // A thread of its own: the wait may last as long as another removal, and the
    // worker pools are for work, not for waiting.
    std::thread([waiter, done = std::move(done)] {
        tw::Status status;
        auto held = lock(true, &status);
        int waiting = 0;
        if (waiter->state_.compare_exchange_strong(waiting, 1)) done(std::move(held), status);
    }).detach();
    return waiter;
}
