#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "ResultsTestSupport.h"

namespace {

using namespace resultstest;

// A latch for handing control between the removal thread and the test.
class Gate {
public:
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool waitOpen(std::chrono::seconds timeout = std::chrono::seconds(30)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

struct Totals {
    uint64_t groups, checkedCount, checkedSize, duplicateSize, filesInGroup;
    std::string groupName;
};

class ResultsConcurrencyTest : public ResultsTest {};

// While the per-file step of a removal runs (a slow copy, say), the window still reads
// the totals and draws the groups, also the group whose file is being processed.
TEST_F(ResultsConcurrencyTest, TotalsAndGroupsDoNotWaitForAFileOperationInProgress) {
    const GroupPtr three = exactGroup("three", 3, 100);
    const GroupPtr two = exactGroup("two", 2, 40);
    three->setChecked(true, 2);
    two->setChecked(true, 1);
    manager().updateDuplicateFiles({containerOf(TWCategory_documents, {three, two})});
    RecordingDelegate delegate;
    manager().setDelegate(&delegate);
    manager().setSelection({0});
    ASSERT_EQ(manager().numberOfFilesCheckedToRemoved(), 2u);

    Gate inside, release;
    std::vector<FilePtr> handed;
    std::thread removal([&] {
        manager().removeCheckedFilesUsingBlock([&](const FilePtr& file, bool&) {
            handed.push_back(file);
            if (handed.size() == 1) {
                inside.open();
                release.waitOpen();
            }
        });
    });
    ASSERT_TRUE(inside.waitOpen());

    auto read = std::async(std::launch::async, [&] {
        TWDuplicateFilesManager& m = TWDuplicateFilesManager::shared();
        return Totals{m.numberOfDuplicateFiles(),      m.numberOfFilesCheckedToRemoved(),
                      m.sizeOfFilesCheckedToRemoved(), m.duplicateSizeOfCategory(TWCategory_allFiles),
                      three->numberOfFiles(),          three->filename()};
    });
    const bool answered = read.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    release.open();
    removal.join();
    ASSERT_TRUE(answered) << "reading the results waited for the removal";
    const Totals during = read.get();
    EXPECT_EQ(during.groups, 2u);
    EXPECT_EQ(during.checkedCount, 1u);  // the file being removed has left
    EXPECT_EQ(during.checkedSize, 40u);
    EXPECT_EQ(during.duplicateSize, 240u);
    EXPECT_EQ(during.filesInGroup, 2u);
    EXPECT_EQ(during.groupName, "three");

    // The view is reset on the main thread once the walk is over.
    EXPECT_EQ(delegate.calls, 1);
    ASSERT_TRUE(twtest::runMainQueueUntil([&] { return delegate.calls == 2; }));
    EXPECT_TRUE(manager().selection().empty());
    EXPECT_EQ(handed.size(), 2u);
    EXPECT_EQ(manager().numberOfFilesCheckedToRemoved(), 0u);
    EXPECT_EQ(manager().numberOfDuplicateFiles(), 1u);  // the pair fell to one file
    EXPECT_EQ(manager().displayDuplicateFiles(), std::vector<GroupPtr>{three});
}

// The main-thread step of a removal that outlives its manager does nothing.
TEST_F(ResultsConcurrencyTest, RemovalFinishingAfterTheManagerWasReplacedIsHarmless) {
    const GroupPtr pair = exactGroup("pair", 2);
    pair->setChecked(true, 0);
    manager().updateDuplicateFiles({containerOf(TWCategory_documents, {pair})});
    std::thread removal([&] { manager().removeCheckedFilesUsingBlock([](const FilePtr&, bool&) {}); });
    removal.join();
    TWDuplicateFilesManager::resetShared();
    RecordingDelegate delegate;
    manager().setDelegate(&delegate);
    tw::MainQueue::shared().runPending();
    EXPECT_EQ(delegate.calls, 0);
    EXPECT_EQ(pair->numberOfFiles(), 1u);
}

}  // namespace
