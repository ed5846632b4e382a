#include "prefs/HiddenList.h"

#include <sys/stat.h>

#include <ctime>
#include <string>
#include <unordered_set>

#include "platform/SafeFile.h"

namespace tw::hiddenlist {

namespace {

// A .hidden file larger than this is not a list of names.
constexpr size_t kHiddenFileLimit = 4 * 1024 * 1024;
// Within this many seconds of its modification a file may change again without its
// attributes showing it (coarse timestamps), so it is read again.
constexpr time_t kRacySeconds = 2;

struct Cached {
    std::string folder;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    struct timespec mtime {};
    struct timespec ctime {};
    std::unordered_set<std::string> names;

    bool matches(const std::string& f, const struct stat& st) const {
        return folder == f && device == st.st_dev && inode == st.st_ino && size == st.st_size &&
               mtime.tv_sec == st.st_mtim.tv_sec && mtime.tv_nsec == st.st_mtim.tv_nsec &&
               ctime.tv_sec == st.st_ctim.tv_sec && ctime.tv_nsec == st.st_ctim.tv_nsec;
    }
};

bool isRecent(const struct stat& st) {
    time_t delta = time(nullptr) - st.st_mtim.tv_sec;
    return delta <= kRacySeconds && delta >= -kRacySeconds;
}

void readNames(const std::string& file, std::unordered_set<std::string>& names) {
    names.clear();
    auto opened = SafeFile::open(file);
    if (!opened) return;
    auto bytes = opened->readAll(kHiddenFileLimit);
    if (!bytes) return;
    std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) names.emplace(line);
    }
}

}  // namespace

bool lists(const std::string& folder, std::string_view name) {
    thread_local Cached cached;
    std::string file = (folder == "/" ? std::string() : folder) + "/.hidden";
    struct stat st {};
    if (lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (!cached.matches(folder, st) || isRecent(st)) {
        readNames(file, cached.names);
        cached.folder = folder;
        cached.device = st.st_dev;
        cached.inode = st.st_ino;
        cached.size = st.st_size;
        cached.mtime = st.st_mtim;
        cached.ctime = st.st_ctim;
    }
    return cached.names.find(std::string(name)) != cached.names.end();
}

}  // namespace tw::hiddenlist
