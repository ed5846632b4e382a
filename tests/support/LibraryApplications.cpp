#include "LibraryApplications.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "SqliteDatabase.h"
#include "TestSupport.h"

namespace twtest {

namespace {

std::string binaryPath(const std::string& name) {
    for (const char* dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"}) {
        std::string path = std::string(dir) + name;
        if (::access(path.c_str(), X_OK) == 0) return path;
    }
    return {};
}

// A folder for made databases, named after the binary's size and time, so that an
// upgrade of the application makes a new one.
std::string cacheFolder(const std::string& name, const std::string& binary) {
    struct stat st {};
    ::stat(binary.c_str(), &st);
    const char* tmp = std::getenv("TMPDIR");
    std::string base = std::string(tmp && *tmp ? tmp : "/tmp") + "/twinsift-library-schemas";
    ::mkdir(base.c_str(), 0700);
    std::string folder = base + "/" + name + "-" + std::to_string(st.st_size) + "-" + std::to_string(st.st_mtime);
    ::mkdir(folder.c_str(), 0700);
    return folder;
}

class FileLock {
public:
    explicit FileLock(const std::string& path) : fd_(::open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600)) {
        if (fd_ >= 0) ::flock(fd_, LOCK_EX);
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);
    }

private:
    int fd_;
};

std::string textOf(const std::string& database, const std::string& sql) {
    std::string value;
    auto db = tw::SqliteDatabase::openReadOnly(database, 200);
    db.query(sql, {}, [&](const tw::SqliteRow& row) {
        value = row.text(0);
        return false;
    });
    return value;
}

// Makes the database once per binary: `make` runs the application in a fresh home and
// answers the file it wrote; the result is copied (SQLite's backup) into the cache.
MadeDatabase madeOnce(const std::string& name, const std::string& file, const std::string& versionSql,
                      const std::function<std::string(const std::string& home)>& make) {
    const std::string binary = binaryPath(name);
    if (binary.empty()) {
        ADD_FAILURE() << name << " is not installed: scripts/install-deps.sh installs it";
        return {};
    }
    const std::string folder = cacheFolder(name, binary);
    const std::string cached = folder + "/" + file;
    FileLock lock(folder + "/.lock");
    struct stat st {};
    if (::stat(cached.c_str(), &st) != 0) {
        TempDir home("twinsift-app-home");
        const std::string written = make(home.path());
        auto db = tw::SqliteDatabase::openReadWrite(written);  // rolls back a journal left by the kill
        if (written.empty() || !db.isOpen() || !db.backupTo(cached)) {
            ADD_FAILURE() << name << " wrote no database that could be copied: " << db.error();
            return {};
        }
    }
    return {cached, textOf(cached, versionSql)};
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

}  // namespace

bool runApplicationUntil(const std::string& home, const std::vector<std::string>& command,
                         const std::function<bool()>& ready, int limitSeconds) {
    for (const char* sub : {"/home", "/data", "/config", "/cache", "/runtime"}) ::mkdir((home + sub).c_str(), 0700);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        ::setenv("HOME", (home + "/home").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        ::unsetenv("QT_QPA_PLATFORM");
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2);
        std::vector<const char*> argv{"xvfb-run", "-a", "dbus-run-session", "--"};
        for (const auto& word : command) argv.push_back(word.c_str());
        argv.push_back(nullptr);
        ::execvp(argv[0], const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    if (pid < 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    bool done = false;
    while (!(done = ready()) && std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) break;  // it ended on its own
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ::kill(-pid, SIGTERM);
    for (int i = 0; i < 50 && ::waitpid(pid, nullptr, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return done || ready();
}

MadeDatabase emptyShotwellDatabase() {
    return madeOnce("shotwell", "photo.db", "SELECT app_version FROM VersionTable", [](const std::string& home) {
        const std::string db = home + "/data/shotwell/data/photo.db";
        const bool made = runApplicationUntil(
            home, {"shotwell"}, [&] { return !textOf(db, "SELECT schema_version FROM VersionTable").empty(); }, 120);
        return made ? db : std::string();
    });
}

MadeDatabase emptyDigikamDatabase() {
    return madeOnce("digikam", "digikam4.db", "SELECT value FROM Settings WHERE keyword = 'DBVersion'",
                    [](const std::string& home) {
                        // digiKam makes its schema in a database file that exists; a first
                        // run without settings would wait in its set-up assistant.
                        const std::string pictures = home + "/home/Pictures";
                        ::mkdir((home + "/home").c_str(), 0700);
                        ::mkdir((home + "/config").c_str(), 0700);
                        ::mkdir(pictures.c_str(), 0700);
                        writeFile(pictures + "/digikam4.db", "");
                        writeFile(home + "/config/digikamrc",
                                  "[Album Settings]\nAlbum Path=" + pictures +
                                      "\n\n[Database Settings]\nDatabase Type=QSQLITE\nDatabase Name=" + pictures +
                                      "/\nDatabase Name Thumbnails=" + pictures + "/\nDatabase Name Face=" + pictures +
                                      "/\nDatabase Name Similarity=" + pictures + "/\n");
                        const std::string db = pictures + "/digikam4.db";
                        const bool made = runApplicationUntil(
                            home, {"digikam"},
                            [&] { return !textOf(db, "SELECT value FROM Settings WHERE keyword = 'Locale'").empty(); },
                            120);
                        return made ? db : std::string();
                    });
}

}  // namespace twtest
