#include "TWFolderMove.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <system_error>
#include <vector>

#include "SafeFile.h"
#include "TWFileDigest.h"

namespace {

std::string errorText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

struct UniqueFd {
    int fd = -1;
    ~UniqueFd() {
        if (fd >= 0) ::close(fd);
    }
};

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool sameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::string lastComponent(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool writeAll(int fd, const unsigned char* bytes, size_t length) {
    while (length > 0) {
        ssize_t n = ::write(fd, bytes, length);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

// Makes a new name durable before the old one goes: a crash between the two must not
// leave neither.
void syncFolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    UniqueFd dir{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd >= 0) ::fsync(dir.fd);
}

// The hidden copies being written at this moment, for removePartialCopies() to remove
// from a signal handler: fixed slots, no allocation, no lock.
struct PartialCopySlot {
    std::atomic<int> state{0};  // 0 free, 1 being filled, 2 holds a path
    char path[PATH_MAX];
};
PartialCopySlot gPartialCopies[8];
std::atomic<unsigned> gPartialCounter{0};

// A copy across file systems while it is written and checked: a hidden file of its own
// in the destination folder, which goes away with this object unless it was given its
// real name. Its name never looks like one of the series, so an interrupted move never
// leaves a file under a real name.
class PartialCopy {
public:
    ~PartialCopy() {
        if (!named_) discard();
        disarm();
    }

    tw::Status create(const std::string& folder, const std::string& source) {
        for (;;) {
            path_ = folder + "/.twinsift-move-" + std::to_string(::getpid()) + "-" +
                    std::to_string(gPartialCounter.fetch_add(1)) + ".part";
            fd.fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd.fd >= 0) break;
            if (errno != EEXIST) {
                const int error = errno;
                return tw::Status::failure(source, "cannot create the copy: " + errorText(error), error);
            }
        }
        ::fstat(fd.fd, &created);
        arm();
        return tw::Status::success();
    }
    const std::string& path() const { return path_; }

    // Gives the checked copy the first free name of the series, never replacing
    // anything: 0, or the errno of the failure.
    int name(const std::string& base, const std::string& extension, const TWFolderMove::Options& options,
             std::string* destination) {
        for (unsigned long n = 0;; ++n) {
            *destination = TWFolderMove::candidatePath(base, extension, n);
            const int error = TWFolderMove::renameNoReplace(path_, *destination, false, options);
            if (error == EEXIST) continue;
            if (error == 0) {
                path_ = *destination;
                named_ = true;
                disarm();
            }
            return error;
        }
    }

    // Removes the copy, under whichever name it has, while that name still holds the
    // file made here.
    void discard() {
        struct stat now {};
        if (::lstat(path_.c_str(), &now) == 0 && sameFile(now, created)) ::unlink(path_.c_str());
    }

    UniqueFd fd;
    struct stat created {};

private:
    void arm() {
        if (path_.size() >= PATH_MAX) return;
        for (int i = 0; i < int(std::size(gPartialCopies)); ++i) {
            int free = 0;
            if (!gPartialCopies[i].state.compare_exchange_strong(free, 1)) continue;
            memcpy(gPartialCopies[i].path, path_.c_str(), path_.size() + 1);
            gPartialCopies[i].state.store(2);
            slot_ = i;
            return;
        }
    }
    void disarm() {
        if (slot_ >= 0) gPartialCopies[slot_].state.store(0);
        slot_ = -1;
    }

    std::string path_;
    bool named_ = false;
    int slot_ = -1;
};

// A regular file to another file system: a hidden copy, checked, given its real name,
// then the source goes.
tw::Status copyAcross(const std::string& source, const std::string& folder, const std::string& base,
                      const std::string& extension, std::string* destination, const TWFolderMove::Options& options) {
    *destination = TWFolderMove::candidatePath(base, extension, 0);
    int error = 0;
    auto in = tw::SafeFile::open(source, &error);
    if (!in) return tw::Status::failure(source, "cannot be read: " + errorText(error), error);
    const struct stat before = in->status();

    PartialCopy copy;
    if (tw::Status made = copy.create(folder, source); !made) return made;
    auto fail = [&](const std::string& reason, int e) { return tw::Status::failure(source, reason, e); };

    std::unique_ptr<XXH3_state_t, XXH_errorcode (*)(XXH3_state_t*)> state(XXH3_createState(), XXH3_freeState);
    if (!state || XXH3_128bits_reset(state.get()) != XXH_OK) return fail("cannot compute a digest", 0);
    std::vector<unsigned char> chunk(1 << 20);
    uint64_t copied = 0;
    for (;;) {
        long n = in->readAt(copied, chunk.data(), chunk.size());
        if (n < 0) return fail("cannot be read: " + errorText(errno), errno);
        if (n == 0) break;
        XXH3_128bits_update(state.get(), chunk.data(), static_cast<size_t>(n));
        if (!writeAll(copy.fd.fd, chunk.data(), static_cast<size_t>(n)))
            return fail("cannot write the copy: " + errorText(errno), errno);
        copied += static_cast<uint64_t>(n);
        if (options.afterCopiedBlock) options.afterCopiedBlock(copied);
    }
    XXH128_hash_t sum = XXH3_128bits_digest(state.get());
    const TWContentDigest sourceDigest{sum.high64, sum.low64};

    // The owner only where this process may give it (root); mode and times always.
    if (::fchown(copy.fd.fd, before.st_uid, before.st_gid) != 0 && errno != EPERM)
        return fail("cannot set the copy's owner: " + errorText(errno), errno);
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    if (::fchmod(copy.fd.fd, before.st_mode & 07777) != 0 || ::futimens(copy.fd.fd, times) != 0 ||
        ::fsync(copy.fd.fd) != 0)
        return fail("cannot complete the copy: " + errorText(errno), errno);

    struct stat after {};
    if (::fstat(in->fd(), &after) != 0 || after.st_size != before.st_size || copied != uint64_t(before.st_size) ||
        !sameTime(after.st_mtim, before.st_mtim) || !sameTime(after.st_ctim, before.st_ctim))
        return fail("it changed while it was copied", 0);

    // Read the copy back through its name: what is checked is what stays.
    auto check = tw::SafeFile::open(copy.path(), &error);
    if (!check || !sameFile(check->status(), copy.created))
        return fail("the copy cannot be read back: " + errorText(check ? EINVAL : error), error);
    if (check->size() != uint64_t(before.st_size)) return fail("the copy has a different size", 0);
    auto copyDigest = TWDigestOfOpenFile(*check);
    if (!copyDigest || !(*copyDigest == sourceDigest)) return fail("the copy differs from the original", 0);

    struct stat now {};
    if (::lstat(source.c_str(), &now) != 0 || !sameFile(now, before))
        return fail("it was replaced while it was copied", 0);
    if (int named = copy.name(base, extension, options, destination))
        return fail("cannot give the copy its name: " + errorText(named), named);
    syncFolderOf(*destination);
    if (::unlink(source.c_str()) != 0) {
        error = errno;
        copy.discard();  // one copy, the original, rather than two
        return fail("cannot remove the original: " + errorText(error), error);
    }
    return tw::Status::success();
}

}  // namespace

void TWFolderMove::removePartialCopies() noexcept {
    for (auto& slot : gPartialCopies)
        if (slot.state.load() == 2) ::unlink(slot.path);
}

void TWFolderMove::splitName(const std::string& component, std::string* name, std::string* extension) {
    size_t dot = component.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == component.size()) {
        *name = component;
        extension->clear();
        return;
    }
    *name = component.substr(0, dot);
    *extension = component.substr(dot + 1);
}

