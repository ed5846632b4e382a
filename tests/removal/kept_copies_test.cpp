// The last copy is never removed: the snapshot of the kept files taken before a run,
// judged against the disk as it is when each checked file comes up.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "RemovalRunSupport.h"
#include "TWKeptCopies.h"
#include "TWPreferenceTypes.h"
#include "TestSupport.h"

namespace {

using removaltest::groupOf;
using removaltest::recordOf;

class KeptCopiesTest : public ::testing::Test {
protected:
    twtest::TempDir dir;
    TWKeptCopies snapshot(const std::vector<TWDuplicateFile::Ptr>& groups, int64_t mode = TWSearchModeContent) {
        return TWKeptCopies::snapshotOfGroups(groups, mode);
    }
    std::string package(const std::string& name, const std::string& identifier) {
        return dir.write(name + "/Contents/Info.plist",
                         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                         "<key>CFBundleIdentifier</key><string>" +
                             identifier + "</string></dict></plist>\n");
    }
};

TEST_F(KeptCopiesTest, AnExactCopyGoesOnlyWhileAKeptFileHasItsContentNow) {
    auto kept = recordOf(dir.write("kept.txt", "same"));
    auto copy = recordOf(dir.write("copy.txt", "same"));
    auto changed = recordOf(dir.write("changed.txt", "same"));
    auto copies = snapshot({groupOf({{kept, false}, {copy, true}, {changed, true}})});
    dir.write("changed.txt", "edit");  // changed after the scan, same size
    EXPECT_TRUE(copies.mayDispose(*copy));
    const tw::Status status = copies.mayDispose(*changed);
    EXPECT_FALSE(status);
    EXPECT_EQ(status.path, changed->filePath());
}

TEST_F(KeptCopiesTest, GroupsThatWouldLoseTheirLastCopyAreRefused) {
    // The kept copy was deleted after the scan.
    auto gone = recordOf(dir.write("g/kept.txt", "x"));
    auto orphan = recordOf(dir.write("g/copy.txt", "x"));
    // Every file checked by hand.
    auto all1 = recordOf(dir.write("a/1.txt", "y"));
    auto all2 = recordOf(dir.write("a/2.txt", "y"));
    // Two links to one file are not two copies.
    auto link1 = recordOf(dir.write("l/one.txt", "z"));
    auto link2 = recordOf(dir.hardlink("l/one.txt", "l/two.txt"));
    auto copies = snapshot({groupOf({{gone, false}, {orphan, true}}), groupOf({{all1, true}, {all2, true}}),
                            groupOf({{link1, false}, {link2, true}})});
    ASSERT_EQ(unlink(gone->filePath().c_str()), 0);
    EXPECT_FALSE(copies.mayDispose(*orphan));
    EXPECT_FALSE(copies.mayDispose(*all1));
    EXPECT_FALSE(copies.mayDispose(*all2));
    EXPECT_FALSE(copies.mayDispose(*link2));
    EXPECT_FALSE(copies.mayDispose(*recordOf(dir.write("never-checked.txt", "x"))));
}

TEST_F(KeptCopiesTest, EachKeptFileIsReadOnceAndOnlyWhenSizesAgree) {
    auto kept = recordOf(dir.write("kept.bin", "content"));
    auto bigger = recordOf(dir.write("bigger.bin", "content"));
    std::vector<std::pair<removaltest::FilePtr, bool>> members{{kept, false}, {bigger, true}};
    for (int i = 0; i < 4; ++i) members.push_back({recordOf(dir.write("c" + std::to_string(i), "content")), true});
    auto copies = snapshot({groupOf(members)});
    dir.write("bigger.bin", "content grown");
    EXPECT_FALSE(copies.mayDispose(*bigger));
    EXPECT_EQ(copies.keptContentReads(), 0u);
    for (size_t i = 2; i < members.size(); ++i) EXPECT_TRUE(copies.mayDispose(*members[i].first));
    EXPECT_EQ(copies.keptContentReads(), 1u);
}

TEST_F(KeptCopiesTest, SimilarAndNameGroupsNeedTheKeptFileOfTheSnapshot) {
    auto keptImage = recordOf(dir.write("i/a.png", "one picture"));
    auto likeImage = recordOf(dir.write("i/b.png", "a similar picture"));
    auto keptNamed = recordOf(dir.write("n1/notes.txt", "abc"));
    auto sameName = recordOf(dir.write("n2/notes.txt", "xyz"));
    auto similar = groupOf({{keptImage, false}, {likeImage, true}}, true);
    auto byName = groupOf({{keptNamed, false}, {sameName, true}});
    auto copies = snapshot({similar, byName}, TWSearchModeName);
    EXPECT_TRUE(copies.mayDispose(*likeImage));
    EXPECT_TRUE(copies.mayDispose(*sameName));

    // The kept file replaced by another file under its name no longer vouches.
    auto replaced = snapshot({similar}, TWSearchModeName);
    // (made before the old one goes, so that its inode number cannot be reused)
    const std::string other = dir.write("i/other.png", "something else");
    ASSERT_EQ(rename(other.c_str(), keptImage->filePath().c_str()), 0);
    EXPECT_FALSE(replaced.mayDispose(*likeImage));
    // In content mode the same name is no copy.
    EXPECT_FALSE(snapshot({byName}, TWSearchModeContent).mayDispose(*sameName));
}

TEST_F(KeptCopiesTest, APackageGoesWhileAKeptPackageHasItsBundleIdentity) {
    package("one/Tool.app", "org.example.tool");
    package("two/Tool.app", "org.example.tool");
    package("three/Tool.app", "org.example.other");
    auto kept = TWApplicationUtility::initWithPath(dir / "one/Tool.app");
    auto copy = TWApplicationUtility::initWithPath(dir / "two/Tool.app");
    auto other = TWApplicationUtility::initWithPath(dir / "three/Tool.app");
    ASSERT_EQ(kept->fileType(), TWFileTypePackage);
    EXPECT_TRUE(snapshot({groupOf({{kept, false}, {copy, true}})}).mayDispose(*copy));
    EXPECT_FALSE(snapshot({groupOf({{kept, false}, {other, true}})}).mayDispose(*other));
}

}  // namespace
