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

// A statement prepared once and run many times: bind, step through the rows, reset.
// Belongs to the database it was prepared on and is used under the same rule.
class SqliteStatement {
public:
    enum class Step { Row, Done, Error };

    SqliteStatement() = default;
    SqliteStatement(SqliteStatement&&) noexcept = default;
    SqliteStatement& operator=(SqliteStatement&&) noexcept = default;

    bool isValid() const { return statement_ != nullptr; }
    // Parameters count from 1; a blob is copied.
    void bind(int index, int64_t value);
    void bindBlob(int index, const void* data, size_t size);
    void bindNull(int index);
    // The next row; Error keeps SQLite's result code in errorCode().
    Step step();
    int errorCode() const { return errorCode_; }
    // Columns of the current row, counted from 0; an empty blob for NULL.
    int64_t integer(int column) const;
    bool isNull(int column) const;
    const uint8_t* blob(int column, size_t& size) const;
    // Ready for the next run, every parameter unbound.
    void reset();

private:
    friend class SqliteDatabase;
    struct Finalizer {
        void operator()(sqlite3_stmt* statement) const;
    };
    std::unique_ptr<sqlite3_stmt, Finalizer> statement_;
    int errorCode_ = 0;
};

class SqliteDatabase {
public:
    // Read-only opens with SQLite's "mode=ro" (never creates, never writes); a busy
    // database is waited for at most `busyMs`. Check isOpen() and error().
    static SqliteDatabase openReadOnly(const std::string& path, int busyMs = 2000);
    static SqliteDatabase openReadWrite(const std::string& path, int busyMs = 2000);
    // Read-write, creating the file when it is missing.
    static SqliteDatabase openOrCreate(const std::string& path, int busyMs = 2000);

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
    // A statement to run many times; invalid (error() says why) when `sql` is not one.
    SqliteStatement prepare(const std::string& sql);
    // SQLite's result code of the last failure (SQLITE_CORRUPT, SQLITE_NOTADB, ...).
    int errorCode() const { return errorCode_; }
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
    int errorCode_ = 0;
};

}  // namespace tw
