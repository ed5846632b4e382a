#include "platform/TrashEntry.h"

#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "platform/Log.h"

namespace tw {
namespace {

// GIO stops looking for a free name in a Trash long before this.
constexpr int kMostNameTries = 100000;

std::string parentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isObject(const std::string& path, dev_t device, ino_t inode) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && st.st_dev == device && st.st_ino == inode;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The name GIO gives the `id`th item of one base name in a Trash: the base name itself,
// then the number put before the first dot ("report.2.txt").
std::string trashName(const std::string& baseName, int id) {
    if (id == 1) return baseName;
    const size_t dot = baseName.find('.');
    if (dot == std::string::npos) return baseName + "." + std::to_string(id);
    return baseName.substr(0, dot) + "." + std::to_string(id) + baseName.substr(dot);
}

std::optional<std::string> readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The folder a volume is mounted at: the highest folder above `path` on `device`.
std::string mountTopOf(const std::string& path, dev_t device) {
    std::string top = parentOf(path);
    while (top != "/") {
        const std::string up = parentOf(top);
        struct stat st {};
        if (::lstat(up.c_str(), &st) != 0 || st.st_dev != device) break;
        top = up;
    }
    return top;
}

struct Candidate {
    std::string trashFolder;
    std::string topFolder;  // empty: records hold absolute paths
};

// The Trash folders that may hold an item from `path`: the home Trash, then the two
// per-volume ones of its volume.
std::vector<Candidate> trashFoldersFor(const std::string& path, dev_t device) {
    std::vector<Candidate> candidates;
    candidates.push_back({std::string(g_get_user_data_dir()) + "/Trash", ""});
    const std::string top = mountTopOf(path, device);
    const std::string uid = std::to_string(::getuid());
    const std::string base = top == "/" ? "" : top;
    candidates.push_back({base + "/.Trash/" + uid, top});
    candidates.push_back({base + "/.Trash-" + uid, top});
    return candidates;
}

// The name under which the item (device, inode) lies in `trashFolder`/files: first by
// GIO's naming, then by a walk through the folder.
std::optional<std::string> nameInTrash(const std::string& trashFolder, const std::string& baseName, dev_t device,
                                       ino_t inode) {
    const std::string files = trashFolder + "/files/";
    const std::string info = trashFolder + "/info/";
    for (int id = 1; id < kMostNameTries; ++id) {
        const std::string name = trashName(baseName, id);
        if (isObject(files + name, device, inode)) return name;
        if (!exists(info + name + ".trashinfo")) break;
    }
    DIR* dir = ::opendir(files.c_str());
    if (!dir) return std::nullopt;
    std::optional<std::string> found;
    while (dirent* entry = ::readdir(dir)) {
        if (isObject(files + entry->d_name, device, inode)) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

Status refused(const std::string& path, const std::string& reason, int error) {
    log("Did not restore file(%s) from the Trash: %s", path.c_str(), reason.c_str());
    return Status::failure(path, reason, error);
}

// Renames `from` to `to` unless something is at `to`: never replaces it.
int renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the flag: a second name for a file is refused atomically
    // when the name is taken; a folder is looked at first.
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode)) {
        if (::link(from.c_str(), to.c_str()) != 0) return errno;
        return ::unlink(from.c_str()) == 0 ? 0 : errno;
    }
    if (exists(to)) return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

TrashEntry::TrashEntry(std::string originalPath, std::string trashFolder, std::string topFolder, std::string name,
                       dev_t device, ino_t inode)
    : originalPath_(std::move(originalPath)),
      trashFolder_(std::move(trashFolder)),
      topFolder_(std::move(topFolder)),
      trashedPath_(trashFolder_ + "/files/" + name),
      infoPath_(trashFolder_ + "/info/" + name + ".trashinfo"),
      device_(device),
      inode_(inode) {}

std::optional<std::string> TrashEntry::recordedPath(const std::string& infoText, const std::string& topFolder) {
    std::istringstream lines(infoText);
    std::string line;
    bool inSection = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[') {
            inSection = line == "[Trash Info]";
            continue;
        }
        if (!inSection || line.rfind("Path=", 0) != 0) continue;
        std::string path = percentDecoded(line.substr(5));
        if (path.empty()) return std::nullopt;
        if (path.front() == '/') return path;
        if (topFolder.empty()) return std::nullopt;
        return (topFolder == "/" ? std::string() : topFolder) + "/" + path;
    }
    return std::nullopt;
}

std::optional<TrashEntry> TrashEntry::locate(const std::string& originalPath, dev_t device, ino_t inode) {
    const std::string baseName = baseNameOf(originalPath);
    for (const Candidate& candidate : trashFoldersFor(originalPath, device)) {
        struct stat st {};
        if (::stat((candidate.trashFolder + "/files").c_str(), &st) != 0 || st.st_dev != device) continue;
        const std::optional<std::string> name = nameInTrash(candidate.trashFolder, baseName, device, inode);
        if (!name) continue;
        TrashEntry entry(originalPath, candidate.trashFolder, candidate.topFolder, *name, device, inode);
        const std::optional<std::string> info = readText(entry.infoPath_);
        if (info && recordedPath(*info, candidate.topFolder) == originalPath) return entry;
    }
    return std::nullopt;
}

Status TrashEntry::restore() const {
    const std::optional<std::string> info = readText(infoPath_);
    if (!info || recordedPath(*info, topFolder_) != originalPath_)
        return refused(originalPath_, "the Trash no longer holds it", ENOENT);
    if (!isObject(trashedPath_, device_, inode_)) return refused(originalPath_, "the Trash no longer holds it", ENOENT);
    if (exists(originalPath_)) return refused(originalPath_, "a file of that name is there now", EEXIST);
    std::error_code ec;
    std::filesystem::create_directories(parentOf(originalPath_), ec);
    if (ec) return refused(originalPath_, "its folder cannot be made again: " + ec.message(), ec.value());
    if (const int error = renameNoReplace(trashedPath_, originalPath_); error != 0) {
        if (error == EEXIST) return refused(originalPath_, "a file of that name is there now", EEXIST);
        return refused(originalPath_, std::strerror(error), error);
    }
    // The item is back; a record left behind would name an item the Trash no longer has.
    if (::unlink(infoPath_.c_str()) != 0)
        log("Restored file(%s) but could not remove its Trash record(%s): %s", originalPath_.c_str(), infoPath_.c_str(),
            std::strerror(errno));
    return Status::success();
}

}  // namespace tw
