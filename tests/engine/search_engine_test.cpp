// Whole scans of small trees: what is walked, what is grouped, what is counted.

#include <dirent.h>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "PrivateBus.h"
#include "ScanHarness.h"
#include "platform/Log.h"
#include "prefs/TWPreference.h"

using namespace twtest;
using namespace std::chrono_literals;
using Groups = std::vector<Group>;

namespace {

class SearchEngine : public ::testing::Test {
protected:
    ScopedDefaults defaults;
    TempDir dir;
    std::string base = TWFileUtility::resolvePath(dir.path());
    ScanReport scanRoots(const std::vector<std::string>& roots) { return scan(roots); }
    ScanReport scanAll() { return scan({dir.path()}); }
};

TEST_F(SearchEngine, NestedRootsAreWalkedOnceAsPartOfTheOuterRoot) {
    dir.write("a/x.txt", "same words");
    dir.write("a/b/y.txt", "same words");
    auto engine = TWSearchDuplicateFiles::init(quietOptions());
    engine->searchRootPaths({dir / "a/b", dir / "a"});
    EXPECT_EQ(engine->filterPathsWithoutRepetion(), std::vector<std::string>{dir / "a"});

    ScanReport report = scanRoots({dir / "a", dir / "a/b"});
    EXPECT_EQ(groupsOf(report, base), (Groups{{"a/b/y.txt", "a/x.txt"}}));
    EXPECT_EQ(report.scanned, 2u);
    EXPECT_EQ(report.duplicates, 1u);
    EXPECT_EQ(report.duplicateSize, 10u);
}

TEST_F(SearchEngine, NotificationsComeStartProgressPerFileFinished) {
    dir.write("one.txt", "1");
    dir.write("two.txt", "22");
    dir.write("three.txt", "333");
    ScanReport report = scanAll();
    EXPECT_EQ(report.events, (std::vector<std::string>{"start", "progress", "progress", "progress", "finished"}));
    // Three distinct files: one Documents container without groups; 3, 0, 0.
    ASSERT_EQ(report.containers.size(), 1u);
    EXPECT_EQ(report.containers[0]->category(), TWCategory_documents);
    EXPECT_EQ(report.containers[0]->numberOfCategoryFiles(), 0u);
    EXPECT_EQ(report.scanned, 3u);
    EXPECT_EQ(report.duplicates, 0u);
    EXPECT_EQ(report.duplicateSize, 0u);
}

TEST_F(SearchEngine, IgnoredRootsAndLibraryContentAreNotWalked) {
    dir.write("keep/a.txt", "copy");
    dir.write("ignored/b.txt", "copy");
    dir.write("keep/Photos Library.photoslibrary/originals/c.txt", "copy");
    dir.write("lib/d.txt", "copy");
    TWPreference::shared().addFilterFileFolder(dir / "ignored");
    TWPreference::shared().setPhotosLibraryLocation(dir / "keep/Photos Library.photoslibrary");
    TWPreference::shared().setITunesMediaFolderLocation(dir / "lib");
    ScanReport report = scanRoots({dir / "keep", dir / "ignored", dir / "lib"});
    EXPECT_EQ(report.scanned, 1u);  // only keep/a.txt
    EXPECT_TRUE(groupsOf(report, base).empty());
    EXPECT_TRUE(scanRoots({dir / "keep/Photos Library.photoslibrary/originals"}).events ==
                (std::vector<std::string>{"start", "finished"}));
}

TEST_F(SearchEngine, LibraryQuestionsAnswerByPath) {
    TWPreference::shared().setPhotosLibraryLocation(dir / "pics/Photos Library.photoslibrary");
    TWPreference::shared().setITunesMediaFolderLocation(dir / "music/Media");
    EXPECT_TRUE(TWSearchDuplicateFiles::containPhotosLibrary({dir / "other", dir / "pics"}));
    EXPECT_TRUE(TWSearchDuplicateFiles::containPhotosLibrary({dir / "pics/Photos Library.photoslibrary/x"}));
    EXPECT_FALSE(TWSearchDuplicateFiles::containPhotosLibrary({dir / "music"}));
    EXPECT_TRUE(TWSearchDuplicateFiles::containiTunesLibrary({dir / "music"}));
    EXPECT_FALSE(TWSearchDuplicateFiles::containiTunesLibrary({dir / "pics", dir / "other"}));
}

// Folders are opened by their name in the folder above while the walk holds that one
// open, and by their whole path below the depth it holds: both walks must see the same
// entries, and a folder that its folder's ".hidden" file lists is skipped like a file.
TEST_F(SearchEngine, FoldersAreWalkedAlikeAtAnyDepthAndHiddenListsHideThem) {
    std::string deep = "deep";
    for (int level = 0; level < 40; ++level) deep += "/d" + std::to_string(level);
    dir.write(deep + "/bottom.txt", "from the bottom");
    dir.write("top.txt", "from the bottom");
    dir.write("docs/listed/a.txt", "listed copy");
    dir.write("docs/b.txt", "listed copy");
    dir.write("docs/.hidden", "listed\n");
    dir.write("docs/shown/c.txt", "shown copy");
    dir.write("d.txt", "shown copy");

    TWPreference::shared().setSkipHiddenItems(true);
    EXPECT_EQ(groupsOf(scanAll(), base), (Groups{{"d.txt", "docs/shown/c.txt"}, {deep + "/bottom.txt", "top.txt"}}));
    TWPreference::shared().setSkipHiddenItems(false);
    EXPECT_EQ(groupsOf(scanAll(), base), (Groups{{"d.txt", "docs/shown/c.txt"},
                                                 {deep + "/bottom.txt", "top.txt"},
                                                 {"docs/b.txt", "docs/listed/a.txt"}}));
}

TEST_F(SearchEngine, TheSameFileReachedTwiceIsCountedOnce) {
    dir.write("docs/a.txt", "twice reached");
    dir.symlink(dir / "docs/a.txt", "links/to-a.txt");
    dir.hardlink("docs/a.txt", "docs/hard.txt");
    dir.hardlink("docs/a.txt", "docs/hard.csv");  // another category, the same file
    writeGradientPng(dir, "pics/p.png", 3);
    dir.symlink(dir / "pics/p.png", "links/to-p.png");
    dir.write("docs/copy.txt", "twice reached");
    ScanReport report = scanAll();
    // a.txt (under one of its names), p.png and copy.txt.
    EXPECT_EQ(report.scanned, 3u);
    EXPECT_EQ(report.duplicates, 1u);
    ASSERT_EQ(groupsOf(report, base).size(), 1u);
    EXPECT_EQ(groupsOf(report, base)[0].size(), 2u);
}

TEST_F(SearchEngine, CategoriesAndSourcesNeverMix) {
    dir.write("x.txt", "identical");
    dir.write("x.mp3", "identical");
    dir.write("x.zip", "identical");
    ScanReport report = scanAll();
    EXPECT_TRUE(groupsOf(report, base).empty());
    EXPECT_EQ(report.containers.size(), 3u);
}

TEST_F(SearchEngine, NameModeGroupsByCaseInsensitiveNameAndSize) {
    TWPreference::shared().setSearchMode(TWSearchModeName);
    dir.write("1/Report.TXT", "aaaa");
    dir.write("2/report.txt", "bbbb");
    dir.write("3/report.txt", "ccccc");  // another size
    dir.write("4/a.txt", "12");
    dir.write("5/a.pdf", "34");  // extension not compared; both are documents
    dir.write("6/\xC3\x84rger.txt", "x");
    dir.write("7/\xC3\xA4rger.txt", "y");
    dir.write("8/empty.txt", "");
    dir.write("9/empty.txt", "");
    ScanReport report = scanAll();
    EXPECT_EQ(groupsOf(report, base), (Groups{{"1/Report.TXT", "2/report.txt"},
                                              {"4/a.txt", "5/a.pdf"},
                                              {"6/\xC3\x84rger.txt", "7/\xC3\xA4rger.txt"},
                                              {"8/empty.txt", "9/empty.txt"}}));
    EXPECT_EQ(report.duplicates, 4u);
}

TEST_F(SearchEngine, ContentModeNeverGroupsEmptyFiles) {
    dir.write("a/empty.txt", "");
    dir.write("b/empty.txt", "");
    ScanReport report = scanAll();
    EXPECT_TRUE(groupsOf(report, base).empty());
    EXPECT_EQ(report.scanned, 2u);
}

// Equal size, equal first and last kilobytes and equal kilobytes at L/3 and 2L/3,
// different elsewhere: the sampled hash cannot tell them apart.
TEST_F(SearchEngine, FilesAgreeingOnlyOnTheSampledBytesGroupOnlyWithoutTheFullCheck) {
    std::string a = randomBytes(9000, 7);
    std::string b = a;
    b[1500] ^= 0x5A;
    const std::string pa = dir.write("a.dat", a), pb = dir.write("b.dat", b);
    ASSERT_EQ(TWFileUtility::initWithPath(pa)->hashString(), TWFileUtility::initWithPath(pb)->hashString());

    EXPECT_TRUE(groupsOf(scanAll(), base).empty());
    TWPreference::shared().setVerifyFullContent(false);
    EXPECT_EQ(groupsOf(scanAll(), base), (Groups{{"a.dat", "b.dat"}}));
}

TEST_F(SearchEngine, SpecialFilesNeitherHangNorGroup) {
    dir.fifo("x.png");
    dir.fifo("y.txt");
    dir.mkdir("t1/shared");
    dir.mkdir("t2/shared");
    dir.symlink(dir / "t1/shared", "links/one");
    dir.symlink(dir / "t2/shared", "links/two");
    TWPreference::shared().setSearchMode(TWSearchModeName);
    ScanReport report = scanAll();  // bounded: a FIFO opened for reading would hang here
    EXPECT_TRUE(groupsOf(report, base).empty());
    // y.txt and both links are counted as scanned; the FIFO named like an image is not.
    EXPECT_EQ(report.scanned, 3u);
}

TEST_F(SearchEngine, ResultsAreCheckedAndSortedNewestFirst) {
    dir.write("old.txt", "copy");
    dir.write("new.txt", "copy");
    // Created in this order; the later birth (or change) time is the newer file.
    TWPreference::shared().setCheckMethodForDuplicateFiles(TWCheckMethodNewer);
    ScanReport report = scanAll();
    ASSERT_EQ(report.containers.size(), 1u);
    auto groups = report.containers[0]->duplicateFilesIncludingSimilar();
    ASSERT_EQ(groups.size(), 1u);
    auto files = groups[0]->itemsOfFileUtility();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(relative(files[0]->filePath(), base), "new.txt");
    EXPECT_EQ(groups[0]->numberOfChecked(), 1u);
}

TEST_F(SearchEngine, SimilarImagesBecomeOneGroupOfTheImagesCategory) {
    writeGradientPng(dir, "a.png", 5);
    writeGradientPng(dir, "sub/b.png", 5);
    writeGradientPng(dir, "c.png", 200);
    ScanReport report = scanAll();
    EXPECT_EQ(groupsOf(report, base, TWCategory_images), (Groups{{"a.png", "sub/b.png"}}));
    EXPECT_TRUE(report.containers[0]->duplicateFilesIncludingSimilar()[0]->isSimilarGroup());
    EXPECT_EQ(report.scanned, 3u);
    EXPECT_EQ(report.duplicates, 1u);
}

TEST_F(SearchEngine, UnmountOfAVolumeHoldingARootIsLogged) {
    auto engine = TWSearchDuplicateFiles::init(quietOptions());
    engine->searchRootPaths({"/media/usb/photos", "/home/u"});
    tw::LogCapture log;
    engine->diskWillUnmount("/media/usb");
    engine->diskWillUnmount("/media/us");  // a prefix, but not a folder above a root
    engine->diskWillUnmount("/mnt");
    engine->computeWillPowerOff();
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"disk: /media/usb, unmounted.", "poweroff"}));
}

