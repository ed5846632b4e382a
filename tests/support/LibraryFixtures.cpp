#include "LibraryFixtures.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>

namespace twtest {

ScopedLibraryHome::ScopedLibraryHome() {
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
        if (const char* value = std::getenv(name)) previous_[name] = value;
    dir_.mkdir("data");
    dir_.mkdir("config");
    setenv("HOME", dir_.path().c_str(), 1);
    setenv("XDG_DATA_HOME", dataHome().c_str(), 1);
    setenv("XDG_CONFIG_HOME", configHome().c_str(), 1);
}

ScopedLibraryHome::~ScopedLibraryHome() {
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
        auto it = previous_.find(name);
        if (it != previous_.end())
            setenv(name, it->second.c_str(), 1);
        else
            unsetenv(name);
    }
}

namespace {
std::string copyOf(const std::string& source, const std::string& target) {
    auto db = tw::SqliteDatabase::openReadOnly(source);
    if (!db.isOpen() || !db.backupTo(target)) {
        ADD_FAILURE() << "cannot copy " << source << ": " << db.error();
        return {};
    }
    return target;
}
}  // namespace

std::string makeShotwellLibrary(const ScopedLibraryHome& home) {
    const MadeDatabase empty = emptyShotwellDatabase();
    if (empty.path.empty()) return {};
    home.dir().mkdir("data/shotwell/data");
    return copyOf(empty.path, home.dataHome() + "/shotwell/data/photo.db");
}

std::string makeDigikamLibrary(const ScopedLibraryHome& home, const std::string& folder) {
    const MadeDatabase empty = emptyDigikamDatabase();
    if (empty.path.empty()) return {};
    home.dir().write("config/digikamrc", "[Database Settings]\nDatabase Type=QSQLITE\nDatabase Name=" + folder + "/\n");
    return copyOf(empty.path, folder + "/digikam4.db");
}

void sql(const std::string& database, const std::string& statements) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, statements.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "") << "\n" << statements;
    sqlite3_free(error);
    sqlite3_close(db);
}

std::vector<std::string> rows(const std::string& database, const std::string& query) {
    std::vector<std::string> out;
    sqlite3* raw = nullptr;
    sqlite3_open_v2(database.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(raw, query.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            std::string row;
            for (int c = 0; c < sqlite3_column_count(statement); ++c) {
                if (c) row += "|";
                const unsigned char* text = sqlite3_column_text(statement, c);
                row += text ? reinterpret_cast<const char*>(text) : "NULL";
            }
            out.push_back(row);
        }
    } else {
        ADD_FAILURE() << sqlite3_errmsg(raw) << ": " << query;
    }
    sqlite3_finalize(statement);
    sqlite3_close(raw);
    return out;
}

std::string dumpDatabase(const std::string& database, const std::vector<std::string>& except) {
    std::string dump;
    for (const std::string& table : rows(database, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name")) {
        if (std::find(except.begin(), except.end(), table) != except.end()) continue;
        dump += "== " + table + "\n";
        for (const std::string& row : rows(database, "SELECT * FROM \"" + table + "\" ORDER BY 1")) dump += row + "\n";
    }
    return dump;
}

}  // namespace twtest
