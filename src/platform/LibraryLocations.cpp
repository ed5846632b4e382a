#include "LibraryLocations.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>

namespace tw::libraries {

namespace {

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

std::string xdgFolder(const char* variable, const char* fallback) {
    if (const char* value = std::getenv(variable); value && value[0] == '/') return value;
    return homeDirectory() + "/" + fallback;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The keys of one [group] of an INI-style file ("key=value" lines; "key[$e]=" forms
// are read under their plain key).
std::map<std::string, std::string> iniGroup(const std::string& path, const std::string& group) {
    std::map<std::string, std::string> keys;
    std::ifstream in(path);
    std::string line;
    bool inGroup = false;
    while (std::getline(in, line)) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line.front() == '[') {
            inGroup = line == "[" + group + "]";
            continue;
        }
        const size_t equals = line.find('=');
        if (!inGroup || equals == std::string::npos) continue;
        std::string key = trimmed(line.substr(0, equals));
        if (const size_t bracket = key.find('['); bracket != std::string::npos) key = trimmed(key.substr(0, bracket));
        keys[key] = trimmed(line.substr(equals + 1));
    }
    return keys;
}

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string dataHome() {
    return xdgFolder("XDG_DATA_HOME", ".local/share");
}

std::string configHome() {
    return xdgFolder("XDG_CONFIG_HOME", ".config");
}

std::string shotwellDatabaseIn(const std::string& folder) {
    const std::string base = withoutTrailingSlash(folder);
    if (isRegularFile(base + "/data/photo.db")) return base + "/data/photo.db";
    if (isRegularFile(base + "/photo.db")) return base + "/photo.db";
    if (base.size() > 9 && base.compare(base.size() - 9, 9, "/photo.db") == 0 && isRegularFile(base)) return base;
    return {};
}

std::string shotwellFolder() {
    const std::string standard = dataHome() + "/shotwell";
    if (!shotwellDatabaseIn(standard).empty()) return standard;
    // Newer versions keep further libraries as profiles: [profile-name] groups with an
    // Id and, for a library kept elsewhere, a DataDir.
    const std::string ini = configHome() + "/shotwell/profiles.ini";
    std::ifstream in(ini);
    std::string line;
    std::vector<std::string> groups;
    while (std::getline(in, line)) {
        line = trimmed(line);
        if (line.size() > 2 && line.front() == '[' && line.back() == ']')
            groups.push_back(line.substr(1, line.size() - 2));
    }
    for (const std::string& group : groups) {
        auto keys = iniGroup(ini, group);
        std::string folder = keys["DataDir"];
        if (folder.empty() && !keys["Id"].empty()) folder = standard + "/profiles/" + keys["Id"];
        if (!folder.empty() && !shotwellDatabaseIn(folder).empty()) return folder;
    }
    return standard;
}

std::string digikamDatabaseIn(const std::string& folder) {
    const std::string base = withoutTrailingSlash(folder);
    if (isRegularFile(base + "/digikam4.db")) return base + "/digikam4.db";
    if (base.size() > 12 && base.compare(base.size() - 12, 12, "/digikam4.db") == 0 && isRegularFile(base)) return base;
    return {};
}

DigikamDatabase digikamDatabase() {
    DigikamDatabase found;
    auto keys = iniGroup(configHome() + "/digikamrc", "Database Settings");
    found.type = keys["Database Type"];
    if (found.type == "QMYSQL") {
        found.unsupported = true;
        return found;
    }
    std::string name = keys["Database Name"];
    if (name.empty()) return found;
    if (name.front() == '~') name = homeDirectory() + name.substr(1);
    const std::string base = withoutTrailingSlash(name);
    found.file = base.size() > 3 && base.compare(base.size() - 3, 3, ".db") == 0 ? base : base + "/digikam4.db";
    return found;
}

std::string rhythmboxFolder() {
    return dataHome() + "/rhythmbox";
}

std::string rhythmboxFolderIn(const std::string& folder) {
    const std::string base = withoutTrailingSlash(folder);
    if (isRegularFile(base + "/rhythmdb.xml")) return base;
    const size_t slash = base.rfind('/');
    if (slash != std::string::npos && base.compare(slash, std::string::npos, "/rhythmdb.xml") == 0 &&
        isRegularFile(base))
        return base.substr(0, slash);
    return {};
}

}  // namespace tw::libraries
