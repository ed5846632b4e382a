#include "TestSupport.h"

#include <fcntl.h>
#include <gd.h>
#include <grp.h>
#include <limits.h>
#include <poll.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "files/TWFileStamp.h"
#include "platform/DefaultsStore.h"
#include "platform/MainQueue.h"
#include "prefs/TWPreference.h"

namespace fs = std::filesystem;

namespace twtest {

namespace {
void ensureParent(const std::string& path) {
    fs::path p(path);
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
}
}  // namespace

TempDir::TempDir(const std::string& prefix) {
    const char* base = getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed for " + templ);
    path_ = buf.data();
}

TempDir::~TempDir() {
    removeTree(path_);
}

std::string TempDir::write(const std::string& relative, const std::string& content) const {
    std::string p = path_ + "/" + relative;
    ensureParent(p);
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + p);
    return p;
}

std::string TempDir::writeBytes(const std::string& relative, const std::vector<unsigned char>& content) const {
    return write(relative, std::string(content.begin(), content.end()));
}

std::string TempDir::mkdir(const std::string& relative) const {
    std::string p = path_ + "/" + relative;
    fs::create_directories(p);
    return p;
}

std::string TempDir::symlink(const std::string& target, const std::string& relative) const {
    std::string p = path_ + "/" + relative;
    ensureParent(p);
    if (::symlink(target.c_str(), p.c_str()) != 0) throw std::runtime_error("symlink failed: " + p);
    return p;
}

std::string TempDir::hardlink(const std::string& existingRelative, const std::string& relative) const {
    std::string p = path_ + "/" + relative;
    ensureParent(p);
    if (::link((path_ + "/" + existingRelative).c_str(), p.c_str()) != 0) throw std::runtime_error("link failed: " + p);
    return p;
}

std::string TempDir::fifo(const std::string& relative) const {
    std::string p = path_ + "/" + relative;
    ensureParent(p);
    if (::mkfifo(p.c_str(), 0644) != 0) throw std::runtime_error("mkfifo failed: " + p);
    return p;
}

TooLongPath::TooLongPath(const TempDir& dir) : dir_(dir.path()) {
    const std::string name(200, 'd');
    int fd = ::open(dir_.c_str(), O_DIRECTORY | O_RDONLY);
    std::string path = dir_;
    std::string tooLong;
    for (int level = 0; fd >= 0 && path.size() < PATH_MAX + name.size(); ++level) {
        if (::mkdirat(fd, name.c_str(), 0755) != 0) break;
        const int next = ::openat(fd, name.c_str(), O_DIRECTORY | O_RDONLY);
        ::close(fd);
        fd = next;
        path += "/" + name;
        if (level == 9) middle_ = path;
        if (tooLong.empty() && path.size() >= PATH_MAX) tooLong = path;
    }
    if (fd >= 0) {
        ::close(fd);
        firstTooLong_ = tooLong;
    }
}

TooLongPath::~TooLongPath() {
    if (!middle_.empty()) ::rename(middle_.c_str(), (dir_ + "/middle-of-a-long-path").c_str());
}

std::string pngBytesOf(gdImageStruct* image, int compression) {
    int size = 0;
    void* data = gdImagePngPtrEx(image, &size, compression);
    std::string bytes(static_cast<const char*>(data), static_cast<size_t>(size));
    gdFree(data);
    return bytes;
}

std::string randomBytes(size_t length, unsigned seed) {
    std::mt19937 gen(seed);
    std::string out(length, '\0');
    for (auto& c : out) c = static_cast<char>(gen() & 0xFF);
    return out;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

void removeTree(const std::string& path) {
    std::error_code ec;
    // Tests may leave folders without permissions behind: give them back first.
    for (auto it = fs::recursive_directory_iterator(path, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0755);
    }
    fs::remove_all(path, ec);
}

ScopedDefaults::ScopedDefaults() : dir_("twinsift-config") {
    if (const char* old = getenv("XDG_CONFIG_HOME")) {
        hadOld_ = true;
        oldValue_ = old;
    }
    setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
    if (const char* old = getenv("XDG_CACHE_HOME")) {
        hadOldCache_ = true;
        oldCache_ = old;
    }
    setenv("XDG_CACHE_HOME", cacheHome().c_str(), 1);
    tw::DefaultsStore::resetStandard();
    TWPreference::resetShared();
}

ScopedDefaults::~ScopedDefaults() {
    TWPreference::resetShared();
    if (hadOld_)
        setenv("XDG_CONFIG_HOME", oldValue_.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    if (hadOldCache_)
        setenv("XDG_CACHE_HOME", oldCache_.c_str(), 1);
    else
        unsetenv("XDG_CACHE_HOME");
    tw::DefaultsStore::resetStandard();
}

void letFileTimesSettle() {
    // Files made so far were stamped no later than now; once the file clock has passed
    // now, a cache session begun later finds their stamps settled. The clock of file
    // times, not another thread, is what this waits for.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const int64_t nowNs = int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    while (TWFileStamp::fileClockNs() <= nowNs) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::string ScopedDefaults::defaultsPath() const {
    return dir_.path() + "/twinsift/defaults.json";
}

bool runMainQueueUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    auto& queue = tw::MainQueue::shared();
    queue.adoptCurrentThread();
    return queue.runUntil(pred, timeout);
}

uid_t unprivilegedUid() {
    if (const passwd* pw = getpwnam("nobody")) return pw->pw_uid;
    return 65534;
}

gid_t unprivilegedGid() {
    if (const passwd* pw = getpwnam("nobody")) return pw->pw_gid;
    return 65534;
}

int runAsUnprivileged(const std::function<int()>& body) {
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(unprivilegedGid()) != 0 || setuid(unprivilegedUid()) != 0) _exit(120);
        if (geteuid() == 0) _exit(121);
        int rc = 122;
        try {
            rc = body();
        } catch (...) {
            rc = 123;
        }
        fflush(nullptr);
        _exit(rc);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    if (!WIFEXITED(status)) return -1;
    int rc = WEXITSTATUS(status);
    return rc >= 120 && rc <= 123 ? -1 : rc;
}

std::string readLine(int fd, std::chrono::steady_clock::time_point deadline) {
    std::string line;
    char c;
    while (line.empty() || line.back() != '\n') {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        if (read(fd, &c, 1) != 1) break;
        line.push_back(c);
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line;
}

}  // namespace twtest
