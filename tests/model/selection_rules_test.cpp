#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "GroupTestSupport.h"
#include "TWCategoryFiles.h"
#include "TWDuplicateFile.h"
#include "TWPreference.h"
#include "TWPrivilegeFolder.h"
#include "TestSupport.h"

using namespace grouptest;

namespace {

class SelectionRulesTest : public ::testing::Test {
protected:
    // The file kept by `method` over files named `names`, each in a folder of its own.
    FilePtr keptByName(const std::vector<std::string>& names) {
        std::vector<FilePtr> files;
        for (size_t i = 0; i < names.size(); ++i) {
            files.push_back(fileWith(dir, "n" + std::to_string(counter++) + "/" + names[i] + ".txt", "x"));
        }
        auto group = groupOf(files);
        group->smartCheckedByMethod(TWCheckMethodSmartName);
        auto kept = uncheckedOf(*group);
        EXPECT_EQ(kept.size(), 1u);
        return kept.empty() ? nullptr : kept[0];
    }
    std::string keptName(const std::vector<std::string>& names) {
        FilePtr kept = keptByName(names);
        return kept ? kept->fileName() : "";
    }
    // The index in `files` of the one member that `method` leaves unchecked.
    static size_t keptIndex(const std::vector<FilePtr>& files, int32_t method) {
        auto group = groupOf(files);
        group->smartCheckedByMethod(method);
        auto kept = uncheckedOf(*group);
        EXPECT_EQ(kept.size(), 1u);
        if (kept.empty()) return SIZE_MAX;
        return static_cast<size_t>(std::find(files.begin(), files.end(), kept[0]) - files.begin());
    }

