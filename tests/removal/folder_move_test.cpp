// Moving into a folder: the free-name series, never replacing anything (with the
// kernel's no-replace rename and with the link fallback), and moves to another file
// system that copy, check and only then delete.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <vector>

#include "RemovalTestSupport.h"
#include "TWFolderMove.h"
#include "TestSupport.h"

namespace {

using removaltest::statOf;

std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}
using twtest::exists;
using twtest::readFile;

// Every free-name and no-replace test runs with the no-replace rename and with the
// fallback that file systems without it get.
class FolderMoveTest : public ::testing::TestWithParam<bool> {
protected:
    TWFolderMove::Options options() const {
        TWFolderMove::Options o;
        o.renameNoReplace = GetParam();
        return o;
    }
    tw::Status move(const std::string& source, const std::string& folder, std::string* dest = nullptr) {
        return TWFolderMove::moveIntoFolder(source, folder, dest, options());
    }
    twtest::TempDir dir;
};

TEST_P(FolderMoveTest, TwoFilesOfOneNameGetTheNextFreeNumber) {
    const std::string target = dir.mkdir("target");
    const std::string first = dir.write("one/a.jpg", "first");
    const std::string second = dir.write("two/a.jpg", "second");
    std::string dest;
    ASSERT_TRUE(move(first, target, &dest));
    EXPECT_EQ(dest, target + "/a.jpg");
    ASSERT_TRUE(move(second, target, &dest));
    EXPECT_EQ(dest, target + "/a 1.jpg");
    EXPECT_EQ(readFile(target + "/a.jpg"), "first");
    EXPECT_EQ(readFile(target + "/a 1.jpg"), "second");
    EXPECT_FALSE(exists(first));
    EXPECT_FALSE(exists(second));
}

TEST_P(FolderMoveTest, TakenNamesAreSkippedAndLeftUntouched) {
    dir.write("target/report.txt", "old");
    dir.write("target/report 1.txt", "older");
    dir.write("target/README", "kept readme");
    const std::string report = dir.write("src/report.txt", "new");
    const std::string readme = dir.write("src/README", "new readme");
    std::string dest;
    ASSERT_TRUE(move(report, dir / "target", &dest));
    EXPECT_EQ(dest, dir / "target/report 2.txt");
    ASSERT_TRUE(move(readme, dir / "target", &dest));
    EXPECT_EQ(dest, dir / "target/README 1");
    EXPECT_EQ(readFile(dir / "target/report.txt"), "old");
    EXPECT_EQ(readFile(dir / "target/report 1.txt"), "older");
    EXPECT_EQ(readFile(dir / "target/report 2.txt"), "new");
    EXPECT_EQ(readFile(dir / "target/README"), "kept readme");
    EXPECT_EQ(readFile(dir / "target/README 1"), "new readme");
}

TEST_P(FolderMoveTest, TheRenameStepItselfRefusesAnExistingName) {
    // What an existence check followed by a rename gets wrong: the name is taken by the
    // time the rename runs. The step must fail, not replace.
    const std::string source = dir.write("a.txt", "mine");
    const std::string taken = dir.write("b.txt", "appeared meanwhile");
    EXPECT_EQ(TWFolderMove::renameNoReplace(source, taken, false, options()), EEXIST);
    EXPECT_EQ(readFile(taken), "appeared meanwhile");
    EXPECT_EQ(readFile(source), "mine");

    const std::string package = dir.write("Tool.app/Contents/Info.plist", "plist");
    const std::string takenFolder = dir.mkdir("Other.app");
    dir.write("Other.app/inside", "theirs");
    EXPECT_EQ(TWFolderMove::renameNoReplace(dir / "Tool.app", takenFolder, true, options()), EEXIST);
    EXPECT_EQ(readFile(takenFolder + "/inside"), "theirs");
    EXPECT_EQ(readFile(package), "plist");
}

TEST_P(FolderMoveTest, APackageMovesWholeUnderAFreeName) {
    dir.write("Tool.app/Contents/Info.plist", "plist");
    dir.mkdir("target/Tool.app");
    std::string dest;
    ASSERT_TRUE(move(dir / "Tool.app", dir / "target", &dest));
    EXPECT_EQ(dest, dir / "target/Tool 1.app");
    EXPECT_EQ(readFile(dir / "target/Tool 1.app/Contents/Info.plist"), "plist");
    EXPECT_FALSE(exists(dir / "Tool.app"));
}

INSTANTIATE_TEST_SUITE_P(RenameModes, FolderMoveTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "NoReplaceRename" : "LinkFallback"; });

TEST(FolderMoveNames, SplitKeepsLeadingAndTrailingDotsInTheName) {
    std::string name, ext;
    TWFolderMove::splitName("archive.tar.gz", &name, &ext);
    EXPECT_EQ(name + "|" + ext, "archive.tar|gz");
    TWFolderMove::splitName(".profile", &name, &ext);
    EXPECT_EQ(name + "|" + ext, ".profile|");
    TWFolderMove::splitName("notes.", &name, &ext);
    EXPECT_EQ(name + "|" + ext, "notes.|");
    EXPECT_EQ(TWFolderMove::candidatePath("/d/.profile", "", 2), "/d/.profile 2");
}

class CrossDeviceMoveTest : public ::testing::Test {
protected:
    void SetUp() override {
        other = removaltest::otherFileSystemDir(dir);
        ASSERT_TRUE(other) << "no second file system (a tmpfs at /dev/shm) to move across";
    }
    twtest::TempDir dir;
    std::unique_ptr<twtest::TempDir> other;
};

