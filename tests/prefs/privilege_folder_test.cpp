#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/DefaultsStore.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "prefs/TWPreference.h"
#include "prefs/TWPrivilegeFolder.h"

using Json = tw::DefaultsStore::Value;
using Grant = std::shared_ptr<TWPrivilegeFolder>;

namespace {

// Counts "TWPrivilegeChanged" notifications and remembers the last object.
struct ChangeCounter {
    int count = 0;
    Grant last;
    tw::NotificationCenter::Observer observer =
        tw::NotificationCenter::defaultCenter().addObserver(TWPrivilegeChanged, [this](const tw::Notification& n) {
            ++count;
            if (auto grant = std::any_cast<Grant>(&n.object)) last = *grant;
        });
};

Json storedGrants() {
    tw::DefaultsStore fresh(tw::DefaultsStore::standardPath());
    return fresh.value(kFoldersPrivilegeArray).value_or(Json());
}

std::vector<std::pair<std::string, int64_t>> summary(const std::vector<Grant>& grants) {
    std::vector<std::pair<std::string, int64_t>> out;
    for (const auto& g : grants) out.emplace_back(g->folder(), g->privilege());
    return out;
}

}  // namespace

TEST(PrivilegeFolder, AGrantAlwaysHasAFolder) {
    EXPECT_EQ(TWPrivilegeFolder::initWithFolder("", 1), nullptr);
    EXPECT_EQ(TWPrivilegeFolder::initWithCoder(Json::object({{"privilege", 1}})), nullptr);
    EXPECT_EQ(TWPrivilegeFolder::initWithCoder(Json::object({{"folder", "/a"}, {"privilege", "high"}})), nullptr);
    auto grant = TWPrivilegeFolder::initWithCoder(Json::object({{"folder", "/a"}}));
    ASSERT_NE(grant, nullptr);
    EXPECT_EQ(grant->privilege(), 0);
}

TEST(PrivilegeFolder, ChangingThePrivilegePostsOnceAndSavesTheList) {
    twtest::ScopedDefaults defaults;
    auto& prefs = TWPreference::shared();
    prefs.addPrivilegeFolder("/photos");
    Grant grant = prefs.foldersPrivilege().at(0);
    ChangeCounter changes;

    grant->setPrivilege(3);
    EXPECT_EQ(changes.count, 1);
    EXPECT_EQ(changes.last, grant);
    EXPECT_EQ(storedGrants(), Json::parse(R"([{"folder": "/photos", "privilege": 3}])"));

    grant->setPrivilege(3);
    grant->setValueForKey(std::nullopt, "privilege");  // the cell was cleared
    grant->setNilValueForKey("privilege");
    EXPECT_EQ(changes.count, 1);
    EXPECT_EQ(grant->privilege(), 3);

    grant->setValueForKey(5, "privilege");
    EXPECT_EQ(changes.count, 2);
    EXPECT_EQ(storedGrants()[0]["privilege"], 5);
}

TEST(PrivilegeFolder, ArchiveRoundTripPostsNothing) {
    const std::string folder = std::string(
                                   "/m\xe9"
                                   "dia/") +
                               "\xff";  // not UTF-8
    auto grant = TWPrivilegeFolder::initWithFolder(folder, -7);
    Json archive;
    grant->encodeWithCoder(archive);
    EXPECT_NO_THROW((void)archive.dump());
    ChangeCounter changes;
    auto back = TWPrivilegeFolder::initWithCoder(archive);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->folder(), folder);
    EXPECT_EQ(back->privilege(), -7);
    EXPECT_EQ(changes.count, 0);
}

TEST(PrivilegeFolder, ListOperationsSaveAndRestoreInOrder) {
    twtest::ScopedDefaults defaults;
    const std::string latin1 = "/caf\xe9";
    {
        auto& prefs = TWPreference::shared();
        prefs.addPrivilegeFolder("/b");
        prefs.addPrivilegeFolder("/a");  // at the front
        prefs.addPrivilegeFoldersWithURLs({"/c", latin1, "/a"});
        prefs.insertObject(TWPrivilegeFolder::initWithFolder("/z", 9), 1);
        prefs.removeFoldersPrivilegeAtIndexes({2, 40});
        prefs.removeObjectFromFoldersPrivilegeAtIndex(0);
        EXPECT_EQ(summary(prefs.foldersPrivilege()),
                  (std::vector<std::pair<std::string, int64_t>>{{"/z", 9}, {"/c", 0}, {latin1, 0}, {"/a", 0}}));
    }
    TWPreference::resetShared();
    tw::DefaultsStore::resetStandard();
    auto& prefs = TWPreference::shared();
    EXPECT_EQ(summary(prefs.foldersPrivilege()),
              (std::vector<std::pair<std::string, int64_t>>{{"/z", 9}, {"/c", 0}, {latin1, 0}, {"/a", 0}}));

    prefs.cleanFolderPrivilege();
    EXPECT_EQ(prefs.countOfFoldersPrivilege(), 0u);
    EXPECT_TRUE(storedGrants().is_null()) << "an empty list removes the key";
}

