#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "ResultsTestSupport.h"
#include "platform/NotificationCenter.h"
#include "prefs/TWPreference.h"

namespace {

using namespace resultstest;

class FilesListManagerTest : public ResultsTest {
protected:
    // Two groups of 3 and 2 files, both selected.
    void selectGroupsOfThreeAndTwo() {
        three_ = exactGroup("three", 3);
        two_ = exactGroup("two", 2);
        manager().updateDuplicateFiles({containerOf(TWCategory_documents, {three_, two_})});
        manager().setSelection({0, 1});
    }
    int countNotifications(const std::function<void()>& action) {
        int posted = 0;
        auto observer = tw::NotificationCenter::defaultCenter().addObserver(
            TWDuplicateSingleFileSelectionChangedNotification, [&](const tw::Notification& note) {
                EXPECT_FALSE(note.object.has_value());
                ++posted;
            });
        action();
        return posted;
    }
    GroupPtr three_, two_;
};

TEST_F(FilesListManagerTest, RowsFollowTheSelectedGroupsAndMarkEachGroupsFirstFile) {
    selectGroupsOfThreeAndTwo();
    ASSERT_EQ(filesList().numberOfFilesItem(), 5u);
    std::vector<bool> firsts;
    for (size_t i = 0; i < 5; ++i) firsts.push_back(filesList().fileUtilityMgrAtIndex(i)->isFirst());
    EXPECT_EQ(firsts, (std::vector<bool>{true, false, false, true, false}));
    EXPECT_TRUE(filesList().isFirstFileItemAtIndex(3));
    EXPECT_FALSE(filesList().isFirstFileItemAtIndex(4));
    EXPECT_FALSE(filesList().isFirstFileItemAtIndex(5));

    bool first = false;
    EXPECT_EQ(filesList().fileItemAtIndex(3, &first), two_->firstFile());
    EXPECT_TRUE(first);
    size_t position = 99;
    EXPECT_EQ(filesList().duplicateFileAtFileItemIndex(2, &position), three_);
    EXPECT_EQ(position, 2u);

    // Past the end: nothing, and the out values are left alone.
    first = true;
    position = 99;
    EXPECT_EQ(filesList().fileItemAtIndex(5, &first), nullptr);
    EXPECT_EQ(filesList().duplicateFileAtFileItemIndex(5, &position), nullptr);
    EXPECT_TRUE(first);
    EXPECT_EQ(position, 99u);
    EXPECT_EQ(filesList().fileUtilityMgrAtIndex(5), nullptr);
}

TEST_F(FilesListManagerTest, ListIsRebuiltOnlyWhenTheGroupSelectionChanges) {
    selectGroupsOfThreeAndTwo();
    ASSERT_EQ(filesList().numberOfFilesItem(), 5u);
    filesList().setSelection({4});

    // An edit inside a group leaves the rows, and their isFirst, as they were.
    const FilePtr oldFirst = three_->firstFile();
    three_->removeFile(oldFirst);
    EXPECT_EQ(filesList().numberOfFilesItem(), 5u);
    EXPECT_EQ(filesList().fileItemAtIndex(0), oldFirst);
    size_t position = 0;
    filesList().duplicateFileAtFileItemIndex(0, &position);
    EXPECT_EQ(position, TWDuplicateFile::kNotFound);

    manager().setSelection({1});
    EXPECT_EQ(filesList().numberOfFilesItem(), 2u);
    EXPECT_EQ(filesList().fileItemAtIndex(0), two_->firstFile());
    EXPECT_EQ(filesList().selection(), TWFilesListManager::IndexSet{4});  // row selection left alone
    EXPECT_EQ(filesList().fileItemSelected(), nullptr);
}

TEST_F(FilesListManagerTest, IndexZeroCountsAsFirstEvenWithoutRows) {
    EXPECT_EQ(filesList().numberOfFilesItem(), 0u);
    EXPECT_TRUE(filesList().isFirstFileItemAtIndex(0));
    EXPECT_TRUE(filesList().arrayFileUtilityMgr().empty());
}

TEST_F(FilesListManagerTest, RemovingARowNeverBuildsTheList) {
    selectGroupsOfThreeAndTwo();
    filesList().removeFileUtilityMgrAtIndex(0);  // list absent: nothing to remove
    EXPECT_EQ(filesList().numberOfFilesItem(), 5u);
    filesList().removeFileUtilityMgrAtIndex(0);
    filesList().removeFileUtilityMgrAtIndex(9);
    EXPECT_EQ(filesList().numberOfFilesItem(), 4u);
    EXPECT_EQ(filesList().fileItemAtIndex(0), three_->itemsOfFileUtility()[1]);
}

TEST_F(FilesListManagerTest, EverySelectionChangePostsTheNotification) {
    EXPECT_EQ(countNotifications([&] { filesList().defaultSelection(); }), 1);
    EXPECT_TRUE(filesList().selection().empty());

    selectGroupsOfThreeAndTwo();
    EXPECT_EQ(countNotifications([&] { filesList().defaultSelection(); }), 1);
    EXPECT_EQ(filesList().selection(), TWFilesListManager::IndexSet{0});
    EXPECT_EQ(filesList().fileItemSelected(), three_->firstFile());
    EXPECT_EQ(countNotifications([&] { filesList().setSelection({}); }), 1);
    EXPECT_EQ(filesList().fileItemSelected(), nullptr);
}

TEST_F(FilesListManagerTest, CheckingChangesTheGroupOnlyWhenTheFlagDiffers) {
    selectGroupsOfThreeAndTwo();
    three_->setChecked(true, 1);
    ASSERT_EQ(three_->numberOfChecked(), 1u);

    EXPECT_FALSE(filesList().checkedFileItem(true, 1));
    EXPECT_EQ(three_->numberOfChecked(), 1u);
    EXPECT_TRUE(filesList().checkedFileItem(true, 2));
    EXPECT_EQ(three_->numberOfChecked(), 2u);
    EXPECT_TRUE(three_->isCheckedAtIndex(2));
    EXPECT_TRUE(filesList().checkedFileItem(false, 1));
    EXPECT_EQ(three_->numberOfChecked(), 1u);
    EXPECT_FALSE(filesList().checkedFileItem(true, 5));

    // A record that has left its group is left alone.
    const FilePtr gone = two_->firstFile();
    two_->removeFile(gone);
    EXPECT_FALSE(filesList().checkedFileItem(true, 3));
    EXPECT_FALSE(gone->isChecked());
    EXPECT_EQ(two_->numberOfChecked(), 0u);
}

TEST_F(FilesListManagerTest, IgnoringARowHidesTheFileAndAddsItToTheIgnoreList) {
    selectGroupsOfThreeAndTwo();
    const FilePtr ignored = two_->itemsOfFileUtility()[1];
    ASSERT_EQ(filesList().fileItemAtIndex(4), ignored);

    EXPECT_TRUE(filesList().ignoreFileItemAtIndex(4));
    EXPECT_EQ(filesList().numberOfFilesItem(), 4u);
    EXPECT_EQ(filesList().fileItemAtIndex(3), two_->firstFile());
    EXPECT_EQ(two_->numberOfFiles(), 1u);
    const auto ignoreList = TWPreference::shared().filterFileFolders();
    EXPECT_EQ(std::count(ignoreList.begin(), ignoreList.end(), ignored->filePath()), 1);
    EXPECT_FALSE(filesList().ignoreFileItemAtIndex(4));

    // The browser then drops the group of one file, which discards the rows.
    EXPECT_TRUE(manager().removeNotDuplicateFile());
    EXPECT_EQ(filesList().numberOfFilesItem(), 3u);
}

TEST_F(FilesListManagerTest, RulesAndUncheckAllReachOnlyTheSelectedGroups) {
    const GroupPtr selected = exactGroup("sel", 3), other = exactGroup("other", 3);
    manager().updateDuplicateFiles({containerOf(TWCategory_documents, {selected, other})});

    filesList().smartCheckWithMethod(TWCheckMethodSmartName);  // nothing selected
    EXPECT_EQ(selected->numberOfChecked() + other->numberOfChecked(), 0u);

    manager().setSelection({0});
    filesList().smartCheckWithMethod(TWCheckMethodSmartName);
    EXPECT_EQ(selected->numberOfChecked(), 2u);  // all but one kept
    EXPECT_EQ(other->numberOfChecked(), 0u);
    other->setChecked(true, 0);
    filesList().uncheckedAll();
    EXPECT_EQ(selected->numberOfChecked(), 0u);
    EXPECT_EQ(other->numberOfChecked(), 1u);
}

TEST_F(FilesListManagerTest, ContainSimilarItemLooksAtTheSelectedGroups) {
    const GroupPtr exact = exactGroup("doc", 2, 10, "jpg");
    const GroupPtr similar = similarGroupWithOnePair("beach");
    manager().updateDuplicateFiles({containerOf(TWCategory_images, {exact, similar})});
    manager().setFilterMethod(TWFilterMethodIncludingSimilar);
    EXPECT_FALSE(filesList().containSimilarItem());
    manager().setSelection({0});
    EXPECT_FALSE(filesList().containSimilarItem());
    manager().setSelection({0, 1});
    EXPECT_TRUE(filesList().containSimilarItem());
}

TEST_F(FilesListManagerTest, RevealAsksTheFileManagerForTheRowsFileOffTheCallingThread) {
    selectGroupsOfThreeAndTwo();
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::vector<std::string>> requests;
    filesList().setRevealer([&](const std::vector<std::string>& paths) {
        std::lock_guard lock(mutex);
        requests.push_back(paths);
        changed.notify_all();
    });

    filesList().showInFinderFileItemAtIndex(7);  // past the end: nothing is asked
    filesList().showInFinderFileItemAtIndex(3);
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(30), [&] { return !requests.empty(); }));
    EXPECT_EQ(requests, (std::vector<std::vector<std::string>>{{two_->firstFile()->filePath()}}));
}

TEST(FileUtilityMgrTest, IsFirstIsTheRecordsPositionWhenTheRowIsMade) {
    twtest::ScopedDefaults defaults;
    twtest::TempDir dir;
    const FilePtr a = grouptest::fileOfSize(dir, "a.txt", 10), b = grouptest::fileOfSize(dir, "b.txt", 10);
    const GroupPtr group = grouptest::groupOf({a, b});
    EXPECT_TRUE(TWFileUtilityMgr::initWithFileUtility(a, group)->isFirst());
    const auto row = TWFileUtilityMgr::initWithFileUtility(b, group);
    EXPECT_FALSE(row->isFirst());
    group->removeFile(a);
    EXPECT_FALSE(row->isFirst());  // computed once
    EXPECT_EQ(row->duplicateFile(), group);
    EXPECT_FALSE(TWFileUtilityMgr::initWithFileUtility(a, nullptr)->isFirst());
}

}  // namespace
