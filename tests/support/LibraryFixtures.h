#pragma once
// Fixture libraries on the real schemas (LibraryApplications.h): a private data and
// config home for the library locations, Shotwell and digiKam databases with rows the
// test adds, a Rhythmbox XML pair, and a text dump of a database to compare before and
// after a write. Main thread of a test.

#include <map>
#include <string>
#include <vector>

#include "LibraryApplications.h"
#include "SqliteDatabase.h"
#include "TestSupport.h"

namespace twtest {

// Points HOME, XDG_DATA_HOME and XDG_CONFIG_HOME into a folder of its own while it lives.
class ScopedLibraryHome {
public:
    ScopedLibraryHome();
    ~ScopedLibraryHome();
    const TempDir& dir() const { return dir_; }
    std::string dataHome() const { return dir_ / "data"; }
    std::string configHome() const { return dir_ / "config"; }

private:
    TempDir dir_{"twinsift-library-home"};
    std::map<std::string, std::string> previous_;
};

// The empty Shotwell database copied to <data home>/shotwell/data/photo.db; "" (and a
// test failure) when it cannot be made.
std::string makeShotwellLibrary(const ScopedLibraryHome& home);
// The empty digiKam database copied to `folder`/digikam4.db, and digikamrc naming it.
std::string makeDigikamLibrary(const ScopedLibraryHome& home, const std::string& folder);

// Runs statements on a database; fails the test on an error.
void sql(const std::string& database, const std::string& statements);
// Every row of every table, as text, table by table ("" for tables in `except`).
std::string dumpDatabase(const std::string& database, const std::vector<std::string>& except = {});
// The rows of one query, each as its columns joined by '|'.
std::vector<std::string> rows(const std::string& database, const std::string& query);

}  // namespace twtest