TEST(PrivilegeFolder, InsertPastTheEndAppends) {
    twtest::ScopedDefaults defaults;
    auto& prefs = TWPreference::shared();
    prefs.addPrivilegeFolder("/a");
    prefs.insertObject(TWPrivilegeFolder::initWithFolder("/b", 1), 5);
    prefs.insertObject(nullptr, 0);
    EXPECT_EQ(summary(prefs.foldersPrivilege()), (std::vector<std::pair<std::string, int64_t>>{{"/a", 0}, {"/b", 1}}));
}

TEST(PrivilegeFolder, UndecodableListStartsEmptyAndIsLogged) {
    twtest::ScopedDefaults defaults;
    ASSERT_TRUE(tw::DefaultsStore::standard().setValue(kFoldersPrivilegeArray, "YnBsaXN0MDDUAQIDBAUG"));
    tw::LogCapture log;
    EXPECT_EQ(TWPreference::shared().countOfFoldersPrivilege(), 0u);
    EXPECT_TRUE(log.contains("cannot be decoded"));

    // One bad record is left out; the others stay.
    TWPreference::resetShared();
    ASSERT_TRUE(tw::DefaultsStore::standard().setValue(
        kFoldersPrivilegeArray, Json::parse(R"([{"folder": "/a", "privilege": 1}, 42, {"folder": "/b"}])")));
    EXPECT_EQ(summary(TWPreference::shared().foldersPrivilege()),
              (std::vector<std::pair<std::string, int64_t>>{{"/a", 1}, {"/b", 0}}));
}

TEST(PrivilegeFolder, PrivilegeAtPathTakesTheNearestGrantedAncestor) {
    twtest::ScopedDefaults defaults;
    auto& prefs = TWPreference::shared();
    prefs.setFoldersPrivilege({TWPrivilegeFolder::initWithFolder("/a", 2), TWPrivilegeFolder::initWithFolder("/a/b", 5),
                               TWPrivilegeFolder::initWithFolder("/a/b", 8)});
    EXPECT_EQ(prefs.privilegeAtPath("/a/b/c.txt"), 5) << "nearest first; the earlier of equal folders";
    EXPECT_EQ(prefs.privilegeAtPath("/a/b/deep/er/c.txt"), 5);
    EXPECT_EQ(prefs.privilegeAtPath("/a/x.txt"), 2);
    EXPECT_EQ(prefs.privilegeAtPath("/a/b"), 2) << "the path itself is never compared";
    EXPECT_EQ(prefs.privilegeAtPath("/ab/c"), -1);
    EXPECT_EQ(prefs.privilegeAtPath("/c.txt"), -1);
    EXPECT_EQ(prefs.privilegeAtPath(""), -1);
    EXPECT_EQ(prefs.privilegeAtPath("relative"), -1);

    prefs.setFoldersPrivilege({TWPrivilegeFolder::initWithFolder("/a/b/c.txt", 4)});
    EXPECT_EQ(prefs.privilegeAtPath("/a/b/c.txt"), -1);

    prefs.setFoldersPrivilege({TWPrivilegeFolder::initWithFolder("/", 1), TWPrivilegeFolder::initWithFolder("rel", 6)});
    EXPECT_EQ(prefs.privilegeAtPath("/a/b/c.txt"), 1) << "the root is an ancestor too";
    EXPECT_EQ(prefs.privilegeAtPath("rel/f"), 6);
}

TEST(PrivilegeFolder, FoldersAreComparedAsText) {
    twtest::ScopedDefaults defaults;
    twtest::TempDir dir;
    std::string real = dir.mkdir("real");
    std::string link = dir.symlink(real, "link");
    auto& prefs = TWPreference::shared();
    prefs.addPrivilegeFolder(link);
    prefs.foldersPrivilege()[0]->setPrivilege(3);
    EXPECT_EQ(prefs.privilegeAtPath(link + "/f"), 3);
    EXPECT_EQ(prefs.privilegeAtPath(real + "/f"), -1);
}
