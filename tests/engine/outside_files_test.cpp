// A symbolic link inside a chosen folder may lead to a file outside every chosen folder:
// the scan shows it (with the link's path) but marks it so that nothing checks it.
// A chosen folder that is itself a link covers its files like any other.

#include <gtest/gtest.h>

#include "ScanHarness.h"
#include "TWPreference.h"

using namespace twtest;

namespace {

class OutsideFiles : public ::testing::Test {
protected:
    // The records of every group, by real path.
    static std::map<std::string, std::shared_ptr<TWFileUtility>> recordsOf(const ScanReport& report) {
        std::map<std::string, std::shared_ptr<TWFileUtility>> records;
        for (const auto& container : report.containers)
            for (const auto& group : container->duplicateFilesIncludingSimilar())
                for (const auto& file : group->itemsOfFileUtility()) records[file->filePath()] = file;
        return records;
    }

    ScopedDefaults defaults;
    TempDir dir;
    std::string base = TWFileUtility::resolvePath(dir.path());
};

TEST_F(OutsideFiles, ALinkToAFileOutsideIsShownButNeverChecked) {
    // Every rule and both orders: the outside copy is never the one checked.
    for (int32_t rule : {TWCheckMethodSmartName, TWCheckMethodNewer, TWCheckMethodOlder}) {
        TWPreference::shared().setCheckMethodForDuplicateFiles(rule);
        const std::string sub = "r" + std::to_string(rule);
        dir.write(sub + "/other/original.txt", "precious words");
        dir.write(sub + "/chosen/a copy.txt", "precious words");
        dir.symlink(dir / (sub + "/other/original.txt"), sub + "/chosen/link.txt");
        ScanReport report = scan({dir / (sub + "/chosen")});

        auto records = recordsOf(report);
        SCOPED_TRACE("rule " + std::to_string(rule));
        ASSERT_EQ(records.size(), 2u);
        auto outside = records.at(base + "/" + sub + "/other/original.txt");
        auto inside = records.at(base + "/" + sub + "/chosen/a copy.txt");
        EXPECT_TRUE(outside->isOutsideChosenFolders());
        EXPECT_TRUE(outside->refusesRemoval());
        EXPECT_EQ(outside->linkPath(), dir / (sub + "/chosen/link.txt"));
        EXPECT_FALSE(outside->isChecked());
        EXPECT_FALSE(inside->refusesRemoval());
        EXPECT_EQ(inside->linkPath(), "");
    }
}

TEST_F(OutsideFiles, AChosenFolderThatIsALinkCoversItsFiles) {
    dir.write("real/docs/a.txt", "same");
    dir.write("real/docs/b.txt", "same");
    dir.symlink(dir / "real/docs", "chosen");
    // A link inside it to a file inside it is the same file, met twice.
    dir.symlink(dir / "real/docs/a.txt", "real/docs/again.txt");
    ScanReport report = scan({dir / "chosen"});

    EXPECT_EQ(groupsOf(report, base), (std::vector<Group>{{"real/docs/a.txt", "real/docs/b.txt"}}));
    uint64_t checked = 0;
    for (const auto& [path, file] : recordsOf(report)) {
        EXPECT_FALSE(file->refusesRemoval()) << path;
        checked += file->isChecked();
    }
    EXPECT_EQ(checked, 1u);
}

TEST_F(OutsideFiles, ALinkIntoAnotherChosenFolderIsInside) {
    dir.write("one/a.txt", "same");
    dir.write("two/b.txt", "same");
    dir.symlink(dir / "two/b.txt", "one/to-b.txt");
    ScanReport report = scan({dir / "one", dir / "two"});
    EXPECT_EQ(groupsOf(report, base), (std::vector<Group>{{"one/a.txt", "two/b.txt"}}));
    for (const auto& [path, file] : recordsOf(report)) EXPECT_FALSE(file->refusesRemoval()) << path;
}

}  // namespace
