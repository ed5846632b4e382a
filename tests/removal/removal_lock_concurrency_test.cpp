// One removal at a time per user: a run waits for another that holds the removal lock
// (or ends at once when told not to wait), a cancel ends the wait, and a lock file that
// is a link is never followed.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "InMemoryMediaLibrary.h"
#include "MediaLibraryService.h"
#include "RemovalRunSupport.h"
#include "TWMediaObjectUtility.h"
#include "TWRemovalLock.h"
#include "TWRemovalRun.h"
#include "TestSupport.h"

namespace {

using namespace removaltest;
using twtest::exists;

// Sets an environment variable for the life of the object (unset when `value` is null).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = getenv(name)) old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class WaitingProgress : public RecordingProgress {
public:
    bool waiting = false;
    void removalIsWaiting() override { waiting = true; }
};

class RemovalLockTest : public ::testing::Test {
protected:
    void TearDown() override { tw::ScriptExecutor::install(nullptr); }

    std::shared_ptr<TWRemovalRun> startRun(const std::vector<TWCategoryFiles::Ptr>& containers,
                                           const std::shared_ptr<WaitingProgress>& progress, bool wait = true) {
        TWRemovalRun::Options options;
        options.destType = TWDestTypeDeletePermanently;
        options.waitForOtherRemoval = wait;
        auto run = TWRemovalRun::create(std::make_shared<ContainerSource>(containers), progress, options);
        run->start();
        return run;
    }
    // A kept file and a checked copy of it.
    TWCategoryFiles::Ptr pair(const std::string& kept, const std::string& copy) {
        return containerOf(
            TWCategory_documents,
            {groupOf({{recordOf(dir.write(kept, "same")), false}, {recordOf(dir.write(copy, "same")), true}})});
    }

    twtest::TempDir dir;
    twtest::TempDir runtime{"twinsift-runtime"};
    ScopedEnv runtimeDir{"XDG_RUNTIME_DIR", runtime.path().c_str()};
};

TEST_F(RemovalLockTest, ASecondRunWaitsUntilTheFirstHasDoneItsLastAct) {
    auto executor = std::make_shared<HoldingExecutor>(1);
    tw::ScriptExecutor::install(executor);
    // The first run keeps x and removes y, then hands a library item over, its last act,
    // which holds it; the second keeps y and removes x.
    auto object = std::make_shared<twtest::InMemoryMediaObject>("ID-1", dir.write("library/1.jpg", "p"),
                                                                MLMediaSourcePhotosIdentifier);
    auto item = TWMediaObjectUtility::initWithMediaObject(object, MLMediaSourcePhotosIdentifier);
    auto held =
        containerOf(TWCategory_images, {groupOf({{recordOf(dir.write("library/k.jpg", "p")), false}, {item, true}})});
    auto first = std::make_shared<WaitingProgress>();
    auto runA = startRun({held, pair("x.txt", "y.txt")}, first);
    ASSERT_TRUE(twtest::runMainQueueUntil([&] { return executor->isHeld(); }));

    auto second = std::make_shared<WaitingProgress>();
    auto otherWay = containerOf(TWCategory_documents,
                                {groupOf({{recordOf(dir / "x.txt"), true}, {recordOf(dir / "y.txt"), false}})});
    auto runB = startRun({otherWay}, second);
    ASSERT_TRUE(twtest::runMainQueueUntil([&] { return second->waiting || second->finished; }));
    EXPECT_TRUE(second->waiting);
    EXPECT_FALSE(second->started);
    EXPECT_TRUE(exists(dir / "x.txt"));

    executor->release();
    ASSERT_TRUE(twtest::runMainQueueUntil([&] { return first->finished && second->finished; }));
    EXPECT_FALSE(exists(dir / "y.txt"));
    EXPECT_TRUE(exists(dir / "x.txt")) << "the last copy stays";
    EXPECT_EQ(second->outcome.failed, 1u);
    EXPECT_TRUE(second->outcome.notStarted.empty());
    EXPECT_FALSE(first->waiting);
}

