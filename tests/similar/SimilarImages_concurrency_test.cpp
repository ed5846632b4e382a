#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "HistogramFixtures.h"
#include "ImageFixtures.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "similar/ZPSimilarContext.h"

namespace {

// Several threads create signatures and insert them into one list of groups under the
// similar queue while another thread reads snapshots; every image ends in exactly one
// group, and every snapshot is a consistent prefix of the final list.
TEST(SimilarConcurrency, InsertionsUnderTheSimilarQueueWhileSnapshotsAreRead) {
    twtest::TempDir dir;
    constexpr int kWriters = 4, kPerWriter = 6;
    std::vector<std::vector<std::string>> paths(kWriters);
    for (int w = 0; w < kWriters; ++w)
        for (int i = 0; i < kPerWriter; ++i) {
            const int family = (w * kPerWriter + i) % 5;  // five colour families
            paths[w].push_back(twtest::writePng(
                dir, "w" + std::to_string(w) + "-" + std::to_string(i) + ".png",
                twtest::noiseImage(48, 48, static_cast<unsigned>(w * 100 + i), family * 50, 40, 0, 8).get()));
        }

    auto context = std::make_shared<ZPSimilarContext>();
    context->setSimilarLevel(0);
    ZPSimilarImagesList groups;
    std::atomic<int> writersDone{0};
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([&, w] {
            for (const auto& path : paths[w]) {
                auto image = ZPImageSignature::initWithPathFile(path, *context);
                ASSERT_TRUE(image);
                std::lock_guard<std::mutex> lock(context->similarQueue());
                context->collectionSimilarImages(groups, image);
            }
            ++writersDone;
        });

    size_t snapshots = 0, largestSeen = 0;
    std::thread reader([&] {
        do {
            ZPSimilarImagesList snapshot;
            {
                std::lock_guard<std::mutex> lock(context->similarQueue());
                snapshot = groups;
            }
            size_t images = 0;
            for (const auto& group : snapshot) {
                images += group->numberOfImages();
                EXPECT_FALSE(group->description().empty());
                EXPECT_FALSE(group->imageAtIndex(0)->flagSelected());  // founders stay unflagged
            }
            EXPECT_GE(snapshot.size(), largestSeen);  // groups are only ever appended
            largestSeen = std::max(largestSeen, snapshot.size());
            EXPECT_LE(images, static_cast<size_t>(kWriters * kPerWriter));
            ++snapshots;
        } while (writersDone.load() < kWriters);
    });
    for (auto& writer : writers) writer.join();
    reader.join();

    std::vector<std::string> grouped;
    for (const auto& group : groups)
        for (const auto& path : group->pathfilesOfImageSign()) grouped.push_back(path);
    std::vector<std::string> all;
    for (const auto& list : paths) all.insert(all.end(), list.begin(), list.end());
    std::sort(grouped.begin(), grouped.end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(grouped, all);
    EXPECT_EQ(groups.size(), 5u);  // one group per colour family
    EXPECT_GT(snapshots, 0u);
}

// One group tested and grown from several threads at once: the test never sees a
// half-added member, and every addition lands.
TEST(SimilarConcurrency, OneGroupTestedWhileItGrows) {
    std::mt19937 random(3);
    const PuzzleHistogram base = twtest::randomHistogram(random, 100000);
    auto group = ZPSimilarImages::initWithImage(ZPImageSignature::withHistogram("/base", base));
    std::vector<std::shared_ptr<ZPImageSignature>> images;
    for (int i = 0; i < 200; ++i)
        images.push_back(
            ZPImageSignature::withHistogram("/i" + std::to_string(i), twtest::perturbed(random, base, 0.001)));

    std::atomic<int> accepted{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (size_t i = static_cast<size_t>(t); i < images.size(); i += 4) {
                if (group->equalHistogramForImage(*images[i], 0.9, nullptr)) ++accepted;
                group->addImageSignature(images[i]);
                group->setSortType(static_cast<int32_t>(i % 4));
                EXPECT_GE(group->imageSignatures().size(), 2u);
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(group->numberOfImages(), images.size() + 1);
    EXPECT_EQ(accepted.load(), static_cast<int>(images.size()));
}

// The multi-folder search walks its folders at once and inserts into one shared list.
TEST(SimilarConcurrency, MultiFolderSearchFindsEveryImage) {
    tw::MainQueue::shared().adoptCurrentThread();
    twtest::TempDir dir;
    std::vector<std::string> folders;
    for (int f = 0; f < 4; ++f) {
        folders.push_back(dir.mkdir("f" + std::to_string(f)));
        for (int i = 0; i < 5; ++i)
            twtest::writePng(dir, "f" + std::to_string(f) + "/" + std::to_string(i) + ".png",
                             twtest::noiseImage(48, 48, static_cast<unsigned>(f * 10 + i), i * 50, 0, 0, 8).get());
    }
    struct Done : ZPSimilarContextDelegate {
        void similarContextCompleteWithResult(ZPSimilarContext&, const ZPSimilarImagesList& r) override {
            result = r;
            finished = true;
        }
        ZPSimilarImagesList result;
        bool finished = false;
    };
    auto done = std::make_shared<Done>();
    auto context = std::make_shared<ZPSimilarContext>();
    context->setDelegate(done);
    int progress = 0;
    context->findSimilarImagesAtFolders(
        folders, [&](const ZPSimilarImagesList&) { ++progress; }, true);
    ASSERT_TRUE(twtest::runMainQueueUntil([&] { return done->finished; }));
    size_t images = 0;
    for (const auto& group : done->result) images += group->numberOfImages();
    EXPECT_EQ(images, 20u);
    EXPECT_EQ(progress, 20);
    EXPECT_EQ(done->result.size(), 5u);  // one group per colour
}

}  // namespace
