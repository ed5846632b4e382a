#pragma once
// A SQLite database held open, with the few statements the library backends need:
// prepared queries stepped row by row, plain statements, and transactions. Errors
// never throw; each call answers whether it worked and keeps SQLite's message.
//
// One connection per object; use it from one thread at a time.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

typedef struct sqlite3 sqlite3;
typedef struct sqlite3_stmt sqlite3_stmt;

namespace tw {

class SqliteRow {
public:
    explicit SqliteRow(sqlite3_stmt* statement) : statement_(statement) {}
    int64_t integer(int column) const;
    std::string text(int column) const;  // "" for NULL
    bool isNull(int column) const;

private:
    sqlite3_stmt* statement_;
};

class SqliteDatabase {
public:
    // Read-only opens with SQLite's "mode=ro" (never creates, never writes); a busy
    // database is waited for at most `busyMs`. Check isOpen() and error().
    static SqliteDatabase openReadOnly(const std::string& path, int busyMs = 2000);
    static SqliteDatabase openReadWrite(const std::string& path, int busyMs = 2000);

    SqliteDatabase(SqliteDatabase&&) noexcept = default;
    SqliteDatabase& operator=(SqliteDatabase&&) noexcept = default;

    bool isOpen() const { return db_ != nullptr; }
    const std::string& error() const { return error_; }

    using Value = std::variant<int64_t, std::string>;
    // Runs `sql` with `arguments` bound in order and calls `row` for each result row
    // (answer false from it to stop early). False on any error.
    bool query(const std::string& sql, const std::vector<Value>& arguments,
               const std::function<bool(const SqliteRow&)>& row);
    bool execute(const std::string& sql, const std::vector<Value>& arguments = {});
    int64_t lastInsertRowId() const;
    // Whether a table of that name exists.
    bool hasTable(const std::string& name);
    // A consistent copy of the whole database into a new file at `target` (SQLite's
    // online backup); false, with nothing left at `target`, when it fails.
    bool backupTo(const std::string& target);

private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };
    SqliteDatabase() = default;
    static SqliteDatabase open(const std::string& path, int flags, int busyMs);
    std::unique_ptr<sqlite3, Closer> db_;
    std::string error_;
};

}  // namespace tw
