#include "platform/SqliteDatabase.h"

#include <sqlite3.h>
#include <unistd.h>

namespace tw {

int64_t SqliteRow::integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::string SqliteRow::text(int column) const {
    const unsigned char* text = sqlite3_column_text(statement_, column);
    if (!text) return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
}

bool SqliteRow::isNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

void SqliteStatement::Finalizer::operator()(sqlite3_stmt* statement) const {
    sqlite3_finalize(statement);
}

void SqliteStatement::bind(int index, int64_t value) {
    sqlite3_bind_int64(statement_.get(), index, value);
}

void SqliteStatement::bindBlob(int index, const void* data, size_t size) {
    sqlite3_bind_blob64(statement_.get(), index, data, size, SQLITE_TRANSIENT);
}

void SqliteStatement::bindNull(int index) {
    sqlite3_bind_null(statement_.get(), index);
}

SqliteStatement::Step SqliteStatement::step() {
    const int rc = sqlite3_step(statement_.get());
    if (rc == SQLITE_ROW) return Step::Row;
    if (rc == SQLITE_DONE) return Step::Done;
    errorCode_ = sqlite3_errcode(sqlite3_db_handle(statement_.get()));
    return Step::Error;
}

int64_t SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(statement_.get(), column);
}

bool SqliteStatement::isNull(int column) const {
    return sqlite3_column_type(statement_.get(), column) == SQLITE_NULL;
}

const uint8_t* SqliteStatement::blob(int column, size_t& size) const {
    const void* data = sqlite3_column_blob(statement_.get(), column);
    size = static_cast<size_t>(sqlite3_column_bytes(statement_.get(), column));
    return static_cast<const uint8_t*>(data);
}

void SqliteStatement::reset() {
    sqlite3_reset(statement_.get());
    sqlite3_clear_bindings(statement_.get());
}

void SqliteDatabase::Closer::operator()(sqlite3* db) const {
    sqlite3_close_v2(db);
}

namespace {

// Before SQLite's first use in the process: no count of its memory. The count takes one
// lock of the whole process for every allocation, and the scan's readers, each on its
// own connection, queued on it. A library that began SQLite first keeps the count.
void configureOnce() {
    static const bool configured = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return true;
    }();
    (void)configured;
}

}  // namespace

SqliteDatabase SqliteDatabase::open(const std::string& path, int flags, int busyMs) {
    configureOnce();
    SqliteDatabase database;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_URI, nullptr);
    if (rc != SQLITE_OK) {
        database.error_ = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        database.errorCode_ = rc;
        sqlite3_close_v2(db);
        return database;
    }
    sqlite3_busy_timeout(db, busyMs);
    database.db_.reset(db);
    return database;
}

namespace {
// A path as a file: URI, so that SQLite takes "mode=ro" and no character of the path
// is read as a URI's own.
std::string fileUri(const std::string& path, const char* query) {
    std::string uri = "file:";
    static const char* hex = "0123456789ABCDEF";
    for (unsigned char c : path) {
        if (c == '%' || c == '?' || c == '#' || c <= 0x20 || c >= 0x7F) {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        } else {
            uri += static_cast<char>(c);
        }
    }
    return uri + query;
}
}  // namespace

SqliteDatabase SqliteDatabase::openReadOnly(const std::string& path, int busyMs) {
    return open(fileUri(path, "?mode=ro"), SQLITE_OPEN_READONLY, busyMs);
}

SqliteDatabase SqliteDatabase::openReadWrite(const std::string& path, int busyMs) {
    return open(fileUri(path, "?mode=rw"), SQLITE_OPEN_READWRITE, busyMs);
}

SqliteDatabase SqliteDatabase::openOrCreate(const std::string& path, int busyMs) {
    return open(fileUri(path, "?mode=rwc"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, busyMs);
}

SqliteStatement SqliteDatabase::prepare(const std::string& sql) {
    SqliteStatement prepared;
    if (!db_) return prepared;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db_.get(), sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) {
        error_ = sqlite3_errmsg(db_.get());
        errorCode_ = sqlite3_errcode(db_.get());
        return prepared;
    }
    prepared.statement_.reset(statement);
    return prepared;
}

bool SqliteDatabase::query(const std::string& sql, const std::vector<Value>& arguments,
                           const std::function<bool(const SqliteRow&)>& row) {
    if (!db_) return false;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        error_ = sqlite3_errmsg(db_.get());
        errorCode_ = sqlite3_errcode(db_.get());
        return false;
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> owner(statement, sqlite3_finalize);
    int index = 1;
    for (const Value& value : arguments) {
        if (const auto* number = std::get_if<int64_t>(&value))
            sqlite3_bind_int64(statement, index++, *number);
        else
            sqlite3_bind_text(statement, index++, std::get<std::string>(value).c_str(), -1, SQLITE_TRANSIENT);
    }
    for (;;) {
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_DONE) return true;
        if (rc != SQLITE_ROW) {
            error_ = sqlite3_errmsg(db_.get());
            errorCode_ = sqlite3_errcode(db_.get());
            return false;
        }
        if (row && !row(SqliteRow(statement))) return true;
    }
}

bool SqliteDatabase::execute(const std::string& sql, const std::vector<Value>& arguments) {
    return query(sql, arguments, nullptr);
}

int64_t SqliteDatabase::lastInsertRowId() const {
    return db_ ? sqlite3_last_insert_rowid(db_.get()) : 0;
}

bool SqliteDatabase::hasTable(const std::string& name) {
    bool found = false;
    query("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?", {name}, [&](const SqliteRow&) {
        found = true;
        return false;
    });
    return found;
}

bool SqliteDatabase::backupTo(const std::string& target) {
    if (!db_) return false;
    SqliteDatabase copy = open(fileUri(target, "?mode=rwc"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, 0);
    bool copied = false;
    if (copy.isOpen()) {
        if (sqlite3_backup* backup = sqlite3_backup_init(copy.db_.get(), "main", db_.get(), "main")) {
            copied = sqlite3_backup_step(backup, -1) == SQLITE_DONE;
            copied = sqlite3_backup_finish(backup) == SQLITE_OK && copied;
        }
        if (!copied) error_ = sqlite3_errmsg(copy.db_.get());
    } else {
        error_ = copy.error_;
    }
    copy.db_.reset();
    if (!copied) ::unlink(target.c_str());
    return copied;
}

}  // namespace tw
