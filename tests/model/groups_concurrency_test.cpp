// Groups and containers under load from several threads at once: one thread builds the
// result the way a scan does while others read totals, build the exact-only view and
// apply rules, through similar groups and their sub-groups alike. Run again under
// ThreadSanitizer, which also checks the lock order between sub-groups and parents.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "GroupTestSupport.h"
#include "TestSupport.h"
#include "model/TWCategoryFiles.h"

using namespace grouptest;

namespace {

uint64_t flaggedCount(const TWDuplicateFile& group) {
    uint64_t n = 0;
    for (const FilePtr& f : group.itemsOfFileUtility()) n += f->isChecked();
    return n;
}

TEST(GroupsConcurrencyTest, BuildingWhileReadingViewsAndApplyingRules) {
    twtest::ScopedDefaults defaults;
    twtest::TempDir dir;
    constexpr int kGroups = 24;
    constexpr int kFilesPerGroup = 6;
    // Records are made up front: the threads share them, as scan, views and removal do.
    std::vector<std::vector<FilePtr>> records(kGroups);
    for (int g = 0; g < kGroups; ++g) {
        const std::string pixels = twtest::randomBytes(256, static_cast<unsigned>(g));
        for (int i = 0; i < kFilesPerGroup; ++i) {
            const std::string name = "g" + std::to_string(g) + "/f" + std::to_string(i) + ".jpg";
            records[g].push_back(i % 3 == 2 ? fileOfSize(dir, name, 256, 1000 + g * 10 + i)
                                            : fileWith(dir, name, pixels));
        }
    }

    auto images = TWCategoryFiles::initWithCategory(TWCategory_images);
    std::atomic<bool> building{true};
    std::atomic<int> readerRounds{0};

    std::thread builder([&] {
        // Each group is built while the readers work: the builder waits for a reader
        // round to finish after every group (bounded; a stuck reader fails the test).
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        auto awaitRound = [&](int after) {
            while (readerRounds <= after && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
            EXPECT_GT(readerRounds.load(), after);
        };
        for (int g = 0; g < kGroups; ++g) {
            const int roundsBefore = readerRounds;
            auto group = groupOf({records[g][0], records[g][1]}, g % 2 == 0);
            images->addDuplicateFile(group);
            for (int i = 2; i < kFilesPerGroup; ++i) {
                // The scan's matching: find the group by its first file, then add.
                auto found = images->findDuplicateFileUsingBlock([&](const TWDuplicateFile::Ptr& candidate, bool&) {
                    return candidate->firstFile() == records[g][0];
                });
                EXPECT_EQ(found, group);
                if (found && !found->fileIsExist(records[g][i])) found->addFile(records[g][i]);
            }
            awaitRound(roundsBefore);
        }
        building = false;
    });

    auto reader = [&](unsigned seed) {
        std::mt19937 random(seed);
        // At least a few rounds even when the builder finishes first.
        for (int round = 0; building || round < 20; ++round) {
            (void)images->numberOfFilesCheckedToRemoved();
            (void)images->sizeOfFilesCheckedToRemoved();
            (void)images->sizeOfAllFile();
            (void)images->sizeOfDuplicateFiles();
            if (random() % 4 == 0) images->resetCache();
            auto view = images->duplicateFilesExcludingSimilar();
            images->smartCheckDuplicateFilesWithMethod(static_cast<int32_t>(random() % 8));
            for (const auto& group : view) {
                group->smartCheckedByMethod(static_cast<int32_t>(random() % 8));
                group->setChecked(random() % 2, random() % 3);
                (void)group->totalSize();
                (void)group->findDuplicateFile(group->firstFile());
            }
            for (const auto& group : images->duplicateFilesIncludingSimilar()) {
                if (random() % 5 == 0) group->uncheckedAll();
                (void)group->duplicateFilesExcludingSimilar();
            }
            ++readerRounds;
        }
    };
    std::thread first(reader, 1u), second(reader, 2u);
    builder.join();
    first.join();
    second.join();
    EXPECT_GE(readerRounds.load(), 40);

    // Quiet now: every group's counters match its members' flags again.
    images->resetCache();
    ASSERT_EQ(images->numberOfCategoryFiles(), static_cast<size_t>(kGroups));
    uint64_t checked = 0;
    for (const auto& group : images->duplicateFilesIncludingSimilar()) {
        EXPECT_EQ(group->numberOfFiles(), static_cast<size_t>(kFilesPerGroup));
        EXPECT_EQ(group->numberOfChecked(), flaggedCount(*group));
        checked += group->numberOfChecked();
    }
    EXPECT_EQ(images->numberOfFilesCheckedToRemoved(), checked);
    for (const auto& group : images->duplicateFilesExcludingSimilar()) {
        EXPECT_EQ(group->numberOfChecked(), flaggedCount(*group));
    }
}

// Removal on one thread while another checks files and reads totals, the way the
// removal thread and the main thread meet.
TEST(GroupsConcurrencyTest, RemovalWhileTheViewsCheckFiles) {
    twtest::ScopedDefaults defaults;
    twtest::TempDir dir;
    auto docs = TWCategoryFiles::initWithCategory(TWCategory_documents);
    for (int g = 0; g < 30; ++g) {
        std::vector<FilePtr> files;
        for (int i = 0; i < 4; ++i) {
            files.push_back(fileOfSize(dir, "d" + std::to_string(g) + "/" + std::to_string(i), 64, g));
        }
        docs->addDuplicateFile(groupOf(files));
    }
    docs->smartCheckDuplicateFilesWithMethod(TWCheckMethodHighQuality);

    std::atomic<int> removed{0};
    std::atomic<bool> removing{true};
    std::thread removal([&] {
        docs->isCancelledRemoveCheckFilesUsingBlock([&](const FilePtr&, bool&) { ++removed; });
        removing = false;
    });
    for (int round = 0; removing || round < 5; ++round) {
        for (const auto& group : docs->duplicateFilesIncludingSimilar()) {
            group->setChecked(false, 1);
            (void)docs->sizeOfFilesCheckedToRemoved();
        }
    }
    removal.join();
    EXPECT_GT(removed.load(), 0);
    for (const auto& group : docs->duplicateFilesIncludingSimilar()) {
        EXPECT_GE(group->numberOfFiles(), 2u);
        EXPECT_EQ(group->numberOfChecked(), flaggedCount(*group));
    }
}

}  // namespace
