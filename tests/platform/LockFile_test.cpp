// The lock file that keeps processes apart: exclusion, release by the kernel when the
// holder dies, and the names it refuses to follow.

#include "LockFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "TestSupport.h"

namespace fs = std::filesystem;
using tw::LockFile;

TEST(LockFile, TwoHoldersExcludeEachOtherAlsoWithinOneProcess) {
    twtest::TempDir dir;
    const std::string path = dir / "a.lock";
    tw::Status status;
    auto first = LockFile::acquire(path, false, &status);
    ASSERT_TRUE(first) << status.message();
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

    EXPECT_FALSE(LockFile::acquire(path, false, &status));
    EXPECT_EQ(status.error, EWOULDBLOCK);
    first.reset();
    EXPECT_TRUE(LockFile::acquire(path, false, &status)) << status.message();
    EXPECT_TRUE(twtest::exists(path)) << "the file stays for the next holder";
}

TEST(LockFile, AHolderThatDiesReleasesTheLock) {
    twtest::TempDir dir;
    const std::string path = dir / "a.lock";
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        tw::Status status;
        auto held = LockFile::acquire(path, false, &status);
        char byte = held ? 'y' : 'n';
        (void)!write(ready[1], &byte, 1);
        pause();  // killed here, the lock still held
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');
    tw::Status status;
    EXPECT_FALSE(LockFile::acquire(path, false, &status));
    kill(child, SIGKILL);
    int wstatus = 0;
    waitpid(child, &wstatus, 0);
    auto lock = LockFile::acquire(path, true, &status);  // would block for ever if the lock outlived its holder
    EXPECT_TRUE(lock) << status.message();
    close(ready[0]);
    close(ready[1]);
}

TEST(LockFile, RefusesALinkAndAnythingThatIsNotARegularFile) {
    twtest::TempDir dir, elsewhere;
    dir.symlink(elsewhere / "target", "link.lock");
    dir.fifo("fifo.lock");
    dir.mkdir("folder.lock");
    tw::Status status;
    EXPECT_FALSE(LockFile::acquire(dir / "link.lock", true, &status));
    EXPECT_EQ(status.error, ELOOP);
    EXPECT_FALSE(twtest::exists(elsewhere / "target")) << "nothing is created where the link leads";
    EXPECT_FALSE(LockFile::acquire(dir / "fifo.lock", true, &status));
    EXPECT_EQ(status.error, EINVAL);
    EXPECT_FALSE(LockFile::acquire(dir / "folder.lock", true, &status));
    EXPECT_FALSE(status.reason.empty());
}
