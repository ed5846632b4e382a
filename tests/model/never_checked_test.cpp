// Files that no removal may touch (outside the chosen folders, inside an overlay's layer
// folder) are never checked: not by any rule, not by hand; their groups keep them.

#include <gtest/gtest.h>

#include "GroupTestSupport.h"
#include "TWDuplicateFile.h"
#include "TestSupport.h"

using namespace grouptest;

namespace {

class NeverCheckedTest : public ::testing::Test {
protected:
    twtest::ScopedDefaults defaults;
    twtest::TempDir dir;
};

TEST_F(NeverCheckedTest, RulesChooseAsBeforeButNeverCheckAFileOutsideTheChosenFolders) {
    for (int32_t method = TWCheckMethodSmartName; method <= TWCheckMethodLowResolution; ++method) {
        for (size_t outsideAt = 0; outsideAt < 3; ++outsideAt) {
            const std::string sub = std::to_string(method) + "-" + std::to_string(outsideAt);
            const std::vector<std::string> paths = {dir.write(sub + "/x/same.txt", "same"),
                                                    dir.write(sub + "/y/same copy.txt", "same"),
                                                    dir.write(sub + "/z/same.txt", "same")};
            std::vector<FilePtr> plain, marked;
            for (const auto& path : paths) {
                plain.push_back(TWFileUtility::initWithPath(path));
                marked.push_back(TWFileUtility::initWithPath(path));
            }
            marked[outsideAt]->markOutsideChosenFolders(dir / (sub + "/link.txt"));
            auto before = groupOf(plain);
            auto after = groupOf(marked);
            before->smartCheckedByMethod(method);
            after->smartCheckedByMethod(method);
            SCOPED_TRACE("rule " + std::to_string(method) + ", outside file at " + std::to_string(outsideAt));
            uint64_t checked = 0;
            for (size_t i = 0; i < 3; ++i) {
                EXPECT_EQ(marked[i]->isChecked(), plain[i]->isChecked() && i != outsideAt) << i;
                checked += marked[i]->isChecked();
            }
            EXPECT_EQ(after->numberOfFiles(), 3u);
            EXPECT_EQ(after->numberOfChecked(), checked);
            EXPECT_EQ(after->sizeOfChecked(), checked * 4);
        }
    }
}

TEST_F(NeverCheckedTest, WhereTheRuleWouldCheckIt_TheGroupKeepsTwo) {
    // The size rule keeping the smallest checks both larger files; one lies in a layer.
    FilePtr small = fileWith(dir, "a/small.txt", "1");
    FilePtr layer = fileWith(dir, "b/large.txt", "22");
    FilePtr large = fileWith(dir, "c/large.txt", "22");
    layer->markInsideOverlayLayer();
    auto group = groupOf({small, layer, large});
    group->smartCheckBySize(true);
    EXPECT_EQ(uncheckedOf(*group), (std::vector<FilePtr>{small, layer}));
    EXPECT_EQ(group->numberOfChecked(), 1u);
    EXPECT_EQ(group->sizeOfChecked(), 2u);
}

TEST_F(NeverCheckedTest, SetCheckedRefusesItAndTheCountersStay) {
    FilePtr kept = fileWith(dir, "a/f.txt", "same");
    FilePtr outside = fileWith(dir, "b/f.txt", "same");
    outside->markOutsideChosenFolders(dir / "a/link.txt");
    auto similar = groupOf({kept, outside}, true);
    similar->setChecked(true, 1);
    EXPECT_FALSE(outside->isChecked());
    EXPECT_EQ(similar->numberOfChecked(), 0u);
    outside->setIsChecked(true);  // the record itself refuses too
    EXPECT_FALSE(outside->isChecked());
    // An exact sub-group made of the same records refuses as well.
    for (const auto& exact : similar->duplicateFilesExcludingSimilar()) {
        exact->setChecked(true, exact->indexOfFileUtility(outside));
        exact->smartCheckedByMethod(TWCheckMethodSmartName);
    }
    EXPECT_FALSE(outside->isChecked());
    similar->setChecked(true, 0);
    EXPECT_TRUE(kept->isChecked()) << "other members are checked as ever";
    EXPECT_EQ(outside->linkPath(), dir / "a/link.txt");
    EXPECT_EQ(kept->linkPath(), "");
}

}  // namespace