void emitLogind(GDBusConnection* peer, const char* signal, bool value) {
    ASSERT_TRUE(g_dbus_connection_emit_signal(peer, nullptr, "/org/freedesktop/login1",
                                              "org.freedesktop.login1.Manager", signal, g_variant_new("(b)", value),
                                              nullptr));
    ASSERT_TRUE(g_dbus_connection_flush_sync(peer, nullptr, nullptr));
}

// Here rather than with the threaded cases: GLib is not built for ThreadSanitizer,
// which reports inside it.
TEST_F(SearchEngine, LogindSleepPausesWakeResumesAndShutdownIsLogged) {
    buildTree(dir);
    PrivateBus bus;
    auto logind = bus.connect();
    ASSERT_TRUE(PrivateBus::ownName(logind.get(), "org.freedesktop.login1"));
    TWSearchDuplicateFiles::Options options;
    options.events.busAddress = bus.address();
    options.events.watchVolumes = false;
    auto engine = TWSearchDuplicateFiles::init(options);
    ASSERT_TRUE(engine->waitUntilSessionEventsSubscribed(30s));
    engine->searchRootPaths({dir / "tree"});
    ScanObserver observer(engine);

    emitLogind(logind.get(), "PrepareForSleep", true);
    ASSERT_TRUE(runMainQueueUntil([&] { return engine->isPaused(); }));
    engine->startSearch();
    ASSERT_TRUE(runMainQueueUntil([&] { return !observer.report.events.empty(); }));
    tw::LogCapture log;
    emitLogind(logind.get(), "PrepareForShutdown", true);
    emitLogind(logind.get(), "PrepareForSleep", false);
    ASSERT_TRUE(runMainQueueUntil([&] { return !engine->isPaused(); }));
    ASSERT_TRUE(observer.waitFinished());
    EXPECT_EQ(observer.report.scanned, kTreeFiles);
    EXPECT_EQ(log.count("poweroff"), 1u);
}

