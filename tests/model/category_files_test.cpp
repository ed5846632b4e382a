#include <gtest/gtest.h>

#include "GroupTestSupport.h"
#include "TestSupport.h"
#include "model/TWCategoryFiles.h"
#include "platform/Log.h"

using namespace grouptest;

namespace {

class CategoryFilesTest : public ::testing::Test {
protected:
    TWDuplicateFile::Ptr copies(const std::string& stem, int count, size_t size, bool similar = false) {
        std::vector<FilePtr> files;
        for (int i = 0; i < count; ++i) {
            files.push_back(fileOfSize(dir, stem + std::to_string(i) + ".txt", size, similar ? i + 1 : 1));
        }
        return groupOf(files, similar);
    }

    twtest::ScopedDefaults defaults;
    twtest::TempDir dir;
};

TEST_F(CategoryFilesTest, TheUnionCategoryCannotBeCreated) {
    tw::LogCapture log;
    EXPECT_EQ(TWCategoryFiles::initWithCategory(TWCategory_allFiles), nullptr);
    EXPECT_EQ(TWCategoryFiles::init(), nullptr);
    EXPECT_EQ(log.count("Can't create @TWCategory_allFiles "), 2u);

    auto music = TWCategoryFiles::initWithCategory(TWCategory_music);
    ASSERT_TRUE(music);
    EXPECT_EQ(music->name(), "Music");
    EXPECT_EQ(music->description(), "Duplicates: 0");
    EXPECT_EQ(music->sizeOfAllFile(), 0u);
    EXPECT_TRUE(music->duplicateFilesExcludingSimilar().empty());
    EXPECT_FALSE(music->removeNotDuplicateFileIncludingSimilar());
}

TEST_F(CategoryFilesTest, TotalsCountGroupsWhenAddedAndAgainWhenSingletonsAreDropped) {
    auto docs = TWCategoryFiles::initWithCategory(TWCategory_documents);
    auto three = copies("three", 3, 100);
    docs->addDuplicateFile(three);
    docs->addDuplicateFile(copies("single", 1, 50));
    docs->addDuplicateFile(nullptr);
    EXPECT_EQ(docs->sizeOfAllFile(), 350u);
    EXPECT_EQ(docs->sizeOfDuplicateFiles(), 200u);
    EXPECT_EQ(docs->numberOfCategoryFiles(), 2u);

    EXPECT_TRUE(docs->removeNotDuplicateFileIncludingSimilar());
    EXPECT_EQ(docs->sizeOfAllFile(), 300u);
    EXPECT_EQ(docs->sizeOfDuplicateFiles(), 200u);
    EXPECT_EQ(docs->duplicateFilesIncludingSimilar(), std::vector<TWDuplicateFile::Ptr>{three});
    EXPECT_FALSE(docs->removeNotDuplicateFileIncludingSimilar());

    for (int i = 0; i < 3; ++i) docs->addDuplicateFile(copies("more" + std::to_string(i), 2, 10));
    EXPECT_EQ(docs->description(), "Duplicates: 4");
}

TEST_F(CategoryFilesTest, ASimilarGroupCountsEveryImageButTheFirstAsDuplicate) {
    auto images = TWCategoryFiles::initWithCategory(TWCategory_images);
    auto similar = groupOf(
        {fileOfSize(dir, "a.jpg", 1000, 1), fileOfSize(dir, "b.jpg", 2000, 2), fileOfSize(dir, "c.jpg", 500, 3)}, true);
    images->addDuplicateFile(similar);
    EXPECT_EQ(images->sizeOfAllFile(), 3500u);
    EXPECT_EQ(images->sizeOfDuplicateFiles(), 2500u);
    images->removeNotDuplicateFileIncludingSimilar();
    EXPECT_EQ(images->sizeOfDuplicateFiles(), 2500u);

    // Three distinct images: one group with similar ones, none in the exact-only view.
    EXPECT_EQ(images->duplicateFilesIncludingSimilar().size(), 1u);
    EXPECT_TRUE(images->duplicateFilesExcludingSimilar().empty());
}

TEST_F(CategoryFilesTest, TheExactOnlyViewReplacesSimilarGroupsByTheirSubgroupsAndIsCached) {
    const std::string pixels = twtest::randomBytes(900, 5);
    FilePtr a = fileWith(dir, "a.jpg", pixels), b = fileOfSize(dir, "b.jpg", 900, 6),
            c = fileWith(dir, "c.jpg", pixels);
    auto similar = groupOf({a, b, c}, true);
    auto exact = copies("exact", 2, 40);
    auto images = TWCategoryFiles::initWithCategory(TWCategory_images);
    images->addDuplicateFile(exact);
    images->addDuplicateFile(similar);

    auto view = images->duplicateFilesExcludingSimilar();
    ASSERT_EQ(view.size(), 2u);
    EXPECT_EQ(view[0], exact);
    EXPECT_EQ(view[1]->parentSimilarGroup(), similar);
    EXPECT_EQ(view[1]->itemsOfFileUtility(), (std::vector<FilePtr>{a, c}));

    // Edits do not refresh the view until the cache is reset.
    similar->hideFileUnitility(c);
    EXPECT_EQ(images->duplicateFilesExcludingSimilar(), view);
    images->resetCache();
    EXPECT_EQ(images->duplicateFilesExcludingSimilar(), std::vector<TWDuplicateFile::Ptr>{exact});
}

TEST_F(CategoryFilesTest, FindingAGroupHonoursThePredicateAndItsStopFlag) {
    auto docs = TWCategoryFiles::initWithCategory(TWCategory_documents);
    auto first = copies("first", 2, 10), second = copies("second", 2, 20), third = copies("third", 2, 30);
    for (const auto& g : {first, second, third}) docs->addDuplicateFile(g);

    int visited = 0;
    auto found = docs->findDuplicateFileUsingBlock([&](const TWDuplicateFile::Ptr& g, bool&) {
        ++visited;
        return g->identifySize() >= 20;
    });
    EXPECT_EQ(found, second);
    EXPECT_EQ(visited, 2);

    visited = 0;
    found = docs->findDuplicateFileUsingBlock([&](const TWDuplicateFile::Ptr&, bool& stop) {
        stop = ++visited == 2;
        return false;
    });
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(visited, 2);

    // A group accepted while the stop flag is set is still the answer.
    found = docs->findDuplicateFileUsingBlock([&](const TWDuplicateFile::Ptr&, bool& stop) {
        stop = true;
        return true;
    });
    EXPECT_EQ(found, first);
    EXPECT_EQ(docs->findDuplicateFileUsingBlock(nullptr), nullptr);
}

TEST_F(CategoryFilesTest, RemovalStopsInsideTheSecondGroupAndDropsGroupsLeftAlone) {
    auto docs = TWCategoryFiles::initWithCategory(TWCategory_documents);
    auto g1 = copies("one", 2, 10), g2 = copies("two", 4, 20), g3 = copies("three", 2, 30);
    for (const auto& g : {g1, g2, g3}) {
        docs->addDuplicateFile(g);
        g->smartCheckBySize(true);  // keeps the first copy, checks the rest
    }
    g2->setChecked(true, 0);  // all four of g2 checked
    EXPECT_EQ(docs->numberOfFilesCheckedToRemoved(), 6u);
    EXPECT_EQ(docs->sizeOfFilesCheckedToRemoved(), 10u + 80u + 30u);

    std::vector<FilePtr> handed;
    const bool stopped = docs->isCancelledRemoveCheckFilesUsingBlock([&](const FilePtr& f, bool& stop) {
        handed.push_back(f);
        stop = handed.size() == 3;  // g1's copy, then two of g2's
    });
    EXPECT_TRUE(stopped);
    EXPECT_EQ(handed.size(), 3u);
    // g1 fell to one file and is gone; g2 keeps its last two, still checked; g3 untouched.
    EXPECT_EQ(docs->duplicateFilesIncludingSimilar(), (std::vector<TWDuplicateFile::Ptr>{g2, g3}));
    EXPECT_EQ(g2->numberOfFiles(), 2u);
    EXPECT_EQ(g2->numberOfChecked(), 2u);
    EXPECT_EQ(g3->numberOfFiles(), 2u);
    EXPECT_EQ(g3->numberOfChecked(), 1u);
    EXPECT_EQ(docs->numberOfFilesCheckedToRemoved(), 3u);
    EXPECT_EQ(docs->sizeOfAllFile(), 40u + 60u);
    EXPECT_EQ(docs->sizeOfDuplicateFiles(), 20u + 30u);
}

TEST_F(CategoryFilesTest, RulesAndSortingReachEveryGroup) {
    auto docs = TWCategoryFiles::initWithCategory(TWCategory_documents);
    auto made = filesInCreationOrder(dir, {"old", "new"});
    auto g1 = groupOf({made[0], made[1]});
    auto g2 = copies("other", 3, 5);
    docs->addDuplicateFile(g1);
    docs->addDuplicateFile(g2);

    docs->smartCheckDuplicateFilesWithMethod(TWCheckMethodNewer);
    EXPECT_EQ(docs->numberOfFilesCheckedToRemoved(), 3u);
    EXPECT_TRUE(made[1]->isChecked());
    docs->sortDuplicateFilesWithCreateTime(true);
    EXPECT_EQ(g1->firstFile(), made[1]);
}

}  // namespace
