#include "ShotwellLibrary.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <map>
#include <set>

#include "Log.h"
#include "SqliteDatabase.h"

namespace tw {

namespace {

constexpr int64_t kPhotoHiddenStates = 0x4 | 0x8;  // trash, offline
constexpr int64_t kVideoHiddenStates = 0x1 | 0x2;  // trash, offline

// The schema version, or a problem text.
std::string checkSchema(SqliteDatabase& db, int64_t* version) {
    if (!db.isOpen()) return "cannot open the database: " + db.error();
    if (!db.hasTable("VersionTable")) {
        if (!db.error().empty()) return "cannot read the database: " + db.error();
        return "not a Shotwell database (no VersionTable)";
    }
    *version = -1;
    if (!db.query("SELECT MAX(schema_version) FROM VersionTable", {}, [&](const SqliteRow& row) {
            if (!row.isNull(0)) *version = row.integer(0);
            return false;
        }))
        return "cannot read the database: " + db.error();
    if (*version > ShotwellLibrary::kNewestSchema)
        return "its schema version " + std::to_string(*version) + " is newer than the versions known (" +
               std::to_string(ShotwellLibrary::kOldestSchema) + " to " +
               std::to_string(ShotwellLibrary::kNewestSchema) + ")";
    if (*version < ShotwellLibrary::kOldestSchema)
        return "its schema version " + std::to_string(*version) + " is older than the versions known";
    return {};
}

std::vector<std::string> splitIdList(const std::string& list) {
    std::vector<std::string> ids;
    size_t start = 0;
    while (start < list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        if (comma > start) ids.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    return ids;
}

std::string joinIdList(const std::vector<std::string>& ids) {
    std::string list;
    for (const auto& id : ids) list += id + ",";
    return list;
}

// `list` with the ids of `more` that it lacks appended, order kept.
std::vector<std::string> unionIds(std::vector<std::string> list, const std::vector<std::string>& more) {
    std::set<std::string> seen(list.begin(), list.end());
    for (const auto& id : more)
        if (seen.insert(id).second) list.push_back(id);
    return list;
}

// Parses "thumb<hex>" / "video-<hex>"; false for anything else.
bool parseSourceId(const std::string& id, bool* isVideo, long long* row) {
    std::string hex;
    if (id.rfind("thumb", 0) == 0) {
        *isVideo = false;
        hex = id.substr(5);
    } else if (id.rfind("video-", 0) == 0) {
        *isVideo = true;
        hex = id.substr(6);
    } else {
        return false;
    }
    if (hex.empty() || hex.size() > 16 || hex.find_first_not_of("0123456789abcdef") != std::string::npos) return false;
    *row = static_cast<long long>(std::stoull(hex, nullptr, 16));
    return true;
}

struct TagRow {
    int64_t id = -1;
    std::vector<std::string> ids;
    bool exists() const { return id >= 0; }
};

bool readTag(SqliteDatabase& db, const std::string& name, TagRow* tag) {
    *tag = TagRow{};
    return db.query("SELECT id, photo_id_list FROM TagTable WHERE name = ?", {name}, [&](const SqliteRow& row) {
        tag->id = row.integer(0);
        tag->ids = splitIdList(row.text(1));
        return false;
    });
}

bool writeTag(SqliteDatabase& db, const TagRow& tag, const std::string& name, const std::vector<std::string>& ids) {
    if (tag.exists())
        return db.execute("UPDATE TagTable SET name = ?, photo_id_list = ? WHERE id = ?",
                          {name, joinIdList(ids), tag.id});
    return db.execute("INSERT INTO TagTable (name, photo_id_list, time_created) VALUES (?, ?, ?)",
                      {name, joinIdList(ids), static_cast<int64_t>(std::time(nullptr))});
}

}  // namespace

std::string ShotwellLibrary::photoSourceId(long long id) {
    char text[32];
    std::snprintf(text, sizeof text, "thumb%016llx", id);
    return text;
}

std::string ShotwellLibrary::videoSourceId(long long id) {
    char text[32];
    std::snprintf(text, sizeof text, "video-%016llx", id);
    return text;
}

LibraryContent ShotwellLibrary::read() const {
    LibraryContent content;
    content.library = "Shotwell";
    content.location = database_;
    content.root.name = "Shotwell";
    SqliteDatabase db = SqliteDatabase::openReadOnly(database_);
    int64_t version = 0;
    if (std::string problem = checkSchema(db, &version); !problem.empty()) {
        content.problem = problem;
        return content;
    }
    std::map<std::string, size_t> bySourceId;
    std::map<int64_t, std::string> eventNames;
    std::vector<std::pair<size_t, int64_t>> eventOf;
    auto addItems = [&](const char* sql, bool video) {
        return db.query(sql, {}, [&](const SqliteRow& row) {
            const std::string id = video ? videoSourceId(row.integer(0)) : photoSourceId(row.integer(0));
            const size_t index = content.items.size();
            content.items.push_back({id, row.text(1)});
            bySourceId[id] = index;
            content.root.items.push_back(index);
            if (!row.isNull(2) && row.integer(2) >= 0) eventOf.emplace_back(index, row.integer(2));
            return true;
        });
    };
    const bool read =
        addItems("SELECT id, filename, event_id FROM PhotoTable WHERE (flags & 12) = 0 ORDER BY id", false) &&
        addItems("SELECT id, filename, event_id FROM VideoTable WHERE (flags & 3) = 0 ORDER BY id", true) &&
        db.query("SELECT id, name FROM EventTable", {},
                 [&](const SqliteRow& row) {
                     eventNames[row.integer(0)] =
                         row.text(1).empty() ? "Event " + std::to_string(row.integer(0)) : row.text(1);
                     return true;
                 }) &&
        db.query("SELECT name, photo_id_list FROM TagTable ORDER BY name", {}, [&](const SqliteRow& row) {
            // A tag's place in the hierarchy is its name: "/Parent/Child"; a flat name
            // is a top-level tag.
            const std::vector<std::string> components = splitLibraryPath(row.text(0));
            for (const auto& id : splitIdList(row.text(1)))
                if (auto it = bySourceId.find(id); it != bySourceId.end()) content.root.add(components, it->second);
            return true;
        });
    if (!read) {
        content =
            LibraryContent{"Shotwell", database_, {}, {"Shotwell", {}, {}}, "cannot read the database: " + db.error()};
        return content;
    }
    for (const auto& [index, event] : eventOf)
        if (auto it = eventNames.find(event); it != eventNames.end())
            content.root.child(it->second).items.push_back(index);
    (void)kPhotoHiddenStates;
    (void)kVideoHiddenStates;
    return content;
}

Status ShotwellLibrary::addToTag(const std::vector<std::string>& sourceIds, const std::string& parent,
                                 const std::string& child) const {
    SqliteDatabase db = SqliteDatabase::openReadWrite(database_);
    int64_t version = 0;
    if (std::string problem = checkSchema(db, &version); !problem.empty()) return Status::failure(database_, problem);

    // Only items still in the library (a tag that names a missing item is harmless to
    // Shotwell, but tells the user of something that is not there).
    std::vector<std::string> present;
    for (const auto& id : sourceIds) {
        bool video = false;
        long long row = 0;
        bool found = false;
        if (parseSourceId(id, &video, &row))
            db.query(video ? "SELECT 1 FROM VideoTable WHERE id = ?" : "SELECT 1 FROM PhotoTable WHERE id = ?",
                     {static_cast<int64_t>(row)}, [&](const SqliteRow&) {
                         found = true;
                         return false;
                     });
        if (found)
            present.push_back(id);
        else
            log("Shotwell: item %s is not in the library %s any more; not tagged", id.c_str(), database_.c_str());
    }
    if (present.empty()) return Status::failure(database_, "none of the items is in the Shotwell library any more");

    const std::string parentName = "/" + parent;
    const std::string childName = parentName + "/" + child;
    if (!db.execute("BEGIN IMMEDIATE")) return Status::failure(database_, "cannot start a transaction: " + db.error());
    TagRow flat, hierarchical, childTag;
    bool ok = readTag(db, parent, &flat) && readTag(db, parentName, &hierarchical) && readTag(db, childName, &childTag);
    if (ok) {
        const std::vector<std::string> childIds = unionIds(childTag.ids, present);
        // The parent holds every item of its child; a flat tag of the same name is
        // merged into it (Shotwell would merge the two itself and drop the child).
        std::vector<std::string> parentIds = unionIds(unionIds(hierarchical.ids, flat.ids), childIds);
        if (flat.exists() && hierarchical.exists()) {
            ok = db.execute("DELETE FROM TagTable WHERE id = ?", {flat.id}) &&
                 writeTag(db, hierarchical, parentName, parentIds);
        } else {
            ok = writeTag(db, flat.exists() ? flat : hierarchical, parentName, parentIds);
        }
        ok = ok && writeTag(db, childTag, childName, childIds);
    }
    if (!ok) {
        const std::string error = db.error();
        db.execute("ROLLBACK");
        return Status::failure(database_, "cannot write the tags: " + error);
    }
    if (!db.execute("COMMIT")) {
        const std::string error = db.error();
        db.execute("ROLLBACK");
        return Status::failure(database_, "cannot write the tags: " + error);
    }
    return Status::success();
}

}  // namespace tw
