// A record's privilege is that of the folder grant of its resolved folder.

#include <gtest/gtest.h>

#include <cstdlib>

#include "TestSupport.h"
#include "files/TWFileUtility.h"
#include "prefs/TWPreference.h"
#include "prefs/TWPrivilegeFolder.h"

namespace {

std::string canonical(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    std::string result = resolved ? resolved : path;
    free(resolved);
    return result;
}

TEST(FilePrivilege, ReadFromTheGrantsOnEveryCall) {
    twtest::ScopedDefaults defaults;
    twtest::TempDir dir;
    std::string granted = canonical(dir.mkdir("granted"));
    std::string file = dir.write("granted/a.txt", "x");
    dir.symlink(granted, "alias");
    auto record = TWFileUtility::initWithPath(dir / "alias/a.txt");  // resolved into the granted folder
    auto elsewhere = TWFileUtility::initWithPath(dir.write("other/b.txt", "x"));
    EXPECT_EQ(record->privilege(), -1);
    auto grant = TWPrivilegeFolder::initWithFolder(granted, 3);
    TWPreference::shared().setFoldersPrivilege({grant});
    EXPECT_EQ(record->privilege(), 3);
    EXPECT_EQ(elsewhere->privilege(), -1);
    grant->setPrivilege(5);
    EXPECT_EQ(record->privilege(), 5);  // not stored by the record
}

}  // namespace
