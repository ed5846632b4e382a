// Paths a scan cannot read are counted and named, never skipped in silence; a chosen
// folder that the settings ignore gets a notice, which is no error. (A folder that
// cannot be listed for want of permission is shown by the command-line suite, whose
// scan runs as an unprivileged user.)

#include <gtest/gtest.h>

#include <thread>

#include "Log.h"
#include "ScanHarness.h"
#include "TWPreference.h"
#include "TWScanReport.h"

using namespace twtest;

namespace {

TEST(ScanReportList, CountsEverySkippedPathAndKeepsTheFirstOnesFromAnyThread) {
    tw::LogCapture quiet;
    TWScanReport report;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&report, t] {
            for (int i = 0; i < 500; ++i) report.addSkipped("/t" + std::to_string(t) + "/" + std::to_string(i), "why");
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(report.numberOfSkippedPaths(), 2000u);
    EXPECT_EQ(report.skippedPaths().size(), TWScanReport::kKeptEntries);
    report.clear();
    EXPECT_EQ(report.numberOfSkippedPaths(), 0u);
    EXPECT_TRUE(report.skippedPaths().empty());
}

class SkippedPaths : public ::testing::Test {
protected:
    // One scan of `roots`; the engine stays for its report.
    ScanReport scanRoots(const std::vector<std::string>& roots) {
        engine = TWSearchDuplicateFiles::init(quietOptions());
        engine->searchRootPaths(roots);
        ScanObserver observer(engine);
        engine->startSearch();
        EXPECT_TRUE(observer.waitFinished());
        return observer.report;
    }

    ScopedDefaults defaults;
    TempDir dir;
    TWSearchDuplicateFiles::Ptr engine;
};

TEST_F(SkippedPaths, APathLongerThanTheSystemAllowsIsNamed) {
    dir.write("top.txt", "copy");
    dir.write("a/top.txt", "copy");
    TooLongPath chain(dir);
    ASSERT_TRUE(chain.made());

    tw::LogCapture quiet;
    ScanReport report = scanRoots({dir.path()});
    EXPECT_EQ(groupsOf(report, dir.path()), (std::vector<Group>{{"a/top.txt", "top.txt"}}));
    const TWScanReport& skipped = engine->scanReport();
    EXPECT_EQ(skipped.numberOfSkippedPaths(), 1u);
    ASSERT_EQ(skipped.skippedPaths().size(), 1u);
    EXPECT_EQ(skipped.skippedPaths()[0].path, chain.firstTooLong());
    EXPECT_EQ(skipped.skippedPaths()[0].text, TWScanReport::pathTooLong());
    EXPECT_TRUE(skipped.notices().empty());
}

TEST_F(SkippedPaths, ChosenFoldersThatCannotBeListedAreNamed) {
    dir.write("ok/a.txt", "1");
    dir.write("file.txt", "1");
    tw::LogCapture quiet;
    scanRoots({dir / "missing", dir / "file.txt", dir / "ok"});
    const TWScanReport& skipped = engine->scanReport();
    EXPECT_EQ(skipped.numberOfSkippedPaths(), 2u);
    std::map<std::string, std::string> reasons;
    for (const auto& entry : skipped.skippedPaths()) reasons[entry.path] = entry.text;
    EXPECT_EQ(reasons[dir / "missing"], TWScanReport::cannotListFolder(ENOENT));
    EXPECT_EQ(reasons[dir / "file.txt"], TWScanReport::cannotListFolder(ENOTDIR));
}

TEST_F(SkippedPaths, AnIgnoredChosenFolderIsANoticeNotAnError) {
    dir.write("ignored/a.txt", "1");
    dir.write("kept/a.txt", "1");
    TWPreference::shared().addFilterFileFolder(dir / "ignored");
    ScanReport report = scanRoots({dir / "ignored", dir / "kept"});
    EXPECT_EQ(report.scanned, 1u);
    const TWScanReport& notes = engine->scanReport();
    EXPECT_EQ(notes.numberOfSkippedPaths(), 0u);
    ASSERT_EQ(notes.notices().size(), 1u);
    EXPECT_EQ(notes.notices()[0].path, dir / "ignored");
    EXPECT_EQ(notes.notices()[0].text, "is ignored by the settings: not scanned");
}

}  // namespace
