#include <gtest/gtest.h>

#include <algorithm>

#include "GroupTestSupport.h"
#include "TestSupport.h"
#include "model/TWDuplicateFile.h"
#include "prefs/TWPreference.h"

using namespace grouptest;

namespace {

size_t occurrences(const std::vector<std::string>& list, const std::string& value) {
    return static_cast<size_t>(std::count(list.begin(), list.end(), value));
}

class DuplicateFileTest : public ::testing::Test {
protected:
    twtest::ScopedDefaults defaults;
    twtest::TempDir dir;
};

TEST_F(DuplicateFileTest, CreationCountsAFlaggedFirstFileAndRefusesNone) {
    FilePtr file = fileOfSize(dir, "a.txt", 120);
    file->setIsChecked(true);
    auto group = TWDuplicateFile::initWithFile(file);
    ASSERT_TRUE(group);
    EXPECT_EQ(group->numberOfChecked(), 1u);
    EXPECT_EQ(group->sizeOfChecked(), 120u);
    EXPECT_FALSE(group->isSimilarGroup());
    EXPECT_EQ(group->parentSimilarGroup(), nullptr);

    EXPECT_EQ(TWDuplicateFile::initWithFile(nullptr), nullptr);
    EXPECT_EQ(TWDuplicateFile::initWithFile(nullptr, group), nullptr);
    EXPECT_EQ(TWDuplicateFile::initWithSimilarFile(nullptr), nullptr);
    EXPECT_TRUE(TWDuplicateFile::initWithSimilarFile(file)->isSimilarGroup());
    EXPECT_FALSE(group->addFile(nullptr));
    EXPECT_EQ(group->numberOfFiles(), 1u);
}

TEST_F(DuplicateFileTest, TotalSizeOfExactAndSimilarGroups) {
    auto exact = groupOf({fileOfSize(dir, "1/a", 1000), fileOfSize(dir, "2/a", 1000), fileOfSize(dir, "3/a", 1000)});
    EXPECT_EQ(exact->totalSize(), 3000u);
    auto similar =
        groupOf({fileOfSize(dir, "b.jpg", 1000), fileOfSize(dir, "c.jpg", 2000), fileOfSize(dir, "d.jpg", 500)}, true);
    EXPECT_EQ(similar->totalSize(), 3500u);
    EXPECT_EQ(similar->identifySize(), 1000u);
}

TEST_F(DuplicateFileTest, AnEmptiedGroupAnswersNothing) {
    FilePtr file = fileOfSize(dir, "report.txt", 10);
    auto group = TWDuplicateFile::initWithFile(file);
    group->removeFile(file);
    EXPECT_EQ(group->firstFile(), nullptr);
    EXPECT_EQ(group->hashString(), std::nullopt);
    EXPECT_EQ(group->filename(), "");
    EXPECT_EQ(group->identifySize(), 0u);
    EXPECT_EQ(group->totalSize(), 0u);
    EXPECT_EQ(group->fileIcon(), nullptr);
    EXPECT_TRUE(group->itemsOfFileUtility().empty());
    EXPECT_EQ(group->indexOfFileUtility(file), TWDuplicateFile::kNotFound);
    EXPECT_EQ(TWDuplicateFile::kNotFound, static_cast<size_t>(INT64_MAX));
    EXPECT_FALSE(group->isCheckedAtIndex(0));
    group->setChecked(true, 0);
    EXPECT_FALSE(file->isChecked());
}

TEST_F(DuplicateFileTest, ACopyHandedOutDoesNotFollowLaterEdits) {
    FilePtr a = fileOfSize(dir, "a", 5), b = fileOfSize(dir, "b", 5);
    auto group = groupOf({a, b});
    auto copy = group->itemsOfFileUtility();
    group->removeFile(a);
    EXPECT_EQ(copy.size(), 2u);
    EXPECT_EQ(group->indexOfFileUtility(b), 0u);
}

TEST_F(DuplicateFileTest, SameFileMeansSamePathOrSameInodeNotSameLetters) {
    FilePtr upper = fileWith(dir, "Photo.txt", "one");
    FilePtr lower = fileWith(dir, "photo.txt", "two");
    auto group = TWDuplicateFile::initWithFile(upper);
    EXPECT_FALSE(group->fileIsExist(lower)) << "case-different names are two files on Linux";

    EXPECT_TRUE(group->fileIsExist(TWFileUtility::initWithPath(upper->filePath())));
    EXPECT_TRUE(group->fileIsExist(TWFileUtility::initWithPath(dir.hardlink("Photo.txt", "link-hard.txt"))));
    EXPECT_TRUE(group->fileIsExist(TWFileUtility::initWithPath(dir.symlink(upper->filePath(), "link-soft.txt"))));
    EXPECT_FALSE(group->fileIsExist(nullptr));
}

TEST_F(DuplicateFileTest, SettingAFlagMovesTheCountersOnlyWhenItChanges) {
    auto group = groupOf({fileOfSize(dir, "a", 10), fileOfSize(dir, "b", 30)});
    group->setChecked(true, 1);
    group->setChecked(true, 1);
    EXPECT_EQ(group->numberOfChecked(), 1u);
    EXPECT_EQ(group->sizeOfChecked(), 30u);
    EXPECT_TRUE(group->isCheckedAtIndex(1));
    group->setChecked(true, 7);  // past the end
    group->setChecked(false, 1);
    EXPECT_EQ(group->numberOfChecked(), 0u);
    EXPECT_EQ(group->sizeOfChecked(), 0u);
}

TEST_F(DuplicateFileTest, AddAndRemoveKeepTheCountersOfFlaggedMembers) {
    FilePtr a = fileOfSize(dir, "a", 10), b = fileOfSize(dir, "b", 10);
    b->setIsChecked(true);
    auto group = groupOf({a, b});
    EXPECT_EQ(group->numberOfChecked(), 1u);
    group->removeFile(fileOfSize(dir, "stranger", 10));  // not a member: ignored
    EXPECT_EQ(group->numberOfFiles(), 2u);
    group->removeFile(b);
    EXPECT_EQ(group->numberOfChecked(), 0u);
    EXPECT_EQ(group->sizeOfChecked(), 0u);
}

TEST_F(DuplicateFileTest, UncheckedAllAndUpdateFlagedState) {
    FilePtr a = fileOfSize(dir, "a", 10), b = fileOfSize(dir, "b", 10);
    auto group = groupOf({a, b});
    a->setIsChecked(true);  // behind the group's back
    b->setIsChecked(true);
    EXPECT_EQ(group->numberOfChecked(), 0u);
    group->updateFlagedState();
    EXPECT_EQ(group->numberOfChecked(), 2u);
    EXPECT_EQ(group->sizeOfChecked(), 20u);
    group->uncheckedAll();
    EXPECT_FALSE(a->isChecked() || b->isChecked());
    EXPECT_EQ(group->numberOfChecked(), 0u);
    EXPECT_EQ(group->sizeOfChecked(), 0u);
}

TEST_F(DuplicateFileTest, RemovalStopsAtTheFileWhoseCallbackAskedToStop) {
    std::vector<FilePtr> files;
    for (int i = 0; i < 4; ++i) files.push_back(fileOfSize(dir, "f" + std::to_string(i), 100 + i));
    for (int i = 0; i < 3; ++i) files[i]->setIsChecked(true);
    auto group = groupOf(files);
    std::vector<FilePtr> handed;
    bool stopped = group->isCancelledRemoveCheckFilesUsingBlock([&](const FilePtr& file, bool& stop) {
        handed.push_back(file);
        stop = handed.size() == 2;
    });
    EXPECT_TRUE(stopped);
    EXPECT_EQ(handed, (std::vector<FilePtr>{files[0], files[1]}));
    EXPECT_EQ(group->itemsOfFileUtility(), (std::vector<FilePtr>{files[2], files[3]}));
    EXPECT_EQ(group->numberOfChecked(), 1u);
    EXPECT_EQ(group->sizeOfChecked(), 102u);

    EXPECT_FALSE(group->isCancelledRemoveCheckFilesUsingBlock([](const FilePtr&, bool&) {}));
    EXPECT_EQ(group->itemsOfFileUtility(), std::vector<FilePtr>{files[3]});
    EXPECT_FALSE(group->isCancelledRemoveCheckFilesUsingBlock(nullptr));
}

TEST_F(DuplicateFileTest, SortByCreationTimeIsStableAndPutsUndatedMembersLast) {
    std::vector<FilePtr> made = filesInCreationOrder(dir, {"old", "mid", "new"});
    FilePtr midTwin = TWFileUtility::initWithPath(dir.hardlink("mid", "mid-twin"));  // same creation time
    ASSERT_EQ(midTwin->createTime(), made[1]->createTime());
    FilePtr gone1 = missingFile(dir, "gone1"), gone2 = missingFile(dir, "gone2");
    ASSERT_FALSE(gone1->createTime());
    auto group = groupOf({gone1, made[1], made[0], gone2, midTwin, made[2]});

    group->sortFileWithCreateTime(true);
    EXPECT_EQ(group->itemsOfFileUtility(), (std::vector<FilePtr>{made[2], made[1], midTwin, made[0], gone1, gone2}));
    group->sortFileWithCreateTime(false);
    EXPECT_EQ(group->itemsOfFileUtility(), (std::vector<FilePtr>{made[0], made[1], midTwin, made[2], gone1, gone2}));
}

TEST_F(DuplicateFileTest, IgnoringAFileAddsItsPathToTheIgnoreListOnce) {
    FilePtr a = fileOfSize(dir, "a", 10), b = fileOfSize(dir, "b", 10), c = fileOfSize(dir, "c", 10);
    b->setIsChecked(true);
    auto group = groupOf({a, b, c});
    group->hideFileUnitility(b);
    EXPECT_EQ(group->itemsOfFileUtility(), (std::vector<FilePtr>{a, c}));
    EXPECT_EQ(group->numberOfChecked(), 0u);
    EXPECT_EQ(occurrences(TWPreference::shared().filterFileFolders(), b->filePath()), 1u);
}

// --- sub-groups of a similar group ---

class SubgroupTest : public DuplicateFileTest {
protected:
    // Three images of which the first and the third are byte-identical.
    void SetUp() override {
        const std::string pixels = twtest::randomBytes(3000, 7);
        a = fileWith(dir, "a.jpg", pixels);
        b = fileWith(dir, "b.jpg", twtest::randomBytes(3000, 8));
        c = fileWith(dir, "c.jpg", pixels);
        similar = groupOf({a, b, c}, true);
    }
    FilePtr a, b, c;
    TWDuplicateFile::Ptr similar;
};

TEST_F(SubgroupTest, IdenticalImagesFormOneSubgroupAndDistinctOnesNone) {
    auto subgroups = similar->duplicateFilesExcludingSimilar();
    ASSERT_EQ(subgroups.size(), 1u);
    EXPECT_EQ(subgroups[0]->itemsOfFileUtility(), (std::vector<FilePtr>{a, c}));
    EXPECT_FALSE(subgroups[0]->isSimilarGroup());
    EXPECT_EQ(subgroups[0]->parentSimilarGroup(), similar);
    EXPECT_EQ(similar->findDuplicateFile(c), subgroups[0]);
    EXPECT_EQ(similar->findDuplicateFile(b), nullptr);

    auto distinct = groupOf(
        {fileOfSize(dir, "x.jpg", 50, 1), fileOfSize(dir, "y.jpg", 50, 2), fileOfSize(dir, "z.jpg", 50, 3)}, true);
    EXPECT_TRUE(distinct->duplicateFilesExcludingSimilar().empty());
    EXPECT_EQ(distinct->findDuplicateFile(a), nullptr);
}

TEST_F(SubgroupTest, AnExactGroupStandsForItselfAndHasNoSubgroups) {
    auto exact = groupOf({a, c});
    EXPECT_EQ(exact->duplicateFilesExcludingSimilar(), std::vector<TWDuplicateFile::Ptr>{exact});
    EXPECT_EQ(exact->findDuplicateFile(a), nullptr);
}

TEST_F(SubgroupTest, TheCacheIsKeptWhileHeldAndRebuiltAfterARemoval) {
    auto first = similar->duplicateFilesExcludingSimilar();
    EXPECT_EQ(similar->duplicateFilesExcludingSimilar(), first);
    similar->removeFile(b);
    auto rebuilt = similar->duplicateFilesExcludingSimilar();
    ASSERT_EQ(rebuilt.size(), 1u);
    EXPECT_NE(rebuilt[0], first[0]);
    EXPECT_EQ(rebuilt[0]->itemsOfFileUtility(), (std::vector<FilePtr>{a, c}));
}

TEST_F(SubgroupTest, ChecksThroughASubgroupReachTheParent) {
    auto sub = similar->duplicateFilesExcludingSimilar().at(0);
    sub->setChecked(true, 1);
    EXPECT_EQ(similar->numberOfChecked(), 1u);
    EXPECT_EQ(similar->sizeOfChecked(), 3000u);

    // The same value again must not make the parent recount: a flag changed behind the
    // parent's back stays uncounted.
    b->setIsChecked(true);
    sub->setChecked(true, 1);
    EXPECT_EQ(similar->numberOfChecked(), 1u);

    sub->uncheckedAll();
    EXPECT_EQ(similar->numberOfChecked(), 1u);  // the recount sees b
    EXPECT_FALSE(c->isChecked());
}

TEST_F(SubgroupTest, ChecksThroughTheParentReachItsSubgroups) {
    auto sub = similar->duplicateFilesExcludingSimilar().at(0);
    similar->setChecked(true, 2);  // c
    EXPECT_EQ(sub->numberOfChecked(), 1u);
    EXPECT_EQ(sub->sizeOfChecked(), 3000u);
    similar->smartCheckBySize(true);  // all sizes equal: keeps a, checks b and c
    EXPECT_EQ(sub->numberOfChecked(), 1u);
    similar->uncheckedAll();
    EXPECT_EQ(sub->numberOfChecked(), 0u);
    EXPECT_EQ(sub->sizeOfChecked(), 0u);
}

TEST_F(SubgroupTest, IgnoringInASubgroupLeavesBothGroupsAndListsThePathOnce) {
    auto sub = similar->duplicateFilesExcludingSimilar().at(0);
    sub->setChecked(true, 1);
    sub->hideFileUnitility(c);
    EXPECT_EQ(sub->itemsOfFileUtility(), std::vector<FilePtr>{a});
    EXPECT_EQ(similar->itemsOfFileUtility(), (std::vector<FilePtr>{a, b}));
    EXPECT_EQ(sub->numberOfChecked(), 0u);
    EXPECT_EQ(similar->numberOfChecked(), 0u);
    EXPECT_EQ(similar->sizeOfChecked(), 0u);
    EXPECT_EQ(occurrences(TWPreference::shared().filterFileFolders(), c->filePath()), 1u);
    EXPECT_TRUE(similar->duplicateFilesExcludingSimilar().empty());
}

TEST_F(SubgroupTest, RemovalThroughASubgroupRemovesFromTheParent) {
    auto sub = similar->duplicateFilesExcludingSimilar().at(0);
    sub->setChecked(true, 0);
    std::vector<FilePtr> handed;
    EXPECT_FALSE(sub->isCancelledRemoveCheckFilesUsingBlock([&](const FilePtr& f, bool&) { handed.push_back(f); }));
    EXPECT_EQ(handed, std::vector<FilePtr>{a});
    EXPECT_EQ(similar->itemsOfFileUtility(), (std::vector<FilePtr>{b, c}));
    EXPECT_EQ(similar->numberOfChecked(), 0u);
    EXPECT_EQ(sub->numberOfChecked(), 0u);
}

TEST_F(SubgroupTest, ARemovalThroughASubgroupOfAnotherFileStillReachesTheParent) {
    auto sub = similar->duplicateFilesExcludingSimilar().at(0);
    sub->removeFile(b);  // not in the sub-group, but in the parent
    EXPECT_EQ(similar->itemsOfFileUtility(), (std::vector<FilePtr>{a, c}));
}

TEST_F(DuplicateFileTest, SubgroupsUseTheFullContentCheckWhenItIsOn) {
    // Larger than 6 KB, so the sampled hash reads only the KB at a third and two thirds.
    std::string content = twtest::randomBytes(12000, 3);
    std::string altered = content;
    altered[0] ^= 0x55;
    FilePtr original = fileWith(dir, "p.jpg", content);
    FilePtr variant = fileWith(dir, "q.jpg", altered);
    ASSERT_EQ(original->hashString(), variant->hashString());

    TWPreference::shared().setVerifyFullContent(true);
    EXPECT_TRUE(groupOf({original, variant}, true)->duplicateFilesExcludingSimilar().empty());
    TWPreference::shared().setVerifyFullContent(false);
    EXPECT_EQ(groupOf({original, variant}, true)->duplicateFilesExcludingSimilar().size(), 1u);
}

TEST_F(DuplicateFileTest, NameModeMatchesNamesExactlyWhateverTheContent) {
    TWPreference::shared().setSearchMode(TWSearchModeName);
    FilePtr upper = fileOfSize(dir, "one/Beach.jpg", 400, 1);
    FilePtr lower = fileOfSize(dir, "two/beach.jpg", 400, 2);
    EXPECT_TRUE(groupOf({upper, lower}, true)->duplicateFilesExcludingSimilar().empty());

    FilePtr same = fileOfSize(dir, "three/Beach.jpg", 400, 3);
    FilePtr sameNameOtherSize = fileOfSize(dir, "four/Beach.jpg", 401, 3);
    auto subgroups = groupOf({upper, lower, same, sameNameOtherSize}, true)->duplicateFilesExcludingSimilar();
    ASSERT_EQ(subgroups.size(), 1u);
    EXPECT_EQ(subgroups[0]->itemsOfFileUtility(), (std::vector<FilePtr>{upper, same}));

    TWPreference::shared().setSearchMode(5);  // no such mode: nothing matches
    EXPECT_TRUE(groupOf({upper, same}, true)->duplicateFilesExcludingSimilar().empty());
}

}  // namespace
