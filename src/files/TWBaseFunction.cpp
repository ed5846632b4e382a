#include "files/TWBaseFunction.h"

#include <sys/stat.h>

#include <cstdlib>
#include <optional>

namespace {

std::optional<std::string> realPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return std::nullopt;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

std::string withoutTrailingSlashes(const std::string& path) {
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) return path.empty() ? path : "/";
    return path.substr(0, end + 1);
}

// Without the file system: `path` lies below `parent` when `parent` is a leading run of
// whole components of it ("/a/b" holds "/a/b/c", not "/a/bc" nor "/x/a/b/c").
bool textuallyBelow(const std::string& parent, const std::string& path) {
    const std::string folder = withoutTrailingSlashes(parent);
    const std::string item = withoutTrailingSlashes(path);
    if (folder.empty() || item.size() <= folder.size()) return false;
    if (item.compare(0, folder.size(), folder) != 0) return false;
    return folder.back() == '/' || item[folder.size()] == '/';
}

}  // namespace

bool TWBaseFunction::pathIsParentOfPath(const std::string& parent, const std::string& path) {
    struct stat folder {};
    auto resolved = realPath(path);
    if (!resolved || stat(parent.c_str(), &folder) != 0) return textuallyBelow(parent, path);
    if (!S_ISDIR(folder.st_mode)) return false;
    // Each ancestor of the resolved item, nearest first, up to "/"; the item itself is
    // not its own parent.
    std::string ancestor = *resolved;
    while (ancestor != "/") {
        size_t slash = ancestor.rfind('/');
        ancestor = slash == 0 || slash == std::string::npos ? "/" : ancestor.substr(0, slash);
        struct stat st {};
        if (stat(ancestor.c_str(), &st) == 0 && st.st_dev == folder.st_dev && st.st_ino == folder.st_ino) return true;
    }
    return false;
}
