#include "platform/SafeFile.h"

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tw {

namespace {

thread_local SafeFile::FolderScope* currentScope = nullptr;

}  // namespace

SafeFile::FolderScope::FolderScope(int folderFd, const std::string& folderPath)
    : fd_(folderFd), path_(folderPath), outer_(currentScope) {
    currentScope = this;
}

SafeFile::FolderScope::~FolderScope() {
    currentScope = outer_;
}

const SafeFile::FolderScope* SafeFile::FolderScope::current() {
    return currentScope;
}

const char* SafeFile::FolderScope::nameInside(const std::string& path) const {
    if (path_.empty() || path.size() <= path_.size() || path.compare(0, path_.size(), path_) != 0) return nullptr;
    size_t start = path_.size();
    if (path_.back() != '/') {
        if (path[start] != '/') return nullptr;
        ++start;
    }
    // Only a name right inside the folder: "." and ".." are no names of entries.
    const char* name = path.c_str() + start;
    if (*name == '\0' || std::strchr(name, '/') || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
        return nullptr;
    return name;
}

std::optional<SafeFile> SafeFile::open(const std::string& path, int* error) {
    auto fail = [&](int e) -> std::optional<SafeFile> {
        if (error) *error = e;
        return std::nullopt;
    };
    // O_NONBLOCK: opening a FIFO without a writer must not wait; O_NOFOLLOW: a link is
    // refused (ELOOP) rather than followed; O_NOCTTY: a terminal never becomes ours.
    constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY;
    const char* name = currentScope ? currentScope->nameInside(path) : nullptr;
    int fd = name ? ::openat(currentScope->fd(), name, kFlags) : ::open(path.c_str(), kFlags);
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
    if (error) *error = 0;
    return SafeFile(fd, st);
}

void SafeFile::clearNonBlocking() const {
    if (blocking_ || fd_ < 0) return;
    // Regular files never block; libraries see ordinary reads all the same. Of the flags
    // F_SETFL changes the open set only O_NONBLOCK, so one call clears it without reading
    // the flags first.
    fcntl(fd_, F_SETFL, 0);
    blocking_ = true;
}

SafeFile::SafeFile(SafeFile&& other) noexcept : fd_(other.fd_), st_(other.st_), blocking_(other.blocking_) {
    other.fd_ = -1;
}

SafeFile& SafeFile::operator=(SafeFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        st_ = other.st_;
        blocking_ = other.blocking_;
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

bool SafeFile::endsAt(uint64_t offset, size_t got, size_t wanted) const {
    // A short read that reaches the size the file had when opened found its end; one
    // that stops before it is read on from there (a later read answers 0 at the end).
    return got < wanted && offset >= size();
}

long SafeFile::readOnce(uint64_t offset, void* buffer, size_t length) const {
    for (;;) {
        const ssize_t n = ::pread(fd_, buffer, length, static_cast<off_t>(offset));
        if (n >= 0 || errno != EINTR) return static_cast<long>(n);
    }
}

std::optional<std::vector<unsigned char>> SafeFile::readAll(size_t limit) const {
    std::vector<unsigned char> data;
    unsigned char chunk[65536];
    uint64_t offset = 0;
    while (data.size() < limit) {
        size_t want = std::min(sizeof chunk, limit - data.size());
        long n = readOnce(offset, chunk, want);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        data.insert(data.end(), chunk, chunk + n);
        offset += static_cast<uint64_t>(n);
        if (endsAt(offset, static_cast<size_t>(n), want)) break;
    }
    return data;
}

SafeFile::FilePtr SafeFile::openStream() const {
    clearNonBlocking();  // the duplicate shares the flags
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

std::optional<uint64_t> SafeFile::physicalOffset() const {
    // The header and room for one extent, as the kernel reads and fills them.
    alignas(struct fiemap) unsigned char buffer[sizeof(struct fiemap) + sizeof(struct fiemap_extent)] = {};
    auto* map = reinterpret_cast<struct fiemap*>(buffer);
    map->fm_start = 0;
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_extent_count = 1;
    if (ioctl(fd_, FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0) return std::nullopt;
    const struct fiemap_extent& extent = map->fm_extents[0];
    // Data kept inline or not placed yet has no position of its own.
    if (extent.fe_flags & (FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DATA_INLINE | FIEMAP_EXTENT_DELALLOC))
        return std::nullopt;
    return extent.fe_physical;
}

}  // namespace tw
