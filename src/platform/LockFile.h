#pragma once
// An exclusive advisory lock (flock) on a file of its own, seen by every process that
// opens the same file. The kernel releases it when the holder's descriptor closes,
// also when the holder dies, so a crashed holder never blocks anyone for ever.
//
// The file is opened, or created with mode 0600, without following a symbolic link in
// its last component (a link is refused with ELOOP) and only when it is a regular
// file; its descriptor is close-on-exec, so no child program keeps the lock alive. The
// file is never removed: removing it while another process waits on it would let a
// third one lock a new file under the same name.
//
// A LockFile belongs to one thread at a time; distinct LockFiles are independent, also
// within one process (two of them on the same file exclude each other).

#include <memory>
#include <string>

#include "Status.h"

namespace tw {

class LockFile {
public:
    // The held lock, or nullptr and the reason in `*status`. With `wait` false, a lock
    // that another holder has answers at once with status->error EWOULDBLOCK.
    static std::unique_ptr<LockFile> acquire(const std::string& path, bool wait, Status* status);

    ~LockFile();  // releases the lock
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    const std::string& path() const { return path_; }

private:
    LockFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
    std::string path_;
    int fd_ = -1;
};

}  // namespace tw
