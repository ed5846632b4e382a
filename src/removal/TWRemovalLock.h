#pragma once
// One removal at a time per user, across processes (the desktop app and any number of
// command-line runs). A removal run takes this lock before its first check and holds
// it until after its last act, so that two runs can never each find the other's copy
// still in place and both remove theirs.
//
// The lock is a flock (LockFile) on "$XDG_RUNTIME_DIR/twinsift-removal.lock", or, when
// there is no runtime folder, on "removal.lock" in the cache folder
// ($XDG_CACHE_HOME/twinsift, else ~/.cache/twinsift, created 0700). The kernel releases
// it when its holder ends, so a crashed holder never blocks the next run.
//
// Safe from any thread. A held lock is released when its TWRemovalLock is destroyed.

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "LockFile.h"
#include "Status.h"

class TWRemovalLock {
public:
    // The lock file's path, from the environment at the time of the call.
    static std::string lockPath();

    // The held lock, or nullptr and the reason: status->error is EWOULDBLOCK when
    // another removal holds it, anything else when it cannot be taken at all (the
    // lock file is a link, the folder cannot be made).
    static std::unique_ptr<TWRemovalLock> tryLock(tw::Status* status);

    // Waits for the lock on a thread of its own and calls `done` on that thread with
    // the held lock, or with nullptr and the reason it cannot be taken. Hop to the main
    // queue from `done` where needed.
    using Done = std::function<void(std::unique_ptr<TWRemovalLock> lock, const tw::Status& status)>;
    class Waiter {
    public:
        // Gives up waiting: true when `done` will never be called (the lock, should it
        // come, is let go at once); false when `done` has been or is being called.
        bool abandon();

    private:
        friend class TWRemovalLock;
        std::atomic<int> state_{0};  // 0 waiting, 1 answered, 2 abandoned
    };
    static std::shared_ptr<Waiter> lockInBackground(Done done);

private:
    explicit TWRemovalLock(std::unique_ptr<tw::LockFile> file) : file_(std::move(file)) {}
    static std::unique_ptr<TWRemovalLock> lock(bool wait, tw::Status* status);
    std::unique_ptr<tw::LockFile> file_;
};