std::string TWFolderMove::candidatePath(const std::string& base, const std::string& extension, unsigned long n) {
    std::string path = n == 0 ? base : base + " " + std::to_string(n);
    return extension.empty() ? path : path + "." + extension;
}

int TWFolderMove::renameNoReplace(const std::string& source, const std::string& destination, bool isFolder,
                                  const Options& options) {
    if (options.renameNoReplace) {
        if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0) return 0;
        int error = errno;
        // EINVAL/ENOSYS/EOPNOTSUPP: the file system (or kernel) does not know the flag.
        if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP) return error;
    }
    if (isFolder) {
        // A folder cannot be linked; reserve the name with an empty folder of our own,
        // which a rename may replace (it fails if anything was put inside meanwhile).
        if (::mkdir(destination.c_str(), 0700) != 0) return errno;
        if (::rename(source.c_str(), destination.c_str()) == 0) return 0;
        int error = errno;
        ::rmdir(destination.c_str());
        return error;
    }
    if (::link(source.c_str(), destination.c_str()) != 0) return errno;
    if (::unlink(source.c_str()) != 0) {
        int error = errno;
        ::unlink(destination.c_str());
        return error;
    }
    return 0;
}

tw::Status TWFolderMove::moveIntoFolder(const std::string& source, const std::string& folder, std::string* destination,
                                        const Options& options) {
    std::string unused;
    if (!destination) destination = &unused;
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0) return tw::Status::failure(source, errorText(errno), errno);

    std::string name, extension;
    splitName(lastComponent(source), &name, &extension);
    const std::string base = (!folder.empty() && folder.back() == '/' ? folder : folder + "/") + name;
    const bool isFolder = S_ISDIR(st.st_mode);

    for (unsigned long n = 0;; ++n) {
        *destination = candidatePath(base, extension, n);
        int error = renameNoReplace(source, *destination, isFolder, options);
        if (error == 0) return tw::Status::success();
        if (error == EEXIST) continue;
        if (error == EXDEV) break;
        return tw::Status::failure(source, errorText(error), error);
    }
    if (isFolder)
        return tw::Status::failure(source, "a package moves only within its file system, and the folder is on another",
                                   EXDEV);
    if (!S_ISREG(st.st_mode))
        return tw::Status::failure(source, "only a regular file can be copied to another file system", EXDEV);
    return copyAcross(source, folder, base, extension, destination, options);
}
