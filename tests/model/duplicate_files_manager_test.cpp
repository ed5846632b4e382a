#include <gtest/gtest.h>

#include "ResultsTestSupport.h"

namespace {

using namespace resultstest;

class DuplicateFilesManagerTest : public ResultsTest {
protected:
    std::vector<std::string> displayedNames() {
        std::vector<std::string> names;
        for (const GroupPtr& group : manager().displayDuplicateFiles()) names.push_back(group->filename());
        return names;
    }
    RecordingDelegate delegate_;
};

TEST_F(DuplicateFilesManagerTest, CategoryAllShowsEveryGroupWholeWhateverTheFilter) {
    const GroupPtr document = exactGroup("report", 2);
    const GroupPtr similar = similarGroupWithOnePair("beach");
    manager().updateDuplicateFiles(
        {containerOf(TWCategory_documents, {document}), containerOf(TWCategory_images, {similar})});

    ASSERT_EQ(manager().filterMethod(), TWFilterMethodExcludingSimilar);
    EXPECT_EQ(manager().displayDuplicateFiles(), (std::vector<GroupPtr>{document, similar}));
    EXPECT_TRUE(manager().similarFilesNeedDisplay());
}

TEST_F(DuplicateFilesManagerTest, ExactOnlyViewReplacesASimilarGroupByItsIdenticalPair) {
    const GroupPtr similar = similarGroupWithOnePair("beach");
    manager().updateDuplicateFiles({containerOf(TWCategory_images, {similar})});
    manager().setCategory(TWCategory_images);

    ASSERT_EQ(manager().numberOfDisplayDuplicateFiles(), 1u);
    const GroupPtr sub = manager().duplicateFileForDisplayAtIndex(0);
    EXPECT_EQ(sub->parentSimilarGroup(), similar);
    EXPECT_FALSE(sub->isSimilarGroup());
    EXPECT_EQ(sub->numberOfFiles(), 2u);
    EXPECT_EQ(manager().duplicateFileForDisplayAtIndex(1), nullptr);

    manager().setFilterMethod(TWFilterMethodIncludingSimilar);
    EXPECT_EQ(manager().displayDuplicateFiles(), std::vector<GroupPtr>{similar});

    manager().setCategory(TWCategory_music);  // no container for it
    EXPECT_TRUE(manager().displayDuplicateFiles().empty());
    EXPECT_FALSE(manager().similarFilesNeedDisplay());
}

TEST_F(DuplicateFilesManagerTest, SearchIgnoresCaseAndDiacriticsOfTheFirstFileOnly) {
    const GroupPtr resume = grouptest::groupOf(
        {grouptest::fileOfSize(dir_, "a/Résumé.txt", 10), grouptest::fileOfSize(dir_, "b/copy.txt", 10)});
    // Only its second file is named resume: not found.
    const GroupPtr notes = grouptest::groupOf(
        {grouptest::fileOfSize(dir_, "c/notes.txt", 10), grouptest::fileOfSize(dir_, "d/resume.txt", 10)});
    manager().updateDuplicateFiles({containerOf(TWCategory_documents, {notes, resume})});

    manager().setFilterString("resume");
    EXPECT_EQ(manager().displayDuplicateFiles(), std::vector<GroupPtr>{resume});
    manager().setFilterString("SUMÉ");
    EXPECT_EQ(manager().displayDuplicateFiles(), std::vector<GroupPtr>{resume});
    manager().setFilterString("");
    EXPECT_EQ(manager().numberOfDisplayDuplicateFiles(), 2u);
}

TEST_F(DuplicateFilesManagerTest, SearchTextChangedOnlyInCaseKeepsTextListAndSelection) {
    manager().updateDuplicateFiles({containerOf(
        TWCategory_documents, {exactGroup("report", 2), exactGroup("report-old", 2), exactGroup("x", 2)})});
    manager().setDelegate(&delegate_);
    manager().setFilterString("report");
    const GroupPtr* before = manager().displayDuplicateFiles().data();
    manager().setSelection({1});

    manager().setFilterString("REPORT");
    EXPECT_EQ(manager().filterString(), "report");
    EXPECT_EQ(manager().displayDuplicateFiles().data(), before);  // not rebuilt
    EXPECT_EQ(manager().selection(), TWDuplicateFilesManager::IndexSet{1});

    manager().setFilterString("x");
    EXPECT_EQ(manager().filterString(), "x");
    EXPECT_TRUE(manager().selection().empty());
    EXPECT_EQ(displayedNames(), std::vector<std::string>{"x"});
    EXPECT_EQ(delegate_.calls, 1);  // only the explicit setSelection told the delegate

    // A new result clears the search text.
    manager().updateDuplicateFiles({containerOf(TWCategory_documents, {exactGroup("y", 2)})});
    EXPECT_FALSE(manager().filterString().has_value());
    EXPECT_EQ(displayedNames(), std::vector<std::string>{"y"});
}

TEST_F(DuplicateFilesManagerTest, DirectionFlagMeansAToZForTextAndLargestFirstForNumbers) {
    const GroupPtr small = exactGroup("b", 2, 50);   // 100 bytes
    const GroupPtr large = exactGroup("c", 3, 100);  // 300 bytes
    const GroupPtr middle = exactGroup("A", 4, 50);  // 200 bytes
    manager().updateDuplicateFiles({containerOf(TWCategory_documents, {small, large, middle})});
    manager().setDelegate(&delegate_);
    ASSERT_EQ(manager().numberOfDisplayDuplicateFiles(), 3u);  // unsorted: list order

    manager().sortDuplicateFilesWithMethod(TWSortTypeSize, true);
    EXPECT_EQ(manager().displayDuplicateFiles(), (std::vector<GroupPtr>{large, middle, small}));
    EXPECT_EQ(manager().selection(), TWDuplicateFilesManager::IndexSet{0});
    EXPECT_EQ(delegate_.calls, 1);
    manager().setSortAsending(false);
    EXPECT_EQ(manager().displayDuplicateFiles(), (std::vector<GroupPtr>{small, middle, large}));

    manager().setSortType(TWSortTypeCount);  // the flag carries over: fewest first
    EXPECT_EQ(manager().displayDuplicateFiles(), (std::vector<GroupPtr>{small, large, middle}));

    manager().sortDuplicateFilesWithMethod(TWSortTypeName, true);  // case-insensitive
    EXPECT_EQ(displayedNames(), (std::vector<std::string>{"A", "b", "c"}));
    manager().setSortAsending(false);
    EXPECT_EQ(displayedNames(), (std::vector<std::string>{"c", "b", "A"}));

    // None keeps whatever order the list has.
    manager().setSortType(TWSortTypeNone);
    EXPECT_EQ(displayedNames(), (std::vector<std::string>{"c", "b", "A"}));
    // Setting the same values again changes nothing and tells nobody.
    const int calls = delegate_.calls;
    manager().sortDuplicateFilesWithMethod(TWSortTypeNone, false);
    EXPECT_EQ(delegate_.calls, calls);
}

TEST_F(DuplicateFilesManagerTest, CategorySortIsStableAndASortWithoutAListSelectsNothing) {
    const GroupPtr song1 = exactGroup("s1", 2, 10, "mp3");
    const GroupPtr doc1 = exactGroup("d1", 2);
    const GroupPtr song2 = exactGroup("s2", 2, 10, "mp3");
    const GroupPtr doc2 = exactGroup("d2", 2);
    manager().updateDuplicateFiles(
        {containerOf(TWCategory_music, {song1, song2}), containerOf(TWCategory_documents, {doc1, doc2})});
    manager().setDelegate(&delegate_);

    manager().sortDuplicateFilesWithMethod(TWSortTypeCategory, true);
    EXPECT_EQ(delegate_.calls, 0);  // no displayed list yet: nothing to sort or select
    EXPECT_TRUE(manager().selection().empty());
    EXPECT_EQ(manager().displayDuplicateFiles(), (std::vector<GroupPtr>{doc1, doc2, song1, song2}));
    manager().setSortAsending(false);
    EXPECT_EQ(manager().displayDuplicateFiles(), (std::vector<GroupPtr>{song1, song2, doc1, doc2}));
}

TEST_F(DuplicateFilesManagerTest, SelectionTellsTheDelegateOnlyWhenSetAndAnswersGroupsInIndexOrder) {
    const GroupPtr a = exactGroup("a", 2), b = exactGroup("b", 2), c = exactGroup("c", 2);
    manager().updateDuplicateFiles({containerOf(TWCategory_documents, {a, b, c})});
    manager().setDelegate(&delegate_);

    EXPECT_EQ(manager().duplicateFileSelected(), nullptr);
    manager().setSelection({2, 0});
    EXPECT_EQ(delegate_.calls, 1);
    EXPECT_EQ(delegate_.lastManager, &manager());
    EXPECT_EQ(manager().duplicateFileSelected(), a);
    EXPECT_EQ(manager().duplicateFilesOfSelected(), (std::vector<GroupPtr>{a, c}));

    manager().setCategory(TWCategory_images);
    EXPECT_TRUE(manager().selection().empty());
    EXPECT_EQ(delegate_.calls, 1);
    manager().defaultSelection();  // empty list
    EXPECT_TRUE(manager().selection().empty());
    EXPECT_EQ(delegate_.calls, 2);
    manager().setCategory(TWCategory_documents);
    manager().defaultSelection();
    EXPECT_EQ(manager().selection(), TWDuplicateFilesManager::IndexSet{0});
}

TEST_F(DuplicateFilesManagerTest, DefaultDelegateIsTheFileList) {
    EXPECT_EQ(manager().delegate(), &filesList());
    EXPECT_EQ(&manager().filesListManager(), &filesList());
    // A replaced file list hands the role on to the new one.
    manager().setDelegate(&filesList());
    TWFilesListManager::resetShareFilesListManager();
    EXPECT_EQ(manager().delegate(), &filesList());
}

TEST_F(DuplicateFilesManagerTest, TotalsSumEveryContainer) {
    const GroupPtr docs = exactGroup("d", 3, 100);         // duplicates beyond one copy: 200
    const GroupPtr songs = exactGroup("s", 2, 40, "mp3");  // 40
    docs->setChecked(true, 1);
    songs->setChecked(true, 0);
    manager().updateDuplicateFiles({containerOf(TWCategory_documents, {docs}), containerOf(TWCategory_music, {songs})});

    EXPECT_EQ(manager().numberOfDuplicateFiles(), 2u);
    EXPECT_EQ(manager().numberOfFilesCheckedToRemoved(), 2u);
    EXPECT_EQ(manager().sizeOfFilesCheckedToRemoved(), 140u);
    EXPECT_EQ(manager().duplicateSizeOfCategory(TWCategory_allFiles), 240u);
    EXPECT_EQ(manager().duplicateSizeOfCategory(TWCategory_music), 40u);
    EXPECT_EQ(manager().duplicateSizeOfCategory(TWCategory_videos), 0u);
    EXPECT_EQ(manager().findCategoryFilesWithCategory(TWCategory_videos), nullptr);
    EXPECT_EQ(manager().findCategoryFilesWithCategory(TWCategory_music)->category(), TWCategory_music);
}

TEST_F(DuplicateFilesManagerTest, DroppingShrunkGroupsClampsTheSelection) {
    std::vector<GroupPtr> groups;
    for (const char* name : {"a", "b", "c", "d", "e"}) groups.push_back(exactGroup(name, 2));
    manager().updateDuplicateFiles({containerOf(TWCategory_documents, groups)});
    manager().setDelegate(&delegate_);
    manager().setSelection({4});
    EXPECT_FALSE(manager().removeNotDuplicateFile());  // nothing shrank
    EXPECT_EQ(delegate_.calls, 1);

    for (int i : {1, 3}) groups[i]->removeFile(groups[i]->firstFile());
    EXPECT_TRUE(manager().removeNotDuplicateFile());
    EXPECT_EQ(manager().displayDuplicateFiles(), (std::vector<GroupPtr>{groups[0], groups[2], groups[4]}));
    EXPECT_EQ(manager().selection(), TWDuplicateFilesManager::IndexSet{2});
    EXPECT_EQ(delegate_.calls, 2);
    EXPECT_EQ(manager().numberOfDuplicateFiles(), 3u);

    for (int i : {0, 2, 4}) groups[i]->removeFile(groups[i]->firstFile());
    EXPECT_TRUE(manager().removeNotDuplicateFile());
    EXPECT_TRUE(manager().displayDuplicateFiles().empty());
    EXPECT_TRUE(manager().selection().empty());
}

// Ignoring a file of an identical pair inside a similar group leaves the similar group
// with two images, so no container drops anything; the pair must still leave the view.
TEST_F(DuplicateFilesManagerTest, RegressionOneFileSubGroupLeavesTheExactOnlyView) {
    const GroupPtr similar = similarGroupWithOnePair("beach");
    manager().updateDuplicateFiles({containerOf(TWCategory_images, {similar})});
    manager().setCategory(TWCategory_images);
    const GroupPtr pair = manager().duplicateFileForDisplayAtIndex(0);
    ASSERT_TRUE(pair);
    manager().setSelection({0});

    pair->hideFileUnitility(pair->itemsOfFileUtility().at(1));
    ASSERT_EQ(similar->numberOfFiles(), 2u);
    EXPECT_TRUE(manager().removeNotDuplicateFile());
    EXPECT_TRUE(manager().displayDuplicateFiles().empty());
    EXPECT_TRUE(manager().selection().empty());
}

TEST_F(DuplicateFilesManagerTest, RemovalHandsOverCheckedFilesInOrderAndResetsTheView) {
    const GroupPtr docs = exactGroup("d", 3);
    const GroupPtr songs = exactGroup("s", 2, 10, "mp3");
    const GroupPtr videos = exactGroup("v", 2, 10, "mp4");
    const FilePtr doc2 = docs->itemsOfFileUtility()[2], song0 = songs->firstFile(), video0 = videos->firstFile();
    docs->setChecked(true, 2);
    songs->setChecked(true, 0);
    videos->setChecked(true, 0);
    manager().updateDuplicateFiles({containerOf(TWCategory_documents, {docs}), containerOf(TWCategory_music, {songs}),
                                    containerOf(TWCategory_videos, {videos})});
    manager().setDelegate(&delegate_);
    manager().setSelection({1});
    const std::vector<GroupPtr> shownBefore = manager().displayDuplicateFiles();

    std::vector<FilePtr> handed;
    manager().removeCheckedFilesUsingBlock([&](const FilePtr& file, bool& stop) {
        // The file has already left its group, counters included.
        EXPECT_EQ(docs->indexOfFileUtility(file), TWDuplicateFile::kNotFound);
        EXPECT_EQ(songs->indexOfFileUtility(file), TWDuplicateFile::kNotFound);
        EXPECT_EQ(manager().numberOfFilesCheckedToRemoved(), 3u - handed.size() - 1);
        handed.push_back(file);
        stop = file == song0;
    });

    EXPECT_EQ(handed, (std::vector<FilePtr>{doc2, song0}));  // videos never visited
    EXPECT_TRUE(manager().selection().empty());
    EXPECT_EQ(delegate_.calls, 2);
    // The list was rebuilt: the music group fell to one file and is gone.
    EXPECT_EQ(manager().displayDuplicateFiles(), (std::vector<GroupPtr>{docs, videos}));
    EXPECT_EQ(shownBefore.size(), 3u);
    EXPECT_EQ(manager().numberOfFilesCheckedToRemoved(), 1u);
    EXPECT_EQ(manager().allDuplicateFiles().size(), 3u);  // emptied containers stay
    EXPECT_EQ(manager().numberOfDuplicateFiles(), 2u);
    EXPECT_EQ(videos->numberOfFiles(), 2u);

    // Without a per-file step nothing leaves the result.
    manager().removeCheckedFilesUsingBlock(nullptr);
    EXPECT_EQ(videos->numberOfFiles(), 2u);
    EXPECT_EQ(manager().numberOfFilesCheckedToRemoved(), 1u);
}

}  // namespace
