// A whole removal run over real groups and containers: what it does on disk, what it
// reports, what the results hold afterwards, and how Cancel ends it.

#include <gtest/gtest.h>
#include <unistd.h>

#include "InMemoryMediaLibrary.h"
#include "RemovalRunSupport.h"
#include "RemovalTestSupport.h"
#include "TestSupport.h"
#include "engine/TWMediaObjectUtility.h"
#include "platform/MediaLibraryService.h"
#include "platform/Trash.h"
#include "removal/TWManagerRemovalSource.h"
#include "removal/TWRemovalReview.h"
#include "removal/TWRemovalRun.h"
#include "removal/TWTrashUndo.h"

namespace {

using namespace removaltest;
using twtest::exists;
using twtest::readFile;

class RemovalRunTest : public ::testing::Test {
protected:
    void TearDown() override { tw::ScriptExecutor::install(nullptr); }

    // Runs to the end on this (main) thread; the outcome is in `progress`.
    void runToEnd(const std::vector<TWCategoryFiles::Ptr>& containers, TWRemovalRun::Options options) {
        run = TWRemovalRun::create(std::make_shared<ContainerSource>(containers), progress, options);
        run->start();
        ASSERT_TRUE(twtest::runMainQueueUntil([&] { return progress->finished; }));
    }
    static TWRemovalRun::Options options(int64_t destType, const std::string& folder = "") {
        TWRemovalRun::Options o;
        o.destType = destType;
        o.folder = folder;
        return o;
    }
    FilePtr libraryItem(const std::string& id, const std::string& source) {
        auto object =
            std::make_shared<twtest::InMemoryMediaObject>(id, dir.write("library/" + id + ".jpg", "x"), source);
        return TWMediaObjectUtility::initWithMediaObject(object, source);
    }

