// Scans with many walkers: stop, pause and resume, counting with and without the main
// thread's wait, and library items arriving late from their own task.

#include <gtest/gtest.h>

#include "InMemoryMediaLibrary.h"
#include "ScanHarness.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "prefs/TWPreference.h"

using namespace twtest;
using namespace std::chrono_literals;

namespace {

class SearchEngineThreads : public ::testing::Test {
protected:
    ScopedDefaults defaults;
    TempDir dir;
};

TEST_F(SearchEngineThreads, CountsArriveOncePerFileInOrderWithOrWithoutTheWait) {
    buildTree(dir);
    for (bool wait : {true, false}) {
        auto options = quietOptions();
        options.waitForCounts = wait;
        ScanReport report = scan({dir / "tree"}, options);
        EXPECT_EQ(report.events.front(), "start");
        EXPECT_EQ(report.events.back(), "finished");
        EXPECT_EQ(report.progressCount(), kTreeFiles);
        EXPECT_EQ(report.scanned, kTreeFiles);
        EXPECT_EQ(report.duplicates, kTreeFiles / 2);
        EXPECT_EQ(groupsOf(report, dir.path()).size(), kTreeFiles / 2);
    }
}

TEST_F(SearchEngineThreads, AStopStillFinishesWithGroupedCheckedSortedPartialResults) {
    buildTree(dir);
    auto engine = TWSearchDuplicateFiles::init(quietOptions());
    engine->searchRootPaths({dir / "tree"});
    ScanObserver observer(engine);
    observer.onProgress = [](TWSearchDuplicateFiles& e) {
        if (e.numberOfSearchFiles() == 40) e.stopSearch();
    };
    engine->startSearch();
    ASSERT_TRUE(observer.waitFinished());
    const ScanReport& report = observer.report;
    EXPECT_GE(report.scanned, 40u);
    EXPECT_LT(report.scanned, kTreeFiles);
    EXPECT_EQ(report.progressCount(), report.scanned);
    EXPECT_FALSE(engine->isSearching());
    for (const auto& container : report.containers)
        for (const auto& group : container->duplicateFilesIncludingSimilar()) {
            EXPECT_GE(group->numberOfFiles(), 2u);
            EXPECT_EQ(group->numberOfChecked(), group->numberOfFiles() - 1);
            auto files = group->itemsOfFileUtility();
            for (size_t i = 1; i < files.size(); ++i) EXPECT_GE(*files[i - 1]->createTime(), *files[i]->createTime());
        }
}

TEST_F(SearchEngineThreads, APausedScanHoldsItsWalkersUntilResumed) {
    buildTree(dir);
    auto engine = TWSearchDuplicateFiles::init(quietOptions());
    engine->searchRootPaths({dir / "tree"});
    ScanObserver observer(engine);
    engine->pauseSearch();
    engine->startSearch();
    ASSERT_TRUE(runMainQueueUntil([&] { return !observer.report.events.empty(); }));
    // Held at the gate before the first entry: no count may come while paused.
    tw::MainQueue::shared().runUntil([] { return false; }, 300ms);
    EXPECT_EQ(observer.report.progressCount(), 0u);
    EXPECT_TRUE(engine->isSearching());
    engine->resumeSearch();
    ASSERT_TRUE(observer.waitFinished());
    EXPECT_EQ(observer.report.scanned, kTreeFiles);
}

TEST_F(SearchEngineThreads, AStopReleasesAPausedScan) {
    buildTree(dir);
    auto engine = TWSearchDuplicateFiles::init(quietOptions());
    engine->searchRootPaths({dir / "tree"});
    ScanObserver observer(engine);
    engine->pauseSearch();
    engine->startSearch();
    ASSERT_TRUE(runMainQueueUntil([&] { return !observer.report.events.empty(); }));
    engine->stopSearch();
    ASSERT_TRUE(observer.waitFinished());
    EXPECT_EQ(observer.report.scanned, 0u);
}

TEST_F(SearchEngineThreads, LibraryItemsTakeTheSameRoadsWithinTheirSource) {
    auto service = std::make_shared<InMemoryMediaLibraryService>();
    ScopedMediaLibraryService installed(service);
    const std::string songA = dir.write("music/a.mp3", "the same song");
    const std::string songB = dir.write("music/b.mp3", "the same song");
    const std::string onDisk = dir.write("folder/c.mp3", "the same song");
    auto root = std::make_shared<InMemoryMediaGroup>(Delivery::Late);
    root->objects = {std::make_shared<InMemoryMediaObject>("a", songA, MLMediaSourceiTunesIdentifier),
                     std::make_shared<InMemoryMediaObject>("b", songB, MLMediaSourceiTunesIdentifier),
                     // another identifier for a's file: the same file, counted once
                     std::make_shared<InMemoryMediaObject>("a2", songA, MLMediaSourceiTunesIdentifier),
                     std::make_shared<InMemoryMediaObject>("refused", songB, MLMediaSourceiTunesIdentifier, true)};
    service->sources[MLMediaSourceiTunesIdentifier] = std::make_shared<InMemoryMediaSource>(root, Delivery::Late);
    service->sourcesDelivery = Delivery::Late;

    auto engine = TWSearchDuplicateFiles::init(quietOptions());
    engine->searchRootPaths({dir / "folder"});
    engine->setSearchiTunesLibrary(true);
    ScanObserver observer(engine);
    engine->startSearch();
    ASSERT_TRUE(observer.waitFinished());
    const std::string base = TWFileUtility::resolvePath(dir.path());
    EXPECT_EQ(groupsOf(observer.report, base), (std::vector<Group>{{"music/a.mp3", "music/b.mp3"}}));
    EXPECT_EQ(observer.report.scanned, 3u);  // a, b and the folder's c.mp3
    EXPECT_EQ(observer.report.duplicates, 1u);
}

}  // namespace