    twtest::ScopedDefaults defaults;
    twtest::TempDir dir;
    int counter = 0;
};

TEST_F(SelectionRulesTest, NameRuleKeepsTheShortestName) {
    EXPECT_EQ(keptName({"Report copy", "Report", "Report 2"}), "Report");
    EXPECT_EQ(keptName({"2", "10"}), "2");
}

TEST_F(SelectionRulesTest, NameRuleAtEqualLengthsPrefersTheLastSortingName) {
    EXPECT_EQ(keptName({"photo 1", "photo 2"}), "photo 2");
    EXPECT_EQ(keptName({"photo 2", "photo 1"}), "photo 2");
    EXPECT_EQ(keptName({"IMG_0001", "IMG_0002"}), "IMG_0002");
    EXPECT_EQ(keptName({"Zeta", "alfa"}), "alfa") << "by character code: lower case sorts after capitals";
}

TEST_F(SelectionRulesTest, NameRuleAtEqualLengthsPrefersTheSmallerLeadingNumber) {
    EXPECT_EQ(keptName({"12", "11"}), "11");
    EXPECT_EQ(keptName({" 9a", "-3b"}), "-3b") << "white space skipped, sign read";
    EXPECT_EQ(keptName({"0a", "0b"}), "0b") << "a zero number falls back to the name order";
    // Beyond 64 bits both saturate to the same value, so the later file is kept.
    FilePtr later = keptByName({"99999999999999999999", "99999999999999999998"});
    EXPECT_EQ(later->fileName(), "99999999999999999998");
}

TEST_F(SelectionRulesTest, NameRuleOnEqualNumbersKeepsTheLaterAndOnEqualNamesTheEarlier) {
    FilePtr first = fileWith(dir, "one/7.txt", "x"), second = fileWith(dir, "two/7.txt", "x");
    EXPECT_EQ(keptIndex({first, second}, TWCheckMethodSmartName), 1u);
    FilePtr word1 = fileWith(dir, "one/same.txt", "x"), word2 = fileWith(dir, "two/same.txt", "x");
    EXPECT_EQ(keptIndex({word1, word2}, TWCheckMethodSmartName), 0u);
}

TEST_F(SelectionRulesTest, NameLengthsCountUtf16Units) {
    // "é" is two bytes but one unit; "😀" is four bytes and two units.
    EXPECT_EQ(keptName({"abc", "é"}), "é");
    EXPECT_EQ(keptName({"😀", "abc"}), "😀");
    EXPECT_EQ(keptName({"abc", "😀"}), "😀");
}

TEST_F(SelectionRulesTest, TimeRulesKeepTheEarliestOrTheLatest) {
    // Made in the order 09:00, 10:00, 11:00 and grouped as 10:00, 09:00, 11:00.
    auto made = filesInCreationOrder(dir, {"nine", "ten", "eleven"});
    std::vector<FilePtr> files = {made[1], made[0], made[2]};
    EXPECT_EQ(keptIndex(files, TWCheckMethodNewer), 1u);
    EXPECT_EQ(keptIndex(files, TWCheckMethodOlder), 2u);

    FilePtr twin = TWFileUtility::initWithPath(dir.hardlink("ten", "ten-twin"));
    EXPECT_EQ(keptIndex({made[1], twin}, TWCheckMethodNewer), 0u) << "equal times keep the earlier file";
    EXPECT_EQ(keptIndex({made[1], twin}, TWCheckMethodOlder), 0u);
}

TEST_F(SelectionRulesTest, TimeRulesNeverKeepAnUndatedFileBesideADatedOne) {
    auto made = filesInCreationOrder(dir, {"early", "late"});
    FilePtr undated = missingFile(dir, "vanished");
    for (int32_t method : {TWCheckMethodNewer, TWCheckMethodOlder}) {
        EXPECT_EQ(keptIndex({undated, made[0], made[1]}, method), method == TWCheckMethodNewer ? 1u : 2u);
        EXPECT_EQ(keptIndex({made[0], undated, made[1]}, method), method == TWCheckMethodNewer ? 0u : 2u);
        EXPECT_EQ(keptIndex({made[1], made[0], undated}, method), method == TWCheckMethodNewer ? 1u : 0u);
        EXPECT_EQ(keptIndex({undated, missingFile(dir, "other")}, method), 0u);
    }
}

TEST_F(SelectionRulesTest, SizeRulesKeepTheFirstSmallestOrLargest) {
    std::vector<FilePtr> small = {fileOfSize(dir, "a", 300), fileOfSize(dir, "b", 100), fileOfSize(dir, "c", 100)};
    EXPECT_EQ(keptIndex(small, TWCheckMethodHighQuality), 1u);
    std::vector<FilePtr> large = {fileOfSize(dir, "d", 100), fileOfSize(dir, "e", 300), fileOfSize(dir, "f", 300)};
    EXPECT_EQ(keptIndex(large, TWCheckMethodLowerQuality), 1u);
}

TEST_F(SelectionRulesTest, ResolutionRules) {
    std::vector<FilePtr> equal = {imageOfSize(dir, "a.png", 40, 30), imageOfSize(dir, "b.png", 40, 30)};
    EXPECT_EQ(keptIndex(equal, TWCheckMethodHighResolution), 0u);
    EXPECT_EQ(keptIndex(equal, TWCheckMethodLowResolution), 1u);

    std::vector<FilePtr> mixed = {imageOfSize(dir, "c.png", 40, 30), imageOfSize(dir, "d.png", 80, 10),
                                  imageOfSize(dir, "e.png", 40, 20)};
    EXPECT_EQ(keptIndex(mixed, TWCheckMethodHighResolution), 2u);
    EXPECT_EQ(keptIndex(mixed, TWCheckMethodLowResolution), 1u);

    // No resolution known: the high rule keeps the first, the low rule the last.
    std::vector<FilePtr> unknown = {fileOfSize(dir, "g.txt", 5), fileOfSize(dir, "h.txt", 5),
                                    fileOfSize(dir, "i.txt", 5)};
    EXPECT_EQ(keptIndex(unknown, TWCheckMethodHighResolution), 0u);
    EXPECT_EQ(keptIndex(unknown, TWCheckMethodLowResolution), 2u);
}

// A PNG of the given size followed by `tail`: the header (and so the resolution) is the
// same, the file's bytes and size are not.
FilePtr pictureWithTail(const twtest::TempDir& dir, const std::string& relative, int width, int height,
                        const std::string& tail) {
    gdImagePtr image = gdImageCreateTrueColor(width, height);
    std::string bytes = twtest::pngBytesOf(image);
    gdImageDestroy(image);
    return fileWith(dir, relative, bytes + tail);
}

TEST_F(SelectionRulesTest, BestPictureKeepsTheHighestResolutionThenTheLargestFile) {
    // A camera original among smaller re-encoded copies, wherever it stands in the list and
    // although a smaller copy is the larger file.
    std::vector<FilePtr> copies = {pictureWithTail(dir, "small.png", 40, 30, std::string(4000, 'x')),
                                   pictureWithTail(dir, "original.png", 80, 60, ""),
                                   pictureWithTail(dir, "half.png", 60, 45, "")};
    EXPECT_EQ(keptIndex(copies, TWCheckMethodBestPicture), 1u);
    // Equal resolutions: the larger file.
    std::vector<FilePtr> sizes = {pictureWithTail(dir, "q60.png", 50, 50, "a"),
                                  pictureWithTail(dir, "q90.png", 50, 50, "abcdef"),
                                  pictureWithTail(dir, "q40.png", 50, 50, "")};
    EXPECT_EQ(keptIndex(sizes, TWCheckMethodBestPicture), 1u);
    // Equal resolutions and sizes, different bytes: the duplicate-files rule (smart name
    // keeps the shorter name).
    std::vector<FilePtr> ties = {pictureWithTail(dir, "photo copy.png", 50, 50, "AA"),
                                 pictureWithTail(dir, "photo.png", 50, 50, "BB")};
    EXPECT_EQ(keptIndex(ties, TWCheckMethodBestPicture), 1u);
    TWPreference::shared().setCheckMethodForDuplicateFiles(TWCheckMethodNewer);  // keeps the oldest
    EXPECT_EQ(keptIndex(ties, TWCheckMethodBestPicture), 0u);
}

TEST_F(SelectionRulesTest, BestPictureOnByteIdenticalCopiesIsTheDuplicateFilesRule) {
    std::vector<FilePtr> same = filesInCreationOrder(dir, {"b/x.png", "a/x.png", "c/x copy.png"});
    TWPreference::shared().setCheckMethodForDuplicateFiles(TWCheckMethodOlder);  // keeps the newest
    EXPECT_EQ(keptIndex(same, TWCheckMethodBestPicture), 2u);
    TWPreference::shared().setCheckMethodForDuplicateFiles(TWCheckMethodSmartName);
    EXPECT_EQ(keptIndex(same, TWCheckMethodBestPicture), keptIndex(same, TWCheckMethodSmartName));
    // A stored duplicate-files rule that is no such rule counts as the smart-name rule.
    TWPreference::shared().setCheckMethodForDuplicateFiles(6);
    EXPECT_EQ(keptIndex(same, TWCheckMethodBestPicture), keptIndex(same, TWCheckMethodSmartName));
}

TEST_F(SelectionRulesTest, FolderPrivilegeRuleKeepsAFileOutsideEveryGrantedFolder) {
    const std::string granted = dir.mkdir("granted");
    TWPreference::shared().addPrivilegeFolder(granted);
    auto grants = TWPreference::shared().foldersPrivilege();
    ASSERT_EQ(grants.size(), 1u);
    grants[0]->setPrivilege(2);
    FilePtr inside = fileOfSize(dir, "granted/a", 10);
    FilePtr outside = fileOfSize(dir, "elsewhere/a", 10);
    ASSERT_EQ(inside->privilege(), 2);
    ASSERT_EQ(outside->privilege(), -1);
    EXPECT_EQ(keptIndex({inside, outside}, TWCheckMethodFolderPrivilege), 1u);
    EXPECT_EQ(keptIndex({outside, inside}, TWCheckMethodFolderPrivilege), 0u);
}

TEST_F(SelectionRulesTest, UnknownMethodsChangeNothingAndTinyGroupsEndUnchecked) {
    FilePtr a = fileOfSize(dir, "a", 10), b = fileOfSize(dir, "b", 10);
    a->setIsChecked(true);
    auto group = groupOf({a, b});
    group->smartCheckedByMethod(9);
    group->smartCheckedByMethod(-1);
    EXPECT_TRUE(a->isChecked());
    EXPECT_EQ(group->numberOfChecked(), 1u);

    auto single = TWDuplicateFile::initWithFile(a);
    single->smartCheckedByMethod(TWCheckMethodLowerQuality);
    EXPECT_FALSE(a->isChecked());
    EXPECT_EQ(single->numberOfChecked(), 0u);
    EXPECT_EQ(single->sizeOfChecked(), 0u);

    auto empty = TWDuplicateFile::initWithFile(a);
    empty->removeFile(a);
    empty->smartCheckedByName();
    EXPECT_EQ(empty->numberOfChecked(), 0u);
}

TEST_F(SelectionRulesTest, ARuleOnASubgroupMovesTheParentAndTheCategoryTotals) {
    const std::string pixels = twtest::randomBytes(500, 11);
    FilePtr a = fileWith(dir, "a.jpg", pixels), b = fileWith(dir, "bb.jpg", pixels);
    FilePtr other = fileOfSize(dir, "c.jpg", 700, 12);
    auto similar = groupOf({a, other, b}, true);
    auto images = TWCategoryFiles::initWithCategory(TWCategory_images);
    images->addDuplicateFile(similar);
    auto view = images->duplicateFilesExcludingSimilar();
    ASSERT_EQ(view.size(), 1u);

    view[0]->smartCheckedByMethod(TWCheckMethodSmartName);  // keeps "a", checks "bb"
    EXPECT_TRUE(b->isChecked());
    EXPECT_EQ(similar->numberOfChecked(), 1u);
    EXPECT_EQ(similar->sizeOfChecked(), 500u);
    EXPECT_EQ(images->numberOfFilesCheckedToRemoved(), 1u);
    EXPECT_EQ(images->sizeOfFilesCheckedToRemoved(), 500u);
}

// Every rule, on many random groups with random prior flags, leaves exactly one member
// unchecked, counts the others, and keeps a member that is best by the rule's measure.
TEST_F(SelectionRulesTest, EveryRuleKeepsExactlyOneFileOnRandomGroups) {
    const std::string granted = dir.mkdir("g");
    TWPreference::shared().addPrivilegeFolder(granted + "/1");
    TWPreference::shared().addPrivilegeFolder(granted + "/2");
    auto grants = TWPreference::shared().foldersPrivilege();
    ASSERT_EQ(grants.size(), 2u);
    grants[0]->setPrivilege(3);
    grants[1]->setPrivilege(0);

    std::mt19937 random(20240611);
    const std::vector<std::string> parts = {"a", "B", "7", " ", "-", "é", "12", "copy", "😀", "0"};
    const std::vector<std::string> folders = {"g/1", "g/2", "plain"};
    std::vector<FilePtr> pool;
    for (int i = 0; i < 160; ++i) {
        std::string name;
        for (int k = static_cast<int>(random() % 3) + 1; k > 0; --k) name += parts[random() % parts.size()];
        const std::string relative = folders[random() % folders.size()] + "/" + std::to_string(i) + "/" + name;
        if (random() % 10 == 0) {
            pool.push_back(missingFile(dir, relative));
        } else {
            pool.push_back(fileOfSize(dir, relative, random() % 64, static_cast<unsigned>(i)));
        }
    }

    for (int round = 0; round < 300; ++round) {
        std::vector<FilePtr> files;
        std::sample(pool.begin(), pool.end(), std::back_inserter(files), random() % 8 + 1, random);
        std::shuffle(files.begin(), files.end(), random);
        for (const FilePtr& f : files) f->setIsChecked(random() % 2);
        auto group = groupOf(files);
        const int32_t method = static_cast<int32_t>(round % 9);
        group->smartCheckedByMethod(method);

        auto kept = uncheckedOf(*group);
        ASSERT_EQ(kept.size(), 1u) << "method " << method << " round " << round;
        const uint64_t all = std::accumulate(files.begin(), files.end(), uint64_t{0},
                                             [](uint64_t s, const FilePtr& f) { return s + f->fileSize(); });
        EXPECT_EQ(group->numberOfChecked(), files.size() - 1);
        EXPECT_EQ(group->sizeOfChecked(), all - kept[0]->fileSize());

        auto best = [&](auto key, bool smallest) {
            auto pick = std::minmax_element(files.begin(), files.end(),
                                            [&](const FilePtr& x, const FilePtr& y) { return key(x) < key(y); });
            return key(smallest ? *pick.first : *pick.second);
        };
        auto size = [](const FilePtr& f) { return f->fileSize(); };
        auto privilege = [](const FilePtr& f) { return f->privilege(); };
        if (method == TWCheckMethodHighQuality) {
            EXPECT_EQ(size(kept[0]), best(size, true));
        } else if (method == TWCheckMethodLowerQuality) {
            EXPECT_EQ(size(kept[0]), best(size, false));
        } else if (method == TWCheckMethodFolderPrivilege) {
            EXPECT_EQ(privilege(kept[0]), best(privilege, true));
        } else if (method == TWCheckMethodNewer || method == TWCheckMethodOlder) {
            const bool anyDated =
                std::any_of(files.begin(), files.end(), [](const FilePtr& f) { return f->createTime().has_value(); });
            ASSERT_EQ(kept[0]->createTime().has_value(), anyDated);
            for (const FilePtr& f : files) {
                if (!anyDated || !f->createTime()) continue;
                if (method == TWCheckMethodNewer) {
                    EXPECT_LE(*kept[0]->createTime(), *f->createTime());
                } else {
                    EXPECT_GE(*kept[0]->createTime(), *f->createTime());
                }
            }
        }
    }
}

}  // namespace