    twtest::TempDir dir;
    std::shared_ptr<RecordingProgress> progress = std::make_shared<RecordingProgress>();
    std::shared_ptr<TWRemovalRun> run;
};

TEST_F(RemovalRunTest, NothingCheckedOpensAndClosesAtOnce) {
    auto group = groupOf({{recordOf(dir.write("a.txt", "x")), false}, {recordOf(dir.write("b.txt", "x")), false}});
    runToEnd({containerOf(TWCategory_documents, {group})}, options(TWDestTypeDeletePermanently));
    EXPECT_TRUE(progress->started);
    EXPECT_EQ(progress->updates, 0u);
    EXPECT_EQ(progress->outcome.total, 0u);
    EXPECT_EQ(progress->outcome.handled, 0u);
    EXPECT_FALSE(progress->outcome.touchedLibrary());
    EXPECT_EQ(group->numberOfFiles(), 2u);
    EXPECT_TRUE(exists(dir / "a.txt") && exists(dir / "b.txt"));
}

TEST_F(RemovalRunTest, MovesTwoNamesakesIntoAnEmptyFolderAndEndsAtAHundred) {
    auto first =
        groupOf({{recordOf(dir.write("one/a.jpg", "A")), false}, {recordOf(dir.write("two/a.jpg", "A")), true}});
    auto second =
        groupOf({{recordOf(dir.write("three/a.jpg", "B")), false}, {recordOf(dir.write("four/a.jpg", "B")), true}});
    auto container = containerOf(TWCategory_images, {first, second});
    const std::string target = dir.mkdir("target");
    runToEnd({container}, options(TWDestTypeMoveToFolder, target));

    EXPECT_EQ(readFile(target + "/a.jpg"), "A");
    EXPECT_EQ(readFile(target + "/a 1.jpg"), "B");
    EXPECT_FALSE(exists(dir / "two/a.jpg") || exists(dir / "four/a.jpg"));
    EXPECT_TRUE(exists(dir / "one/a.jpg") && exists(dir / "three/a.jpg"));
    EXPECT_EQ(progress->percent, 100.0);
    EXPECT_EQ(progress->title, "0 files, 0 B remaining");
    EXPECT_EQ(progress->outcome.disposed, 2u);
    EXPECT_EQ(progress->outcome.failed, 0u);
    EXPECT_EQ(container->numberOfCategoryFiles(), 0u);  // groups of one file are dropped
}

TEST_F(RemovalRunTest, FilesThatMayNotGoStayOnDiskAreCountedAndLeaveTheResults) {
    auto keptGone = recordOf(dir.write("gone/kept.txt", "1"));
    auto orphan = recordOf(dir.write("gone/copy.txt", "1"));
    auto all1 = recordOf(dir.write("all/1.txt", "22"));
    auto all2 = recordOf(dir.write("all/2.txt", "22"));
    auto link1 = recordOf(dir.write("links/1.txt", "333"));
    auto link2 = recordOf(dir.hardlink("links/1.txt", "links/2.txt"));
    auto original = recordOf(dir.write("edit/kept.txt", "4444"));
    auto edited = recordOf(dir.write("edit/copy.txt", "4444"));
    auto container = containerOf(
        TWCategory_documents, {groupOf({{keptGone, false}, {orphan, true}}), groupOf({{all1, true}, {all2, true}}),
                               groupOf({{link1, false}, {link2, true}}), groupOf({{original, false}, {edited, true}})});
    ASSERT_EQ(unlink(keptGone->filePath().c_str()), 0);
    dir.write("edit/copy.txt", "4445");
    runToEnd({container}, options(TWDestTypeDeletePermanently));

    EXPECT_EQ(progress->outcome.handled, 5u);
    EXPECT_EQ(progress->outcome.failed, 5u);
    EXPECT_EQ(run->failedCount(), 5u);
    std::vector<std::string> failedPaths;
    for (const auto& f : progress->outcome.failures) failedPaths.push_back(f.path);
    EXPECT_EQ(failedPaths, (std::vector<std::string>{orphan->filePath(), all1->filePath(), all2->filePath(),
                                                     link2->filePath(), edited->filePath()}));
    for (const auto& file : {orphan, all1, all2, link1, link2, edited}) EXPECT_TRUE(exists(file->filePath()));
    EXPECT_EQ(container->numberOfCategoryFiles(), 0u);
}

TEST_F(RemovalRunTest, ADiskFailureIsCountedAndTheRunGoesOn) {
    auto bad = groupOf({{recordOf(dir.write("x/a.txt", "a")), false}, {recordOf(dir.write("y/a.txt", "a")), true}});
    auto good = groupOf({{recordOf(dir.write("x/b.txt", "b")), false}, {recordOf(dir.write("y/b.txt", "b")), true}});
    // The destination is a plain file: the move of every file fails.
    const std::string notAFolder = dir.write("dest", "plain");
    runToEnd({containerOf(TWCategory_documents, {bad, good})}, options(TWDestTypeMoveToFolder, notAFolder));
    EXPECT_EQ(progress->outcome.failed, 2u);
    EXPECT_EQ(progress->outcome.handled, 2u);
    EXPECT_TRUE(exists(dir / "y/a.txt") && exists(dir / "y/b.txt"));
}

TEST_F(RemovalRunTest, TrashRunRecordsItsItemsAndUndoPutsBackExactlyThose) {
    // Two checked namesakes, and a file of the same name that the user trashed before:
    // the undo restores the run's two only, and refuses the one whose place was taken.
    const std::string earlier = dir.write("earlier/a.txt", "earlier");
    ASSERT_TRUE(tw::Trash::moveToTrash(earlier));
    auto first =
        groupOf({{recordOf(dir.write("k1/a.txt", "one")), false}, {recordOf(dir.write("c1/a.txt", "one")), true}});
    auto second =
        groupOf({{recordOf(dir.write("k2/a.txt", "two!")), false}, {recordOf(dir.write("c2/a.txt", "two!")), true}});
    runToEnd({containerOf(TWCategory_documents, {first, second})}, options(TWDestTypeTrash));

    const TWRemovalOutcome& outcome = progress->outcome;
    EXPECT_EQ(outcome.destType, int64_t(TWDestTypeTrash));
    EXPECT_EQ(outcome.disposedFiles, 2u);
    EXPECT_EQ(outcome.disposedBytes, 7u);
    EXPECT_EQ(outcome.untracked, 0u);
    ASSERT_EQ(outcome.trashed.size(), 2u);
    EXPECT_EQ(outcome.trashed[0].entry.originalPath(), dir / "c1/a.txt");
    EXPECT_EQ(outcome.trashed[1].entry.originalPath(), dir / "c2/a.txt");

    dir.write("c2/a.txt", "new since");
    const TWTrashUndo::Result undo = TWTrashUndo::restore(outcome.trashed);
    EXPECT_EQ(undo.restored, std::vector<std::string>{dir / "c1/a.txt"});
    EXPECT_EQ(undo.nameTaken, std::vector<std::string>{dir / "c2/a.txt"});
    EXPECT_TRUE(undo.failed.empty());
    EXPECT_EQ(undo.restoredBytes, 3u);
    EXPECT_EQ(readFile(dir / "c1/a.txt"), "one");
    EXPECT_EQ(readFile(dir / "c2/a.txt"), "new since");
    EXPECT_EQ(readFile(outcome.trashed[1].entry.trashedPath()), "two!");
    EXPECT_FALSE(exists(earlier));
}

TEST_F(RemovalRunTest, TrashRunLeavesLibraryItemsOnDiskAndFlagsTheGuide) {
    auto executor = std::make_shared<HoldingExecutor>();
    tw::ScriptExecutor::install(executor);
    auto plain = groupOf({{recordOf(dir.write("k/t.txt", "t")), false}, {recordOf(dir.write("c/t.txt", "t")), true}});
    auto song1 = libraryItem("11AA", MLMediaSourceiTunesIdentifier);
    auto song2 = libraryItem("22BB", MLMediaSourceiTunesIdentifier);
    ASSERT_TRUE(song1 && song2);
    auto songs = groupOf({{song1, false}, {song2, true}});
    runToEnd({containerOf(TWCategory_documents, {plain}), containerOf(TWCategory_music, {songs})},
             options(TWDestTypeTrash));

    EXPECT_EQ(readFile(removaltest::dataHome() + "/Trash/files/t.txt"), "t");
    EXPECT_TRUE(exists(song2->filePath()));
    ASSERT_EQ(executor->scripts().size(), 1u);
    EXPECT_NE(executor->scripts()[0].find("set the end of myPersistenIDs to \"22BB\"\n"), std::string::npos);
    EXPECT_TRUE(progress->outcome.cleanItunes);
    EXPECT_FALSE(progress->outcome.cleanPhotos);
    EXPECT_EQ(progress->outcome.disposed, 2u);
}

// Library items are handed over together after the walk, so Cancel is given before the
// first step: that step still takes its item, the walk ends, and only that item goes to
// the library (one script); the other nine stay checked.
TEST_F(RemovalRunTest, CancelBeforeTheFirstOfTenHandsOverOneAndKeepsNineChecked) {
    auto executor = std::make_shared<HoldingExecutor>();
    tw::ScriptExecutor::install(executor);
    std::vector<std::pair<FilePtr, bool>> members{{recordOf(dir.write("kept.jpg", "x")), false}};
    for (int i = 1; i <= 10; ++i)
        members.push_back({libraryItem("ID-" + std::to_string(i), MLMediaSourcePhotosIdentifier), true});
    auto group = groupOf(members);
    run = TWRemovalRun::create(std::make_shared<ContainerSource>(std::vector{containerOf(TWCategory_images, {group})}),
                               progress, options(TWDestTypeDeletePermanently));
    progress->onStart = [this] { run->cancel(); };
    run->start();
    ASSERT_TRUE(twtest::runMainQueueUntil([&] { return progress->finished; }));

    ASSERT_EQ(executor->scripts().size(), 1u);
    EXPECT_NE(executor->scripts()[0].find("whose id is \"ID-1\""), std::string::npos);
    EXPECT_EQ(executor->scripts()[0].find("ID-2"), std::string::npos);
    EXPECT_TRUE(progress->outcome.cancelled);
    EXPECT_EQ(progress->outcome.handled, 1u);
    EXPECT_EQ(group->numberOfFiles(), 10u);
    EXPECT_EQ(group->numberOfChecked(), 9u);
    for (size_t i = 1; i <= 10; ++i) EXPECT_TRUE(exists(members[i].first->filePath()));
    EXPECT_TRUE(progress->outcome.cleanPhotos);
    EXPECT_EQ(progress->title, "9 files, 9 B remaining");
}

// A library that refuses its items (its application runs) leaves them in the results,
// still checked, reported once each; the plain files of the run are disposed of, and the
// guide is not shown for the library that took nothing.
TEST_F(RemovalRunTest, ARefusedLibraryKeepsItsItemsCheckedInTheResults) {
    auto executor = std::make_shared<RefusingExecutor>("Shotwell is running: close Shotwell, then remove again");
    tw::ScriptExecutor::install(executor);
    auto plain = groupOf({{recordOf(dir.write("k/t.txt", "t")), false}, {recordOf(dir.write("c/t.txt", "t")), true}});
    auto photo1 = libraryItem("thumb1", MLMediaSourcePhotosIdentifier);
    auto photo2 = libraryItem("thumb2", MLMediaSourcePhotosIdentifier);
    auto kept = libraryItem("thumb3", MLMediaSourcePhotosIdentifier);
    auto photos = groupOf({{kept, false}, {photo1, true}, {photo2, true}});
    runToEnd({containerOf(TWCategory_documents, {plain}), containerOf(TWCategory_images, {photos})},
             options(TWDestTypeDeletePermanently));

    EXPECT_FALSE(exists(dir / "c/t.txt"));
    ASSERT_EQ(executor->scripts.size(), 1u);  // one hand-over for the library's two items
    EXPECT_EQ(photos->numberOfFiles(), 3u);
    EXPECT_EQ(photos->numberOfChecked(), 2u);
    EXPECT_TRUE(photo1->isChecked() && photo2->isChecked());
    EXPECT_EQ(plain->numberOfFiles(), 1u);
    EXPECT_EQ(progress->outcome.failed, 2u);
    EXPECT_EQ(progress->outcome.keptChecked, 2u);
    EXPECT_EQ(progress->outcome.disposed, 1u);
    ASSERT_EQ(progress->outcome.failures.size(), 2u);
    EXPECT_NE(progress->outcome.failures[0].reason.find("Shotwell is running"), std::string::npos);
    EXPECT_FALSE(progress->outcome.touchedLibrary());
    EXPECT_TRUE(exists(photo1->filePath()) && exists(photo2->filePath()));
}

// Every copy of a group checked: the library is handed none of them (its user would
// delete them all there); each is reported and stays on disk.
TEST_F(RemovalRunTest, TheLastCopyOfAGroupIsNotHandedToItsLibrary) {
    auto executor = std::make_shared<HoldingExecutor>();
    tw::ScriptExecutor::install(executor);
    auto photo1 = libraryItem("thumb1", MLMediaSourcePhotosIdentifier);
    auto photo2 = libraryItem("thumb2", MLMediaSourcePhotosIdentifier);
    auto photos = groupOf({{photo1, true}, {photo2, true}});
    runToEnd({containerOf(TWCategory_images, {photos})}, options(TWDestTypeTrash));

    EXPECT_TRUE(executor->scripts().empty());
    EXPECT_EQ(progress->outcome.failed, 2u);
    EXPECT_EQ(progress->outcome.disposed, 0u);
    EXPECT_FALSE(progress->outcome.touchedLibrary());
    EXPECT_TRUE(exists(photo1->filePath()) && exists(photo2->filePath()));
}

// The hook between each check and its act is where a racing process strikes: whatever
// it changes there is seen before the act.
TEST_F(RemovalRunTest, TheKeptCopyEditedDuringTheRunStopsTheRemovalsThatFollow) {
    const std::string content = twtest::randomBytes(30000, 9);
    auto kept = recordOf(dir.write("kept.bin", content));
    std::vector<std::pair<FilePtr, bool>> members{{kept, false}};
    for (int i = 1; i <= 3; ++i) members.push_back({recordOf(dir.write("copy" + std::to_string(i), content)), true});
    auto o = options(TWDestTypeDeletePermanently);
    std::string edited = content;
    edited[100] ^= 1;
    int calls = 0;
    o.beforeAct = [&](const std::string&) {
        if (++calls == 2) removaltest::overwriteInPlace(kept->filePath(), edited);  // after the first removal
    };
    runToEnd({containerOf(TWCategory_others, {groupOf(members)})}, o);
    EXPECT_FALSE(exists(members[1].first->filePath()));
    EXPECT_TRUE(exists(members[2].first->filePath()) && exists(members[3].first->filePath()));
    EXPECT_EQ(readFile(members[2].first->filePath()), content);
    EXPECT_EQ(progress->outcome.disposed, 1u);
    EXPECT_EQ(progress->outcome.failed, 2u);
}

TEST_F(RemovalRunTest, AnExactPictureWhoseTwinGoesAtTheLastMomentStays) {
    twtest::ScopedDefaults defaults;
    const std::string picture = twtest::randomBytes(12000, 1);
    for (int64_t destType : {int64_t(TWDestTypeDeletePermanently), int64_t(TWDestTypeTrash)})
        for (bool deleted : {true, false}) {
            SCOPED_TRACE(std::to_string(destType) + (deleted ? " deleted" : " overwritten"));
            twtest::TempDir pictures;
            auto twin = recordOf(pictures.write("twin.png", picture));
            auto copy = recordOf(pictures.write("copy.png", picture));
            auto alike = recordOf(pictures.write("alike.png", twtest::randomBytes(11000, 2)));
            auto o = options(destType);
            o.beforeAct = [&](const std::string&) {
                if (deleted)
                    ::unlink(twin->filePath().c_str());
                else
                    removaltest::overwriteInPlace(twin->filePath(), twtest::randomBytes(12000, 3));
            };
            progress = std::make_shared<RecordingProgress>();
            runToEnd({containerOf(TWCategory_images, {groupOf({{twin, false}, {copy, true}, {alike, false}}, true)})},
                     o);
            EXPECT_EQ(readFile(copy->filePath()), picture);
            EXPECT_EQ(progress->outcome.failed, 1u);
        }
}

TEST_F(RemovalRunTest, AFileReplacedAtTheLastMomentStaysInEveryKindOfGroup) {
    twtest::ScopedDefaults defaults;
    const auto replace = [&](const std::string& path) {
        const std::string fresh = dir.write("fresh-" + std::to_string(::getpid()), readFile(path));
        ::rename(fresh.c_str(), path.c_str());
    };
    const std::string plist =
        "<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><string>org.t</string>"
        "</dict></plist>";
    dir.write("p1/Tool.app/Contents/Info.plist", plist);
    dir.write("p2/Tool.app/Contents/Info.plist", plist);
    struct Case {
        std::string name;
        TWDuplicateFile::Ptr group;
        FilePtr checked;
        int64_t searchMode;
        std::function<void()> change;
    };
    auto alike = recordOf(dir.write("i/alike.png", "a similar picture"));
    auto named = recordOf(dir.write("n2/notes.txt", "abc"));
    auto packaged = TWApplicationUtility::initWithPath(dir / "p2/Tool.app");
    std::vector<Case> cases{
        {"similar", groupOf({{recordOf(dir.write("i/kept.png", "one picture")), false}, {alike, true}}, true), alike,
         TWSearchModeContent, [&] { replace(alike->filePath()); }},
        {"name", groupOf({{recordOf(dir.write("n1/notes.txt", "abc")), false}, {named, true}}), named, TWSearchModeName,
         [&] { replace(named->filePath()); }},
        {"package", groupOf({{TWApplicationUtility::initWithPath(dir / "p1/Tool.app"), false}, {packaged, true}}),
         packaged, TWSearchModeContent,
         [&] {
             ::rename((dir / "p2/Tool.app").c_str(), (dir / "p2/Old.app").c_str());
             dir.write("p2/Tool.app/Contents/Info.plist", plist);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto o = options(TWDestTypeDeletePermanently);
        o.searchMode = c.searchMode;
        o.beforeAct = [&](const std::string&) { c.change(); };
        progress = std::make_shared<RecordingProgress>();
        runToEnd({containerOf(TWCategory_others, {c.group})}, o);
        EXPECT_TRUE(exists(c.checked->filePath()));
        ASSERT_EQ(progress->outcome.failures.size(), 1u);
        EXPECT_EQ(progress->outcome.failures[0].reason, "it was replaced after the scan");
    }
}

TEST_F(RemovalRunTest, APackageWhoseTreeChangesAtTheLastMomentStays) {
    for (const char* root : {"a/Tool.app", "b/Tool.app"}) {
        dir.write(std::string(root) + "/Contents/Info.plist", "<plist/>");
        dir.write(std::string(root) + "/Contents/MacOS/tool", "build one");
    }
    auto kept = TWApplicationUtility::initWithPath(dir / "a/Tool.app");
    auto copy = TWApplicationUtility::initWithPath(dir / "b/Tool.app");
    ASSERT_TRUE(copy->treeDigest());
    auto o = options(TWDestTypeDeletePermanently);
    o.beforeAct = [&](const std::string&) {
        removaltest::overwriteInPlace(dir / "b/Tool.app/Contents/MacOS/tool", "build two");
    };
    runToEnd({containerOf(TWCategory_packages, {groupOf({{kept, false}, {copy, true}})})}, o);
    EXPECT_EQ(readFile(dir / "b/Tool.app/Contents/MacOS/tool"), "build two");
    ASSERT_EQ(progress->outcome.failures.size(), 1u);
    EXPECT_EQ(progress->outcome.failures[0].reason, "its contents changed after the scan");
}

// Name mode: the contents are compared before a run, and a run that takes only
// identical files refuses the others when it comes to them, also when they became
// different only at the last moment.
TEST_F(RemovalRunTest, InNameModeOnlyIdenticalFilesGoWhenTheRunSaysSo) {
    const auto group = [&](const std::string& name, const std::string& kept, const std::string& checked) {
        return groupOf(
            {{recordOf(dir.write("a/" + name, kept)), false}, {recordOf(dir.write("b/" + name, checked)), true}});
    };
    for (bool onlyIdentical : {true, false}) {
        SCOPED_TRACE(onlyIdentical);
        auto same = group("notes.txt", "abc", "abc");
        auto other = group("report.txt", "xyz", "uvw");
        auto later = group("plan.txt", "123", "123");
        auto container = containerOf(TWCategory_documents, {same, other, later});
        const auto differing = TWRemovalReview::checkedDifferingFromKept({container});
        ASSERT_EQ(differing.size(), 1u);
        EXPECT_EQ(differing[0].file->filePath(), dir / "b/report.txt");
        EXPECT_EQ(differing[0].group, other);

        auto o = options(TWDestTypeTrash);
        o.searchMode = TWSearchModeName;
        o.onlyIdentical = onlyIdentical;
        o.beforeAct = [&](const std::string& path) {
            if (path == dir / "b/plan.txt") removaltest::overwriteInPlace(dir / "a/plan.txt", "124");
        };
        progress = std::make_shared<RecordingProgress>();
        runToEnd({container}, o);
        EXPECT_FALSE(exists(dir / "b/notes.txt"));
        EXPECT_EQ(exists(dir / "b/report.txt"), onlyIdentical);
        EXPECT_EQ(readFile(dir / "b/plan.txt"), "123");  // its kept file changed
        EXPECT_EQ(progress->outcome.failed, onlyIdentical ? 2u : 1u);
        twtest::removeTree(dir / "a");
        twtest::removeTree(dir / "b");
    }
}

TEST_F(RemovalRunTest, TheReviewCountsMerelySimilarCheckedFilesAndLeavesDifferingOnesAlone) {
    twtest::ScopedDefaults defaults;
    const std::string picture = twtest::randomBytes(7000, 4);
    // A twin kept: the checked copy is identical, the checked look-alike merely similar.
    auto first = groupOf({{recordOf(dir.write("1/twin.png", picture)), false},
                          {recordOf(dir.write("1/copy.png", picture)), true},
                          {recordOf(dir.write("1/alike.png", twtest::randomBytes(6000, 5))), true}},
                         true);
    // Both copies checked, a look-alike kept: neither is identical to what stays.
    auto second = groupOf({{recordOf(dir.write("2/kept.png", twtest::randomBytes(6500, 6))), false},
                           {recordOf(dir.write("2/copy.png", picture)), true},
                           {recordOf(dir.write("2/copy2.png", picture)), true}},
                          true);
    auto exact = groupOf({{recordOf(dir.write("3/a.txt", "x")), false}, {recordOf(dir.write("3/b.txt", "x")), true}});
    auto images = containerOf(TWCategory_images, {first, second});
    auto documents = containerOf(TWCategory_documents, {exact});
    EXPECT_EQ(TWRemovalReview::numberOfMerelySimilarChecked({images, documents}), 3u);

    auto named =
        groupOf({{recordOf(dir.write("4/n.txt", "one")), false}, {recordOf(dir.write("5/n.txt", "two")), true}});
    auto names = containerOf(TWCategory_documents, {named});
    TWRemovalReview::leaveAlone(TWRemovalReview::checkedDifferingFromKept({names}));
    EXPECT_EQ(named->numberOfChecked(), 0u);
    EXPECT_EQ(names->numberOfFilesCheckedToRemoved(), 0u);
}

}  // namespace

namespace {

TEST(RemovalOverTheResultsManager, TheManagerDropsWhatTheRunDisposedOf) {
    twtest::ScopedDefaults defaults;
    twtest::TempDir dir;
    auto& manager = TWDuplicateFilesManager::shared();
    auto kept = removaltest::recordOf(dir.write("a/r.txt", "r"));
    auto copy = removaltest::recordOf(dir.write("b/r.txt", "r"));
    ASSERT_TRUE(twtest::runMainQueueUntil([] { return true; }));  // this thread is the main thread
    manager.updateDuplicateFiles(
        {removaltest::containerOf(TWCategory_documents, {removaltest::groupOf({{kept, false}, {copy, true}})})});
    auto progress = std::make_shared<removaltest::RecordingProgress>();
    TWRemovalRun::Options options;
    options.destType = TWDestTypeDeletePermanently;
    auto run = TWRemovalRun::create(std::make_shared<TWManagerRemovalSource>(), progress, options);
    run->start();
    ASSERT_TRUE(twtest::runMainQueueUntil([&] { return progress->finished; }));
    EXPECT_FALSE(twtest::exists(copy->filePath()));
    EXPECT_TRUE(twtest::exists(kept->filePath()));
    EXPECT_EQ(manager.numberOfFilesCheckedToRemoved(), 0u);
    EXPECT_EQ(manager.numberOfDuplicateFiles(), 0u);
    EXPECT_EQ(manager.numberOfDisplayDuplicateFiles(), 0u);
    manager.updateDuplicateFiles({});
}

}  // namespace