// The threads of this process whose CPU or I/O priority differs from the main
// thread's, and among them those in the idle I/O class.
struct LoweredThreads {
    int lowered = 0;
    int idleClass = 0;
};

LoweredThreads loweredThreads() {
    auto ioprioOf = [](long tid) { return syscall(SYS_ioprio_get, 1, static_cast<int>(tid)); };
    auto niceOf = [](long tid) {
        errno = 0;
        return getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    };
    const long self = getpid();
    LoweredThreads found;
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return found;
    while (const dirent* entry = readdir(tasks)) {
        const long tid = std::atol(entry->d_name);
        if (tid <= 0) continue;
        if (niceOf(tid) != niceOf(self) || ioprioOf(tid) != ioprioOf(self)) ++found.lowered;
        if ((ioprioOf(tid) >> 13) == 3) ++found.idleClass;
    }
    closedir(tasks);
    return found;
}

// Runs in a fresh process (a re-executed death-test child), where no worker of an
// earlier test lingers: while a walker waits for its count to be taken, counts the
// threads running below the process's priority. Exits 0 when `background` decides it.
[[noreturn]] void scanAndExitByPriority(const std::string& root, bool background) {
    TWPreference::shared().setScanInBackground(background);
    auto engine = TWSearchDuplicateFiles::init(quietOptions());
    engine->searchRootPaths({root});
    ScanObserver observer(engine);
    LoweredThreads seen;
    // Each count is taken while the walker that placed it waits for the main thread.
    observer.onProgress = [&](TWSearchDuplicateFiles&) {
        const LoweredThreads now = loweredThreads();
        seen.lowered = std::max(seen.lowered, now.lowered);
        seen.idleClass = std::max(seen.idleClass, now.idleClass);
    };
    engine->startSearch();
    if (!observer.waitFinished() || observer.report.scanned != 2) std::_Exit(3);
    if (seen.idleClass != 0) std::_Exit(4);
    std::_Exit((seen.lowered > 0) == background ? 0 : 5);
}

TEST_F(SearchEngine, OnlyTheBackgroundSettingLowersTheScansPriority) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    dir.write("a.txt", "same words");
    dir.write("b.txt", "same words");
    EXPECT_EXIT(scanAndExitByPriority(dir.path(), false), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(scanAndExitByPriority(dir.path(), true), ::testing::ExitedWithCode(0), "");
}

}  // namespace
