#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "TestSupport.h"
#include "prefs/TWPreference.h"
#include "prefs/TWPrivilegeFolder.h"

// Scans read privilegeAtPath() on worker threads while the preferences window edits
// the grants and their privileges.
TEST(PrivilegeFolderConcurrency, LookupsRunWhileGrantsAreEdited) {
    twtest::ScopedDefaults defaults;
    auto& prefs = TWPreference::shared();
    prefs.addPrivilegeFolder("/data");
    std::atomic<bool> done{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            while (!done.load()) {
                int64_t p = prefs.privilegeAtPath("/data/x/file");
                // Whatever the window did so far, the answer is one it could have set.
                if (p < -1 || p > 20) wrong.fetch_add(1);
                (void)prefs.fileFolderIsIgnored("/nonexistent/for/sure");
            }
        });
    }
    for (int i = 0; i < 20; ++i) {
        prefs.addPrivilegeFolder("/data/x");
        prefs.foldersPrivilege()[0]->setPrivilege(i + 1);
        prefs.removeObjectFromFoldersPrivilegeAtIndex(0);
    }
    done = true;
    for (auto& t : readers) t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(prefs.privilegeAtPath("/data/x/file"), 0);
}
