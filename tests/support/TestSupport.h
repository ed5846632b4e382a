#pragma once
// Helpers shared by every suite: temporary trees, awkward files, a private settings
// store, waiting on the main queue, and running code as an unprivileged user.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct gdImageStruct;  // libgd's image

namespace twtest {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it on destruction.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "twinsift-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() joined with a relative path.
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

    // Creates parent folders as needed. Returns the absolute path.
    std::string write(const std::string& relative, const std::string& content) const;
    std::string writeBytes(const std::string& relative, const std::vector<unsigned char>& content) const;
    std::string mkdir(const std::string& relative) const;
    std::string symlink(const std::string& target, const std::string& relative) const;
    std::string hardlink(const std::string& existingRelative, const std::string& relative) const;
    std::string fifo(const std::string& relative) const;

private:
    std::string path_;
};

// Folders of 200-letter names nested inside `dir`, made one level at a time, until their
// path passes PATH_MAX. On destruction half the chain moves up into `dir`, so that the
// TempDir can remove the rest by path. made() is false when the chain could not be made.
class TooLongPath {
public:
    explicit TooLongPath(const TempDir& dir);
    ~TooLongPath();
    TooLongPath(const TooLongPath&) = delete;
    TooLongPath& operator=(const TooLongPath&) = delete;

    bool made() const { return !firstTooLong_.empty(); }
    // The shallowest folder of the chain whose path is too long.
    const std::string& firstTooLong() const { return firstTooLong_; }

private:
    std::string dir_;
    std::string middle_;
    std::string firstTooLong_;
};

// Deterministic pseudo-random bytes.
std::string randomBytes(size_t length, unsigned seed);
// The PNG file of `image` (libgd's compression level; -1 for its default). The image
// stays the caller's.
std::string pngBytesOf(gdImageStruct* image, int compression = -1);
std::string readFile(const std::string& path);
// One line read from `fd` (without its line end), waiting at most until `deadline`.
std::string readLine(int fd, std::chrono::steady_clock::time_point deadline);
bool exists(const std::string& path);  // lstat succeeds
void removeTree(const std::string& path);

// Points the defaults store at a private, empty config folder for the life of the
// object (XDG_CONFIG_HOME), resetting the store and the preference singleton on entry
// and on exit. Every suite that reads or writes settings uses one. The cache of earlier
// scans (XDG_CACHE_HOME) is private to the object too, so that no scan is served what
// another test's scan learned.
class ScopedDefaults {
public:
    ScopedDefaults();
    ~ScopedDefaults();
    const std::string& configHome() const { return dir_.path(); }
    std::string defaultsPath() const;
    std::string cacheHome() const { return dir_.path() + "/cache"; }

private:
    TempDir dir_;
    std::string oldValue_;
    bool hadOld_ = false;
    std::string oldCache_;
    bool hadOldCache_ = false;
};

// Waits until the file clock has passed the change times of files made so far
// (TWFileStamp::isSettledAt), so that a scan begun later keeps what it reads of them.
void letFileTimesSettle();

// Makes the calling thread the main queue's thread and runs the queue until pred()
// holds; fails the current test after `timeout`.
bool runMainQueueUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout = std::chrono::seconds(30));

// Runs `body` in a forked child that has dropped to an unprivileged user (nobody) and
// returns the child's exit status (body's return value), or -1 if the child could not
// drop its privileges or died. Use it for permission tests: root reads everything.
int runAsUnprivileged(const std::function<int()>& body);
// The uid/gid that runAsUnprivileged switches to (for chown in the test's setup).
uid_t unprivilegedUid();
gid_t unprivilegedGid();

}  // namespace twtest