TEST_F(RemovalLockTest, WithoutWaitingARunEndsAtOnceAndTouchesNothing) {
    tw::Status status;
    auto lock = TWRemovalLock::tryLock(&status);
    ASSERT_TRUE(lock) << status.message();
    EXPECT_EQ(TWRemovalLock::lockPath(), runtime / "twinsift-removal.lock");

    auto container = pair("a.txt", "b.txt");
    auto progress = std::make_shared<WaitingProgress>();
    startRun({container}, progress, false);
    ASSERT_TRUE(twtest::runMainQueueUntil([&] { return progress->finished; }));
    EXPECT_TRUE(progress->outcome.otherRemovalRunning);
    EXPECT_NE(progress->outcome.notStarted.find("another removal is running"), std::string::npos);
    EXPECT_EQ(progress->outcome.handled, 0u);
    EXPECT_TRUE(exists(dir / "b.txt"));
    EXPECT_EQ(container->numberOfFilesCheckedToRemoved(), 1u) << "the results keep the checked copy";
}

TEST_F(RemovalLockTest, ACancelWhileWaitingEndsTheRunWithoutTouchingAnything) {
    auto lock = TWRemovalLock::tryLock(nullptr);
    ASSERT_TRUE(lock);
    auto progress = std::make_shared<WaitingProgress>();
    auto run = startRun({pair("a.txt", "b.txt")}, progress);
    ASSERT_TRUE(progress->waiting) << "said before start() returned";
    run->cancel();
    ASSERT_TRUE(twtest::runMainQueueUntil([&] { return progress->finished; }));
    EXPECT_TRUE(progress->outcome.cancelled);
    EXPECT_FALSE(progress->outcome.notStarted.empty());
    EXPECT_EQ(progress->outcome.handled, 0u);
    EXPECT_TRUE(exists(dir / "b.txt"));

    // The abandoned wait lets the lock go as soon as it gets it.
    lock.reset();
    auto again = std::make_shared<WaitingProgress>();
    startRun({pair("c.txt", "d.txt")}, again);
    ASSERT_TRUE(twtest::runMainQueueUntil([&] { return again->finished; }));
    EXPECT_FALSE(exists(dir / "d.txt"));
}

TEST_F(RemovalLockTest, ALockFileThatIsALinkIsRefusedAndTheRunRemovesNothing) {
    twtest::TempDir elsewhere;
    runtime.symlink(elsewhere / "lock", "twinsift-removal.lock");
    auto progress = std::make_shared<WaitingProgress>();
    startRun({pair("a.txt", "b.txt")}, progress);
    ASSERT_TRUE(twtest::runMainQueueUntil([&] { return progress->finished; }));
    EXPECT_FALSE(progress->outcome.otherRemovalRunning);
    EXPECT_NE(progress->outcome.notStarted.find("symbolic link"), std::string::npos) << progress->outcome.notStarted;
    EXPECT_TRUE(exists(dir / "b.txt"));
    EXPECT_FALSE(exists(elsewhere / "lock"));
}

TEST(RemovalLockPath, WithoutARuntimeFolderTheLockIsInAPrivateCacheFolder) {
    twtest::TempDir cache;
    ScopedEnv noRuntime("XDG_RUNTIME_DIR", nullptr);
    ScopedEnv cacheHome("XDG_CACHE_HOME", (cache / "made").c_str());
    EXPECT_EQ(TWRemovalLock::lockPath(), cache / "made/twinsift/removal.lock");
    auto lock = TWRemovalLock::tryLock(nullptr);
    ASSERT_TRUE(lock);
    struct stat st {};
    ASSERT_EQ(stat((cache / "made/twinsift").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    tw::Status status;
    EXPECT_FALSE(TWRemovalLock::tryLock(&status));
    EXPECT_EQ(status.error, EWOULDBLOCK);
}

}  // namespace
