#pragma once
// Empty library databases made by the installed applications themselves, so that the
// fixtures the tests build on them have the real schema of the version installed.
// Each application runs once under Xvfb with a private session bus and a private HOME
// and XDG folders, and is killed once it has written its empty database; the copy is
// kept under $TMPDIR (or /tmp) keyed by the application's binary, so later tests and
// runs reuse it until the application is upgraded. Safe across processes (a file lock).
//
// A missing application, or one that writes no database within the bound, fails the
// calling test (they are installed by scripts/install-deps.sh).

#include <functional>
#include <string>
#include <vector>

namespace twtest {

struct MadeDatabase {
    std::string path;     // the empty database; copy it before changing it
    std::string version;  // the application's version as the database records it
};

// Shotwell's photo.db; empty path (and a test failure) when it cannot be made.
MadeDatabase emptyShotwellDatabase();
// digiKam's digikam4.db.
MadeDatabase emptyDigikamDatabase();

// Runs `command` (argv) under Xvfb and a private session bus with HOME, XDG_DATA_HOME,
// XDG_CONFIG_HOME, XDG_CACHE_HOME and XDG_RUNTIME_DIR inside `home`, until `ready`
// answers true (polled, at most `limitSeconds`), then ends it. False on a timeout.
bool runApplicationUntil(const std::string& home, const std::vector<std::string>& command,
                         const std::function<bool()>& ready, int limitSeconds);

}  // namespace twtest