TEST_F(CrossDeviceMoveTest, CopiesChecksThenDeletesAndKeepsModeAndTime) {
    const std::string content = twtest::randomBytes(3 << 20, 7);
    const std::string source = dir.write("big.bin", content);
    ASSERT_EQ(chmod(source.c_str(), 0640), 0);
    const struct timespec times[2] = {{1000000000, 0}, {1234567890, 500}};
    ASSERT_EQ(utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
    other->write("big.bin", "already here");

    std::string dest;
    const tw::Status status = TWFolderMove::moveIntoFolder(source, other->path(), &dest);
    ASSERT_TRUE(status) << status.message();
    EXPECT_EQ(dest, other->path() + "/big 1.bin");
    EXPECT_FALSE(exists(source));
    EXPECT_EQ(readFile(dest), content);
    EXPECT_EQ(readFile(other->path() + "/big.bin"), "already here");
    const struct stat st = statOf(dest);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1234567890);
    EXPECT_EQ(st.st_mtim.tv_nsec, 500);
}

TEST_F(CrossDeviceMoveTest, APackageStaysWhereItIs) {
    const std::string plist = dir.write("Tool.app/Contents/Info.plist", "plist");
    const tw::Status status = TWFolderMove::moveIntoFolder(dir / "Tool.app", other->path(), nullptr);
    EXPECT_FALSE(status);
    EXPECT_EQ(status.error, EXDEV);
    EXPECT_EQ(readFile(plist), "plist");
    EXPECT_FALSE(exists(other->path() + "/Tool.app"));
}

TEST_F(CrossDeviceMoveTest, AFailedCopyLeavesTheSourceAndRemovesThePartialCopy) {
    const std::string content = twtest::randomBytes(3 << 20, 11);
    const std::string source = dir.write("big.bin", content);
    // A file-size limit in a child makes the copy's writes fail part-way.
    int rc = removaltest::runInChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {
            1 << 20, 1 << 20
        };
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
        tw::Status status = TWFolderMove::moveIntoFolder(source, other->path(), nullptr);
        return status ? 1 : 0;
    });
    ASSERT_EQ(rc, 0) << "the move reported success";
    EXPECT_EQ(readFile(source), content);
    EXPECT_TRUE(entriesOf(other->path()).empty());
}

TEST_F(CrossDeviceMoveTest, TheCopyTakesItsRealNameOnlyOnceItWasChecked) {
    const std::string content = twtest::randomBytes(3 << 20, 5);
    const std::string source = dir.write("big.bin", content);
    TWFolderMove::Options options;
    std::vector<std::vector<std::string>> seen;  // the folder after each block
    options.afterCopiedBlock = [&](uint64_t) { seen.push_back(entriesOf(other->path())); };
    std::string dest;
    ASSERT_TRUE(TWFolderMove::moveIntoFolder(source, other->path(), &dest, options));
    ASSERT_EQ(seen.size(), 3u);
    for (const auto& entries : seen) {
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].rfind(".twinsift-move-", 0), 0u) << entries[0];
    }
    EXPECT_EQ(entriesOf(other->path()), std::vector<std::string>{"big.bin"});
    EXPECT_EQ(readFile(dest), content);
}

// A move killed part-way (SIGKILL: nothing runs) leaves no file under a real name; a
// signal whose handler calls removePartialCopies() leaves nothing at all.
TEST_F(CrossDeviceMoveTest, AMoveKilledPartWayLeavesNoFileUnderARealName) {
    const std::string content = twtest::randomBytes(3 << 20, 13);
    const std::string source = dir.write("big.bin", content);
    for (int signal : {SIGKILL, SIGTERM}) {
        SCOPED_TRACE(signal);
        int rc = removaltest::runInChild([&] {
            ::signal(SIGTERM, [](int) {
                TWFolderMove::removePartialCopies();
                _exit(3);
            });
            TWFolderMove::Options options;
            options.afterCopiedBlock = [&](uint64_t copied) {
                if (copied == 1 << 20) raise(signal);
            };
            TWFolderMove::moveIntoFolder(source, other->path(), nullptr, options);
            return 0;
        });
        EXPECT_EQ(rc, signal == SIGKILL ? -1 : 3);
        EXPECT_EQ(readFile(source), content);
        for (const auto& name : entriesOf(other->path())) {
            EXPECT_EQ(signal, SIGKILL) << name << " left after the handler ran";
            EXPECT_EQ(name.rfind(".twinsift-move-", 0), 0u) << name;
            twtest::removeTree(other->path() + "/" + name);
        }
    }
}

TEST_F(CrossDeviceMoveTest, AnUnwritableDestinationLeavesTheSource) {
    const std::string source = dir.write("src/a.txt", "data");
    ASSERT_EQ(chown(dir.path().c_str(), twtest::unprivilegedUid(), twtest::unprivilegedGid()), 0);
    ASSERT_EQ(chown((dir / "src").c_str(), twtest::unprivilegedUid(), twtest::unprivilegedGid()), 0);
    ASSERT_EQ(chown(source.c_str(), twtest::unprivilegedUid(), twtest::unprivilegedGid()), 0);
    ASSERT_EQ(chmod(other->path().c_str(), 0755), 0);  // root's, not writable by nobody
    int rc = twtest::runAsUnprivileged([&] {
        tw::Status status = TWFolderMove::moveIntoFolder(source, other->path(), nullptr);
        return !status && status.error == EACCES ? 0 : 1;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(readFile(source), "data");
}

}  // namespace
