// The per-file operations: their effect on disk and their log lines, word for word,
// and that every failure is answered as a failed status.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "Log.h"
#include "RemovalTestSupport.h"
#include "TWFileRemoval.h"
#include "TestSupport.h"

namespace {

using twtest::exists;
using twtest::readFile;

std::shared_ptr<TWFileUtility> record(const std::string& path) {
    return TWFileUtility::initWithPath(path);
}

TEST(FileRemovalTest, TrashMovesTheFileIntoThePrivateTrash) {
    twtest::TempDir dir;
    const std::string path = dir.write("trash me.txt", "gone");
    auto file = record(path);
    ASSERT_TRUE(TWFileRemoval::removedFileToTrash(*file));
    EXPECT_FALSE(exists(path));
    EXPECT_EQ(readFile(removaltest::dataHome() + "/Trash/files/trash me.txt"), "gone");
}

TEST(FileRemovalTest, AFailedTrashIsLoggedWithPathAndReason) {
    twtest::TempDir dir;
    const std::string path = dir.write("vanishing.txt", "x");
    auto file = record(path);
    ASSERT_EQ(unlink(path.c_str()), 0);
    tw::LogCapture log;
    const tw::Status status = TWFileRemoval::removedFileToTrash(*file);
    EXPECT_FALSE(status);
    EXPECT_EQ(status.path, path);
    EXPECT_TRUE(log.contains("Failed to move file(" + path + ") to Trash with error: ")) << log.lines().size();
}

TEST(FileRemovalTest, DirectRemovalDeletesAPackageButNotWhatItsLinksPointTo) {
    twtest::TempDir dir;
    const std::string outside = dir.write("outside.txt", "keep");
    dir.write("Tool.app/Contents/Info.plist", "plist");
    dir.symlink(outside, "Tool.app/Contents/link");
    auto package = record(dir / "Tool.app");
    ASSERT_TRUE(TWFileRemoval::removedFileDirect(*package));
    EXPECT_FALSE(exists(dir / "Tool.app"));
    EXPECT_EQ(readFile(outside), "keep");
}

TEST(FileRemovalTest, APermissionErrorIsLoggedAndReported) {
    twtest::TempDir dir;
    const std::string path = dir.write("locked/file.txt", "x");
    auto file = record(path);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod((dir / "locked").c_str(), 0755), 0);  // root's folder: nobody may not unlink in it
    int rc = twtest::runAsUnprivileged([&] {
        tw::LogCapture log;
        tw::Status status = TWFileRemoval::removedFileDirect(*file);
        if (status || status.path != path) return 1;
        return log.count("Failed to remove file(" + path + ") directly with error: Permission denied") == 1 ? 0 : 2;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(exists(path));
}

TEST(FileRemovalTest, MoveWithoutAFolderLeavesTheFile) {
    twtest::TempDir dir;
    const std::string path = dir.write("a.txt", "x");
    tw::LogCapture log;
    EXPECT_FALSE(TWFileRemoval::moveFile(*record(path), ""));
    EXPECT_EQ(log.count("Move to folder must not be nil"), 1u);
    EXPECT_TRUE(exists(path));
}

TEST(FileRemovalTest, MoveCreatesTheMissingFolderWithItsParents) {
    twtest::TempDir dir;
    const std::string path = dir.write("a.txt", "x");
    ASSERT_TRUE(TWFileRemoval::moveFile(*record(path), dir / "new/deeper"));
    EXPECT_EQ(readFile(dir / "new/deeper/a.txt"), "x");
}

TEST(FileRemovalTest, AFailedMoveIsLoggedWithSourceAndCandidate) {
    twtest::TempDir dir;
    const std::string path = dir.write("a.txt", "x");
    const std::string notAFolder = dir.write("plain", "file in the way");
    tw::LogCapture log;
    EXPECT_FALSE(TWFileRemoval::moveFile(*record(path), notAFolder));
    EXPECT_EQ(
        log.count("Failed to move file(" + path + ") to dest(" + notAFolder + "/a.txt) with error: Not a directory"),
        1u);
    EXPECT_TRUE(exists(path));
}

// A deletion sets the item aside under a private name in its own folder, judges it
// there, and deletes it only when it is still the item meant; otherwise it gets its name
// back, or, when that name was taken meanwhile, stays under the private name.
TEST(FileRemovalTest, ADeletionJudgesTheItemSetAsideAndPutsItBackWhenRefused) {
    twtest::TempDir dir;
    const std::string path = dir.write("f/keep.txt", "keep");
    auto file = record(path);
    std::string aside;
    tw::Status status = TWFileRemoval::removedFileDirect(*file, [&](const std::string& at) {
        aside = at;
        EXPECT_FALSE(exists(path));
        EXPECT_EQ(readFile(at), "keep");
        return false;
    });
    EXPECT_FALSE(status);
    EXPECT_EQ(status.path, path);
    EXPECT_EQ(aside.substr(0, aside.rfind('/')), dir / "f");
    EXPECT_EQ(readFile(path), "keep");
    EXPECT_FALSE(exists(aside));

    status = TWFileRemoval::removedFileDirect(*file, [&](const std::string& at) {
        aside = at;
        dir.write("f/keep.txt", "a newcomer under the name");
        return false;
    });
    EXPECT_FALSE(status);
    EXPECT_NE(status.reason.find("stays as " + aside), std::string::npos) << status.reason;
    EXPECT_EQ(readFile(path), "a newcomer under the name");
    EXPECT_EQ(readFile(aside), "keep");

    const std::string gone = dir.write("g/gone.txt", "x");
    EXPECT_TRUE(TWFileRemoval::removedFileDirect(*record(gone), [](const std::string&) { return true; }));
    EXPECT_FALSE(exists(gone));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "g"));
}

}  // namespace
