#include <gtest/gtest.h>

#include <algorithm>

#include "ImageFixtures.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "similar/ZPSimilarContext.h"

namespace {

using Paths = std::vector<std::vector<std::string>>;

// Records what a search reports, on the main thread.
class Recorder : public ZPSimilarContextDelegate {
public:
    void similarContextStartFindProcess(ZPSimilarContext&) override {
        EXPECT_TRUE(tw::MainQueue::shared().isMainThread());
        EXPECT_EQ(progressCalls, 0);
        ++starts;
    }
    void similarContextCompleteWithResult(ZPSimilarContext&, const ZPSimilarImagesList& result) override {
        EXPECT_TRUE(tw::MainQueue::shared().isMainThread());
        groups = result;
        ++completions;
    }
    ZPSimilarContext::ProgressBlock progress() {
        return [this](const ZPSimilarImagesList& snapshot) {
            EXPECT_TRUE(tw::MainQueue::shared().isMainThread());
            ++progressCalls;
            lastSnapshotSize = snapshot.size();
        };
    }
    // Each group's paths, sorted, and the groups sorted: walk order is the file system's.
    Paths sortedGroups() const {
        Paths result;
        for (const auto& group : groups) {
            auto paths = group->pathfilesOfImageSign();
            std::sort(paths.begin(), paths.end());
            result.push_back(paths);
        }
        std::sort(result.begin(), result.end());
        return result;
    }

    int starts = 0, completions = 0, progressCalls = 0;
    size_t lastSnapshotSize = 0;
    ZPSimilarImagesList groups;
};

class FolderSearch : public ::testing::Test {
protected:
    void SetUp() override {
        tw::MainQueue::shared().adoptCurrentThread();
        context_->setDelegate(recorder_);
        ZPGdImage blue = twtest::noiseImage(24, 16, 1, 0, 0, 120, 100);
        blue_ = twtest::writePng(dir_, "photos/blue.png", blue.get());
        blueMirror_ = twtest::writePng(dir_, "photos/blue-mirror.png", twtest::mirrored(blue.get()).get());
        red_ = twtest::writePng(dir_, "photos/red.png", twtest::noiseImage(24, 16, 2, 120, 0, 0, 100).get());
        deepBlue_ = twtest::writePng(dir_, "photos/deeper/.blue copy.PNG", blue.get());
        broken_ = dir_.write("photos/broken.jpg", "no picture here");
        dir_.write("photos/notes.txt", "not an image");
        dir_.writeBytes("photos/blue.webp", twtest::encodePng(blue.get()));  // not a candidate
        dir_.fifo("photos/pipe.png");                                        // not a file
        dir_.symlink(dir_.path() + "/photos", "photos/deeper/back-up");      // a cycle
        dir_.symlink(dir_.path() + "/nowhere", "photos/dangling.png");
    }
    bool waitForCompletion() {
        return twtest::runMainQueueUntil([this] { return recorder_->completions == 1; });
    }

    twtest::TempDir dir_;
    std::shared_ptr<ZPSimilarContext> context_ = std::make_shared<ZPSimilarContext>();
    std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
    tw::LogCapture log_;
    std::string blue_, blueMirror_, red_, deepBlue_, broken_;
};

TEST_F(FolderSearch, RecursiveSearchGroupsEveryCandidateOnceAndReportsEachFile) {
    context_->findSimilarImagesAtFolder(dir_ / "photos", recorder_->progress(), true);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(recorder_->starts, 1);
    EXPECT_EQ(recorder_->sortedGroups(), (Paths{{blueMirror_, blue_, deepBlue_}, {red_}}));
    EXPECT_EQ(recorder_->progressCalls, 5);  // four images and the broken one
    EXPECT_EQ(recorder_->lastSnapshotSize, 2u);
    EXPECT_EQ(log_.count("Unable to read [" + broken_ + "], please check image"), 1u);
}

TEST_F(FolderSearch, FlatSearchSkipsSubfolders) {
    context_->findSimilarImagesAtFolder(dir_ / "photos", nullptr, false);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(recorder_->sortedGroups(), (Paths{{blueMirror_, blue_}, {red_}}));
    EXPECT_EQ(recorder_->progressCalls, 0);
}

TEST_F(FolderSearch, SeveralFoldersShareOneListOfGroups) {
    const std::string more =
        twtest::writePng(dir_, "more/blue again.png", twtest::noiseImage(24, 16, 1, 0, 0, 120, 100).get());
    dir_.mkdir("empty");
    context_->findSimilarImagesAtFolders(
        {dir_ / "more", dir_ / "photos", dir_ / "photos/deeper", dir_ / "unreadable", dir_ / "empty"},
        recorder_->progress(), true);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(recorder_->sortedGroups(), (Paths{{more, blueMirror_, blue_, deepBlue_}, {red_}}));
    EXPECT_EQ(recorder_->progressCalls, 6);  // photos/deeper is searched within photos only
}

TEST_F(FolderSearch, StoppingEndsTheWalkAndStillReportsCompletion) {
    context_->findSimilarImagesAtFolder(
        dir_ / "photos",
        [this](const ZPSimilarImagesList&) {
            ++recorder_->progressCalls;
            context_->setTerminalFind(true);
        },
        true);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(recorder_->progressCalls, 1);
    EXPECT_LE(recorder_->groups.size(), 1u);

    // The next search starts afresh.
    recorder_->completions = 0;
    recorder_->progressCalls = 0;
    context_->findSimilarImagesAtFolder(dir_ / "photos", nullptr, true);
    ASSERT_TRUE(waitForCompletion());
    EXPECT_FALSE(context_->terminalFind());
    EXPECT_EQ(recorder_->groups.size(), 2u);
}

TEST_F(FolderSearch, TheSearchOutlivesItsCallersReferences) {
    std::weak_ptr<ZPSimilarContext> weak = context_;
    context_->findSimilarImagesAtFolder(dir_ / "photos", nullptr, true);
    context_.reset();
    ASSERT_TRUE(waitForCompletion());
    EXPECT_EQ(recorder_->groups.size(), 2u);
    EXPECT_TRUE(twtest::runMainQueueUntil([&] { return weak.expired(); }));
}

}  // namespace
