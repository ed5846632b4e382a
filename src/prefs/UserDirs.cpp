#include "prefs/UserDirs.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/DefaultsStore.h"
#include "platform/SafeFile.h"

namespace tw::userdirs {

namespace {

constexpr size_t kUserDirsLimit = 64 * 1024;

// The value of one line, in the file's shell-like quoting: "…" with backslash escapes.
std::string unquote(const std::string& raw) {
    std::string value = raw;
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r')) value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) ++i;
        out += value[i];
    }
    return out;
}

std::string lookupUserDirsFile(const std::string& xdgName) {
    auto file = SafeFile::open(DefaultsStore::configHome() + "/user-dirs.dirs");
    if (!file) return {};
    auto bytes = file->readAll(kUserDirsLimit);
    if (!bytes) return {};
    std::string text(bytes->begin(), bytes->end());
    std::string prefix = "XDG_" + xdgName + "_DIR=";
    std::string found;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        if (line.compare(first, prefix.size(), prefix) != 0) continue;
        found = unquote(line.substr(first + prefix.size()));  // the last definition wins, as in a shell
    }
    if (found.rfind("$HOME", 0) == 0) {
        std::string rest = found.substr(5);
        if (!rest.empty() && rest.front() != '/') return {};
        std::string home = homeDirectory();
        return home == "/" && !rest.empty() ? rest : home + rest;
    }
    if (!found.empty() && found.front() == '/') return found;
    return {};  // relative paths are not allowed there
}

}  // namespace

std::string homeDirectory() {
    std::string home;
    if (const char* h = getenv("HOME"); h && *h) {
        home = h;
    } else {
        struct passwd pw {};
        struct passwd* found = nullptr;
        char buffer[4096];
        if (getpwuid_r(getuid(), &pw, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
            home = found->pw_dir;
    }
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    return home.empty() ? "/" : home;
}

std::string userDirectory(const std::string& xdgName, const std::string& fallback) {
    std::string configured = lookupUserDirsFile(xdgName);
    if (!configured.empty()) return configured;
    std::string home = homeDirectory();
    return (home == "/" ? "" : home) + "/" + fallback;
}

std::string resolveSymlinks(const std::string& path) {
    char buffer[PATH_MAX];
    if (realpath(path.c_str(), buffer)) return buffer;
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos || path.find_first_not_of('/') == std::string::npos) return path;
    std::string head = path.substr(0, slash);
    std::string tail = path.substr(slash + 1);
    if (head.empty()) return path;
    std::string resolvedHead = resolveSymlinks(head);
    if (tail.empty()) return resolvedHead;
    return (resolvedHead == "/" ? "" : resolvedHead) + "/" + tail;
}

}  // namespace tw::userdirs
