#include "DigikamLibrary.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "Log.h"
#include "SqliteDatabase.h"

namespace tw {

namespace {

constexpr int64_t kVisible = 1;
constexpr const char* kInternalTagsRoot = "_Digikam_Internal_Tags_";

std::string checkSchema(SqliteDatabase& db) {
    if (!db.isOpen()) return "cannot open the database: " + db.error();
    if (!db.hasTable("Settings") || !db.hasTable("Images")) {
        if (!db.error().empty()) return "cannot read the database: " + db.error();
        return "not a digiKam database (no Settings or Images table)";
    }
    int64_t version = -1;
    if (!db.query("SELECT value FROM Settings WHERE keyword = 'DBVersion'", {}, [&](const SqliteRow& row) {
            version = std::atoll(row.text(0).c_str());
            return false;
        }))
        return "cannot read the database: " + db.error();
    if (version > DigikamLibrary::kNewestSchema || version < DigikamLibrary::kOldestSchema)
        return "its schema version " + std::to_string(version) + " is not one of the versions known (" +
               std::to_string(DigikamLibrary::kOldestSchema) + " to " + std::to_string(DigikamLibrary::kNewestSchema) +
               ")";
    return {};
}

// The value of `key` in an identifier's query ("volumeid:?uuid=...&fileuuid=...").
std::string queryValue(const std::string& identifier, const std::string& key) {
    const size_t question = identifier.find('?');
    if (question == std::string::npos) return {};
    std::stringstream query(identifier.substr(question + 1));
    std::string pair;
    while (std::getline(query, pair, '&'))
        if (pair.rfind(key + "=", 0) == 0) {
            std::string value = pair.substr(key.size() + 1), decoded;
            for (size_t i = 0; i < value.size(); ++i) {
                if (value[i] == '%' && i + 2 < value.size()) {
                    decoded += static_cast<char>(std::strtol(value.substr(i + 1, 2).c_str(), nullptr, 16));
                    i += 2;
                } else {
                    decoded += value[i];
                }
            }
            return decoded;
        }
    return {};
}

// Where the block device of a file-system UUID is mounted; "" when it is not.
std::string mountPointOfUuid(const std::string& uuid) {
    char* device = ::realpath(("/dev/disk/by-uuid/" + uuid).c_str(), nullptr);
    if (!device) return {};
    const std::string wanted = device;
    std::free(device);
    std::ifstream mounts("/proc/self/mounts");
    std::string source, target, rest;
    while (mounts >> source >> target && std::getline(mounts, rest)) {
        char* resolved = ::realpath(source.c_str(), nullptr);
        const bool same = resolved && wanted == resolved;
        std::free(resolved);
        if (same) return target == "/" ? "" : target;  // joined with specificPath
    }
    return {};
}

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::string DigikamLibrary::collectionFolder(const std::string& identifier, const std::string& specificPath) {
    std::string base;
    if (std::string path = queryValue(identifier, "path"); !path.empty()) {
        base = path;
    } else if (std::string mount = queryValue(identifier, "mountpath"); !mount.empty()) {
        base = mount;
    } else if (std::string uuid = queryValue(identifier, "uuid"); !uuid.empty()) {
        base = mountPointOfUuid(uuid);
        struct stat st {};
        if (base.empty() && ::stat(("/dev/disk/by-uuid/" + uuid).c_str(), &st) != 0) return {};
    } else {
        return {};
    }
    return withoutTrailingSlash(withoutTrailingSlash(base) + "/" + specificPath);
}

LibraryContent DigikamLibrary::read() const {
    LibraryContent content;
    content.library = "digiKam";
    content.location = database_;
    content.root.name = "digiKam";
    SqliteDatabase db = SqliteDatabase::openReadOnly(database_);
    if (std::string problem = checkSchema(db); !problem.empty()) {
        content.problem = problem;
        return content;
    }
    std::map<int64_t, std::string> roots;                         // available collections: id -> folder
    std::map<int64_t, std::pair<std::string, std::string>> tags;  // id -> (pid as text, name)
    std::map<int64_t, int64_t> parentOf;
    std::map<int64_t, size_t> byImage;
    bool read = db.query(
        "SELECT id, identifier, specificPath, label FROM AlbumRoots WHERE status = 0", {}, [&](const SqliteRow& row) {
            std::string folder = collectionFolder(row.text(1), row.text(2));
            if (folder.empty())
                log("digiKam: collection %s is not mounted here; its items are skipped", row.text(3).c_str());
            else
                roots[row.integer(0)] = folder;
            return true;
        });
    read = read && db.query(
                       "SELECT i.id, i.name, a.albumRoot, a.relativePath FROM Images i JOIN Albums a ON "
                       "i.album = a.id WHERE i.status = ? ORDER BY i.id",
                       {kVisible}, [&](const SqliteRow& row) {
                           auto root = roots.find(row.integer(2));
                           if (root == roots.end()) return true;
                           const std::string relative = row.text(3);
                           std::string folder = root->second + (relative == "/" ? "" : relative);
                           const size_t index = content.items.size();
                           content.items.push_back(
                               {kIdentifierPrefix + std::to_string(row.integer(0)), folder + "/" + row.text(1)});
                           byImage[row.integer(0)] = index;
                           content.root.add(splitLibraryPath(relative), index);
                           return true;
                       });
    read = read && db.query("SELECT id, pid, name FROM Tags", {}, [&](const SqliteRow& row) {
        tags[row.integer(0)] = {"", row.text(2)};
        parentOf[row.integer(0)] = row.isNull(1) ? 0 : row.integer(1);
        return true;
    });
    // A tag's components from its top-level ancestor down; none for internal tags.
    auto components = [&](int64_t tag) {
        std::vector<std::string> names;
        for (int depth = 0; tag > 0 && depth < 64; ++depth) {
            auto it = tags.find(tag);
            if (it == tags.end()) return std::vector<std::string>{};
            names.insert(names.begin(), it->second.second);
            tag = parentOf[tag];
        }
        if (!names.empty() && names.front() == kInternalTagsRoot) return std::vector<std::string>{};
        return names;
    };
    read = read && db.query("SELECT imageid, tagid FROM ImageTags", {}, [&](const SqliteRow& row) {
        auto image = byImage.find(row.integer(0));
        if (image == byImage.end()) return true;
        std::vector<std::string> path = components(row.integer(1));
        if (!path.empty()) content.root.add(path, image->second);
        return true;
    });
    if (!read) {
        const std::string error = db.error();
        content = LibraryContent{"digiKam", database_, {}, {"digiKam", {}, {}}, "cannot read the database: " + error};
    }
    return content;
}

namespace {

// The id of the tag `name` below `parent`, made when missing; -1 on an error.
int64_t findOrMakeTag(SqliteDatabase& db, int64_t parent, const std::string& name) {
    int64_t id = -1;
    if (!db.query("SELECT id FROM Tags WHERE pid = ? AND name = ?", {parent, name}, [&](const SqliteRow& row) {
            id = row.integer(0);
            return false;
        }))
        return -1;
    if (id >= 0) return id;
    // The insert trigger keeps TagsTree, digiKam's table of ancestors, up to date.
    if (!db.execute("INSERT INTO Tags (pid, name) VALUES (?, ?)", {parent, name})) return -1;
    return db.lastInsertRowId();
}

}  // namespace

Status DigikamLibrary::addToTag(const std::vector<std::string>& identifiers, const std::string& parent,
                                const std::string& child) const {
    SqliteDatabase db = SqliteDatabase::openReadWrite(database_);
    if (std::string problem = checkSchema(db); !problem.empty()) return Status::failure(database_, problem);
    std::vector<int64_t> images;
    const std::string prefix = kIdentifierPrefix;
    for (const auto& identifier : identifiers) {
        bool found = false;
        if (identifier.rfind(prefix, 0) == 0) {
            const int64_t id = std::atoll(identifier.c_str() + prefix.size());
            db.query("SELECT 1 FROM Images WHERE id = ?", {id}, [&](const SqliteRow&) {
                found = true;
                return false;
            });
            if (found) images.push_back(id);
        }
        if (!found)
            log("digiKam: item %s is not in the library %s any more; not tagged", identifier.c_str(),
                database_.c_str());
    }
    if (images.empty()) return Status::failure(database_, "none of the items is in the digiKam library any more");

    if (!db.execute("BEGIN IMMEDIATE")) return Status::failure(database_, "cannot start a transaction: " + db.error());
    const int64_t parentTag = findOrMakeTag(db, 0, parent);
    const int64_t childTag = parentTag < 0 ? -1 : findOrMakeTag(db, parentTag, child);
    bool ok = childTag >= 0;
    for (size_t i = 0; ok && i < images.size(); ++i)
        ok = db.execute("INSERT OR IGNORE INTO ImageTags (imageid, tagid) VALUES (?, ?)", {images[i], childTag});
    if (!ok || !db.execute("COMMIT")) {
        const std::string error = db.error();
        db.execute("ROLLBACK");
        return Status::failure(database_, "cannot write the tags: " + error);
    }
    return Status::success();
}

}  // namespace tw
