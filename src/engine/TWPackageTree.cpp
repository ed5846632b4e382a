#include "TWPackageTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr size_t kChunk = 64u << 10;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Called for every entry, parents before their contents; false ends the walk.
using Visit =
    std::function<bool(int parent, const std::string& name, const std::string& relative, const struct stat& entry)>;

std::optional<std::vector<std::string>> sortedNames(int folder) {
    const int listed = ::dup(folder);
    if (listed < 0) return std::nullopt;
    DIR* dir = ::fdopendir(listed);
    if (!dir) {
        ::close(listed);
        return std::nullopt;
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    const int error = errno;
    ::closedir(dir);
    if (error != 0) return std::nullopt;
    std::sort(names.begin(), names.end());
    return names;
}

bool walkFolder(int folder, const std::string& prefix, int depth, const Visit& visit) {
    if (depth > TWPackageTree::kMaxDepth) return false;
    const auto names = sortedNames(folder);
    if (!names) return false;
    for (const std::string& name : *names) {
        struct stat entry {};
        if (::fstatat(folder, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) return false;
        const std::string relative = prefix.empty() ? name : prefix + "/" + name;
        if (!visit(folder, name, relative, entry)) return false;
        if (!S_ISDIR(entry.st_mode)) continue;
        Descriptor child(::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat opened {};
        if (child.get() < 0 || ::fstat(child.get(), &opened) != 0 || opened.st_ino != entry.st_ino ||
            opened.st_dev != entry.st_dev)
            return false;
        if (!walkFolder(child.get(), relative, depth + 1, visit)) return false;
    }
    return true;
}

bool walkTree(const std::string& root, const Visit& visit) {
    Descriptor folder(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return folder.get() >= 0 && walkFolder(folder.get(), "", 0, visit);
}

bool sameVersion(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// The content digest of the regular file `name` in `folder` listed as `entry`; nullopt
// when it is no longer that file or changed while it was read.
std::optional<TWContentDigest> digestOfEntry(int folder, const std::string& name, const struct stat& entry) {
    Descriptor file(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat before {
    }, after{};
    if (file.get() < 0 || ::fstat(file.get(), &before) != 0 || !sameVersion(before, entry)) return std::nullopt;
    auto digest = TWPackageTree::digestOfDescriptor(file.get());
    if (!digest || ::fstat(file.get(), &after) != 0 || !sameVersion(before, after)) return std::nullopt;
    return digest;
}

std::optional<std::string> linkTarget(int folder, const std::string& name, const struct stat& entry) {
    std::string target(static_cast<size_t>(entry.st_size) + 1, '\0');
    const ssize_t n = ::readlinkat(folder, name.c_str(), target.data(), target.size());
    if (n < 0 || static_cast<size_t>(n) >= target.size()) return std::nullopt;  // changed meanwhile
    target.resize(static_cast<size_t>(n));
    return target;
}

using State = std::unique_ptr<XXH3_state_t, XXH_errorcode (*)(XXH3_state_t*)>;

State newState() {
    State state(XXH3_createState(), XXH3_freeState);
    if (state && XXH3_128bits_reset(state.get()) != XXH_OK) state.reset();
    return state;
}

void addNumber(XXH3_state_t* state, uint64_t value) {
    XXH3_128bits_update(state, &value, sizeof value);
}

void addText(XXH3_state_t* state, const std::string& text) {
    addNumber(state, text.size());
    XXH3_128bits_update(state, text.data(), text.size());
}

TWContentDigest digestOfState(XXH3_state_t* state) {
    const XXH128_hash_t value = XXH3_128bits_digest(state);
    return TWContentDigest{value.high64, value.low64};
}

}  // namespace

std::optional<TWContentDigest> TWPackageTree::digestOfDescriptor(int fd) {
    State state = newState();
    if (!state) return std::nullopt;
    unsigned char chunk[kChunk];
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(fd, chunk, sizeof chunk, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        XXH3_128bits_update(state.get(), chunk, static_cast<size_t>(n));
        offset += n;
    }
    return digestOfState(state.get());
}

std::optional<TWPackageTree::Sizes> TWPackageTree::sizesOf(const std::string& folder) {
    Sizes sizes;
    const bool walked = walkTree(folder, [&](int, const std::string&, const std::string&, const struct stat& entry) {
        if (S_ISREG(entry.st_mode)) sizes.size += static_cast<uint64_t>(entry.st_size);
        sizes.sizeOnDisk += static_cast<uint64_t>(entry.st_blocks) * 512;
        return true;
    });
    if (!walked) return std::nullopt;
    return sizes;
}

std::optional<TWContentDigest> TWPackageTree::digestOf(const std::string& folder) {
    State state = newState();
    if (!state) return std::nullopt;
    const bool walked = walkTree(
        folder, [&](int parent, const std::string& name, const std::string& relative, const struct stat& entry) {
            XXH3_state_t* s = state.get();
            if (S_ISREG(entry.st_mode)) {
                const auto content = digestOfEntry(parent, name, entry);
                if (!content) return false;
                addText(s, "f");
                addText(s, relative);
                addNumber(s, static_cast<uint64_t>(entry.st_size));
                addNumber(s, content->high);
                addNumber(s, content->low);
            } else if (S_ISLNK(entry.st_mode)) {
                const auto target = linkTarget(parent, name, entry);
                if (!target) return false;
                addText(s, "l");
                addText(s, relative);
                addText(s, *target);
            } else {
                addText(s, S_ISDIR(entry.st_mode) ? "d" : "o");
                addText(s, relative);
            }
            return true;
        });
    if (!walked) return std::nullopt;
    return digestOfState(state.get());
}
