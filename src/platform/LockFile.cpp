#include "LockFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tw {

namespace {

std::string errorText(int error) {
    return strerror(error);
}

}  // namespace

std::unique_ptr<LockFile> LockFile::acquire(const std::string& path, bool wait, Status* status) {
    Status ignored;
    if (!status) status = &ignored;
    // O_NONBLOCK: a FIFO put under the name must not hold the open up.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        *status = Status::failure(path,
                                  error == ELOOP ? "the lock file is a symbolic link; it is not followed"
                                                 : "cannot open the lock file: " + errorText(error),
                                  error);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *status = Status::failure(path, "the lock file is not a regular file", EINVAL);
        return nullptr;
    }
    while (::flock(fd, wait ? LOCK_EX : LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const int error = errno;
        ::close(fd);
        *status = error == EWOULDBLOCK ? Status::failure(path, "another process holds the lock", error)
                                       : Status::failure(path, "cannot lock: " + errorText(error), error);
        return nullptr;
    }
    *status = Status::success();
    return std::unique_ptr<LockFile>(new LockFile(path, fd));
}

LockFile::~LockFile() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace tw
