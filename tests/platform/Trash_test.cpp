#include "platform/Trash.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "GioDataHome.h"
#include "TestSupport.h"

namespace {

bool isLink(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string homeTrash() {
    return twtest::gioDataHome() + "/Trash";
}

TEST(TrashTest, MovesAFileToTheHomeTrashWithItsInfo) {
    twtest::TempDir dir;
    const std::string path = dir.write("report one.txt", "content");
    const tw::Status status = tw::Trash::moveToTrash(path);
    ASSERT_TRUE(status) << status.message();
    EXPECT_FALSE(twtest::exists(path));
    EXPECT_EQ(twtest::readFile(homeTrash() + "/files/report one.txt"), "content");
    const std::string info = twtest::readFile(homeTrash() + "/info/report one.txt.trashinfo");
    EXPECT_NE(info.find("Path="), std::string::npos);
}

TEST(TrashTest, TrashesASymbolicLinkItselfNeverItsTarget) {
    twtest::TempDir dir;
    const std::string target = dir.write("target.txt", "keep me");
    const std::string link = dir.symlink(target, "link-to-target");
    const tw::Status status = tw::Trash::moveToTrash(link);
    ASSERT_TRUE(status) << status.message();
    EXPECT_FALSE(twtest::exists(link));
    EXPECT_EQ(twtest::readFile(target), "keep me");
    EXPECT_TRUE(isLink(homeTrash() + "/files/link-to-target"));
}

TEST(TrashTest, TrashesAFolderWithItsContent) {
    twtest::TempDir dir;
    dir.write("album/a.jpg", "a");
    const tw::Status status = tw::Trash::moveToTrash(dir / "album");
    ASSERT_TRUE(status) << status.message();
    EXPECT_FALSE(twtest::exists(dir / "album"));
    EXPECT_EQ(twtest::readFile(homeTrash() + "/files/album/a.jpg"), "a");
}

TEST(TrashTest, FailureCarriesThePathAndGiosMessage) {
    twtest::TempDir dir;
    const std::string missing = dir / "missing.txt";
    const tw::Status status = tw::Trash::moveToTrash(missing);
    EXPECT_FALSE(status);
    EXPECT_EQ(status.path, missing);
    EXPECT_FALSE(status.reason.empty());
    EXPECT_EQ(status.error, ENOENT);
    EXPECT_EQ(status.message().rfind(missing + ": ", 0), 0u);
}

TEST(TrashTest, AVolumeWithoutTrashReportsFailureAndKeepsTheItem) {
    // GIO keeps no trash on system-internal mounts such as /dev/shm: the item must stay
    // where it is and the caller must learn why.
    const char* oldTmp = getenv("TMPDIR");
    const std::string savedTmp = oldTmp ? oldTmp : "";
    setenv("TMPDIR", "/dev/shm", 1);
    twtest::TempDir dir("twinsift-volume");
    if (oldTmp)
        setenv("TMPDIR", savedTmp.c_str(), 1);
    else
        unsetenv("TMPDIR");
    const std::string path = dir.write("kept.bin", "v");
    const tw::Status status = tw::Trash::moveToTrash(path);
    EXPECT_FALSE(status);
    EXPECT_EQ(status.path, path);
    EXPECT_FALSE(status.reason.empty());
    EXPECT_EQ(twtest::readFile(path), "v");
}

}  // namespace
