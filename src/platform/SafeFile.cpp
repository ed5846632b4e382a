#include "platform/SafeFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tw {

std::optional<SafeFile> SafeFile::open(const std::string& path, int* error) {
    auto fail = [&](int e) -> std::optional<SafeFile> {
        if (error) *error = e;
        return std::nullopt;
    };
    // O_NONBLOCK: opening a FIFO without a writer must not wait; O_NOFOLLOW: a link is
    // refused (ELOOP) rather than followed; O_NOCTTY: a terminal never becomes ours.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return fail(errno);
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        int e = errno;
        ::close(fd);
        return fail(e);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(EINVAL);
    }
    // Regular files never block; clear the flag so libraries see ordinary reads.
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (error) *error = 0;
    return SafeFile(fd, st);
}

SafeFile::SafeFile(SafeFile&& other) noexcept : fd_(other.fd_), st_(other.st_) { other.fd_ = -1; }

SafeFile& SafeFile::operator=(SafeFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        st_ = other.st_;
        other.fd_ = -1;
    }
    return *this;
}

SafeFile::~SafeFile() {
    if (fd_ >= 0) ::close(fd_);
}

long SafeFile::readAt(uint64_t offset, void* buffer, size_t length) const {
    size_t done = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (done < length) {
        ssize_t n = ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<long>(done);
}

std::optional<std::vector<unsigned char>> SafeFile::readAll(size_t limit) const {
    std::vector<unsigned char> data;
    unsigned char chunk[65536];
    uint64_t offset = 0;
    while (data.size() < limit) {
        size_t want = std::min(sizeof chunk, limit - data.size());
        long n = readAt(offset, chunk, want);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        data.insert(data.end(), chunk, chunk + n);
        offset += static_cast<uint64_t>(n);
    }
    return data;
}

SafeFile::FilePtr SafeFile::openStream() const {
    int copy = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return nullptr;
    FILE* f = fdopen(copy, "rb");
    if (!f) {
        ::close(copy);
        return nullptr;
    }
    // A duplicate shares the file offset: start from the beginning whatever it was.
    if (fseeko(f, 0, SEEK_SET) != 0) {
        fclose(f);
        return nullptr;
    }
    return FilePtr(f);
}

}  // namespace tw
