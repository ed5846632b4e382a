// Settings changed by two processes at once: the size window's pair check and its write
// are one step, and the folder grants that another process stored are read again.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "DefaultsStore.h"
#include "LockFile.h"
#include "TWPreference.h"
#include "TWPrivilegeFolder.h"
#include "TestSupport.h"

using Json = tw::DefaultsStore::Value;

namespace {

pid_t forkRunning(const std::function<int()>& body) {
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    return pid;
}

int exitCode(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// Whether some process waits for the flock of `path` (the kernel lists waiters in
// /proc/locks with "->").
bool someoneWaitsFor(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return false;
    std::ifstream locks("/proc/locks");
    std::string line;
    const std::string inode = ":" + std::to_string(st.st_ino) + " ";
    while (std::getline(locks, line))
        if (line.find("->") != std::string::npos && line.find(inode) != std::string::npos) return true;
    return false;
}

bool waitUntil(const std::function<bool()>& condition) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Writes the settings file as another process would while it holds the lock.
void writeSettingsFile(const std::string& path, const Json& document) {
    const std::string tmp = path + ".tmp-test";
    std::ofstream(tmp) << document.dump();
    ASSERT_EQ(rename(tmp.c_str(), path.c_str()), 0);
}

}  // namespace

// One process sets the minimum to 100 while another sets the maximum to 50. Whichever
// order the two take, the stored pair is never minimum >= maximum. The test holds the
// store's lock, lets the setter reach it, writes the other size, then lets it go: a
// setter that checked before it locked writes the minimum over the new maximum.
TEST(SettingsBetweenProcesses, RacingSizeWritersNeverLeaveTheMinimumAtOrAboveTheMaximum) {
    for (const bool settingMinimum : {true, false}) {
        SCOPED_TRACE(settingMinimum ? "minimum" : "maximum");
        twtest::ScopedDefaults defaults;
        ASSERT_TRUE(tw::DefaultsStore::standard().setValue("unrelated", 1));
        // The setter is forked before the lock is taken: a child would inherit it.
        int go[2];
        ASSERT_EQ(pipe(go), 0);
        pid_t setter = forkRunning([&] {
            char byte;
            if (read(go[0], &byte, 1) != 1) return 1;
            auto& prefs = TWPreference::shared();
            settingMinimum ? prefs.setFilterMinSize(100) : prefs.setFilterMaxSize(50);
            return 0;
        });
        tw::Status status;
        auto held = tw::LockFile::acquire(defaults.defaultsPath() + ".lock", true, &status);
        ASSERT_TRUE(held) << status.message();
        ASSERT_EQ(write(go[1], "g", 1), 1);
        close(go[0]);
        close(go[1]);
        ASSERT_TRUE(waitUntil([&] { return someoneWaitsFor(defaults.defaultsPath() + ".lock"); }));
        writeSettingsFile(defaults.defaultsPath(), settingMinimum ? Json{{"unrelated", 1}, {kMaxSizeIgnored, 50}}
                                                                  : Json{{"unrelated", 1}, {kMinSizeIgnored, 100}});
        held.reset();
        ASSERT_EQ(exitCode(setter), 0);

        Json stored = Json::parse(twtest::readFile(defaults.defaultsPath()));
        const uint64_t minimum = stored.value(kMinSizeIgnored, uint64_t{0});
        const uint64_t maximum = stored.value(kMaxSizeIgnored, UINT64_MAX);
        EXPECT_LT(minimum, maximum) << stored.dump();
        EXPECT_EQ(stored["unrelated"], 1);
    }
}

TEST(SettingsBetweenProcesses, FolderGrantsStoredByAnotherProcessAreSeenAndKeptByTheNextEdit) {
    twtest::ScopedDefaults defaults;
    auto& prefs = TWPreference::shared();
    prefs.addPrivilegeFolder("/a");
    auto before = prefs.foldersPrivilege();
    ASSERT_EQ(before.size(), 1u);

    pid_t other = forkRunning([&] {
        tw::DefaultsStore store(defaults.defaultsPath());
        Json grants = Json::array({{{"folder", "/b"}, {"privilege", 5}}, {{"folder", "/a"}, {"privilege", 0}}});
        return store.setValue(kFoldersPrivilegeArray, grants) ? 0 : 1;
    });
    ASSERT_EQ(exitCode(other), 0);
    tw::DefaultsStore::standard().reloadNow();

    EXPECT_EQ(prefs.privilegeAtPath("/b/x.txt"), 5);
    auto after = prefs.foldersPrivilege();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0]->folder(), "/b");
    EXPECT_EQ(after[1], before[0]) << "an unchanged grant stays the same record";

    prefs.addPrivilegeFolder("/c");
    Json stored = Json::parse(twtest::readFile(defaults.defaultsPath()))[kFoldersPrivilegeArray];
    ASSERT_EQ(stored.size(), 3u) << stored.dump();
    EXPECT_EQ(stored[0]["folder"], "/c");
    EXPECT_EQ(stored[1]["folder"], "/b");
    EXPECT_EQ(stored[1]["privilege"], 5);
    EXPECT_EQ(stored[2]["folder"], "/a");
}
