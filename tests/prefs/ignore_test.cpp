// The test the scan applies to every entry: hidden items, file types, the folder
// list and the size window, in that order.

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/DefaultsStore.h"
#include "prefs/TWPreference.h"

namespace {

class IgnoreTest : public ::testing::Test {
protected:
    twtest::ScopedDefaults defaults;
    twtest::TempDir tree;
    TWPreference& prefs() { return TWPreference::shared(); }
    bool ignored(const std::string& relative) { return prefs().fileFolderIsIgnored(tree / relative); }
};

}  // namespace

TEST_F(IgnoreTest, SizeWindowKeepsTheMinimumAndDropsTheMaximum) {
    tree.write("small", std::string(9, 'x'));
    tree.write("min", std::string(10, 'x'));
    tree.write("below-max", std::string(19, 'x'));
    tree.write("max", std::string(20, 'x'));
    EXPECT_FALSE(ignored("small")) << "no window by default";
    prefs().setFilterMinSize(10);
    prefs().setFilterMaxSize(20);
    EXPECT_TRUE(ignored("small"));
    EXPECT_FALSE(ignored("min"));
    EXPECT_FALSE(ignored("below-max"));
    EXPECT_TRUE(ignored("max"));
}

TEST_F(IgnoreTest, FileTypesMatchWithOrWithoutDotInAnyCase) {
    for (const char* entry : {"JPG", ".jpg", ".JPG"}) {
        prefs().setFilterFileTypeArray(std::vector<std::string>{"", entry});
        tree.write("photo.jpg", "x");
        tree.write("PHOTO.Jpg", "x");
        EXPECT_TRUE(ignored("photo.jpg")) << entry;
        EXPECT_TRUE(ignored("PHOTO.Jpg")) << entry;
        EXPECT_FALSE(ignored("photo.jpeg")) << entry;
    }
    // Types apply to folders as well.
    tree.mkdir("album.jpg");
    EXPECT_TRUE(ignored("album.jpg"));

    // Neither an empty entry nor a bare "." ignores names without an extension.
    prefs().setFilterFileTypeArray(std::vector<std::string>{"", "."});
    tree.write("README", "x");
    EXPECT_FALSE(ignored("README"));
    EXPECT_FALSE(ignored("photo.jpg"));
}

TEST_F(IgnoreTest, HiddenItemsFollowTheSetting) {
    tree.write(".secret", "x");
    tree.write("listed", "x");
    tree.write(".hidden", "listed\n");
    EXPECT_TRUE(ignored(".secret"));
    EXPECT_TRUE(ignored("listed"));
    prefs().setSkipHiddenItems(false);
    EXPECT_FALSE(ignored(".secret"));
    EXPECT_FALSE(ignored("listed"));
    prefs().addFilterFileType("secret");  // another rule may still ignore it
    EXPECT_TRUE(ignored(".secret"));
}

TEST_F(IgnoreTest, FolderListIgnoresFoldersBelowButFilesOnlyByName) {
    tree.write("a/b/c/x", "x");
    tree.mkdir("a/bc");
    tree.write("single", "x");
    prefs().setFilterFileFolders({tree / "a/b", tree / "single"});
    EXPECT_TRUE(ignored("a/b"));
    EXPECT_TRUE(ignored("a/b/c"));
    EXPECT_FALSE(ignored("a/b/c/x")) << "files are tested by size, not by ancestry";
    EXPECT_FALSE(ignored("a/bc")) << "the file system answers for existing paths";
    EXPECT_FALSE(ignored("a"));
    EXPECT_TRUE(ignored("single"));
    prefs().removeFilterFileFolder(tree / "a/b");
    EXPECT_FALSE(ignored("a/b/c")) << "a change is seen by the next test";
}

TEST_F(IgnoreTest, EmptyFolderEntryIgnoresNothing) {
    tree.mkdir("d");
    ASSERT_TRUE(tw::DefaultsStore::standard().setValue("archiveHiddenFiles", tw::DefaultsStore::Value::array({""})));
    EXPECT_FALSE(ignored("d"));
}

TEST_F(IgnoreTest, NamesThatAreNotUtf8) {
    const std::string latin1 = "caf\xe9";
    tree.write(latin1 + "/inner/f", "x");
    tree.write("x." + std::string("\xe9xt"), "x");
    prefs().addFilterFileFolder(tree / latin1);
    prefs().addFilterFileType("\xc9XT");  // upper-case ASCII letters only are folded
    EXPECT_TRUE(ignored(latin1));
    EXPECT_TRUE(ignored(latin1 + "/inner"));
    EXPECT_FALSE(ignored("x.\xe9xt"));
    prefs().addFilterFileType("\xe9xt");
    EXPECT_TRUE(ignored("x.\xe9xt"));
}

TEST_F(IgnoreTest, AnotherProcessChangeIsSeen) {
    tree.write("f.log", "x");
    EXPECT_FALSE(ignored("f.log"));
    tw::DefaultsStore other(defaults.defaultsPath());
    ASSERT_TRUE(other.setValue("sortArray", tw::DefaultsStore::Value::array({"log"})));
    tw::DefaultsStore::standard().reloadNow();
    EXPECT_TRUE(ignored("f.log"));
}

TEST_F(IgnoreTest, PackagesFollowTheirSettingAndNotTheFolderList) {
    tree.write("Tool.app/Contents/Info.plist", "<plist/>");
    prefs().addFilterFileFolder(tree.path());
    EXPECT_FALSE(ignored("Tool.app")) << "a package is not tested by ancestry";
    prefs().setFilterPackage(true);
    EXPECT_TRUE(ignored("Tool.app"));
}
