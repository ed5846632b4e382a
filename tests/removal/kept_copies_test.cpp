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
    twtest::ScopedDefaults defaults;  // the exact sub-groups read the matching settings
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
    ASSERT_TRUE(removaltest::waitUntilSettled(kept->filePath()));  // else each check reads it again
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

// An exact copy of a picture (its twin kept in the same similar group) never rests on a
// kept look-alike: once its twin is gone or holds another picture, it stays.
TEST_F(KeptCopiesTest, AnExactCopyOfAPictureNeverRestsOnALookAlike) {
    const std::string picture = twtest::randomBytes(9000, 1);
    for (const char* change : {"deleted", "overwritten"}) {
        SCOPED_TRACE(change);
        const std::string folder = std::string(change) + "/";
        auto twin = recordOf(dir.write(folder + "twin.png", picture));
        auto copy = recordOf(dir.write(folder + "copy.png", picture));
        auto alike = recordOf(dir.write(folder + "alike.png", twtest::randomBytes(8000, 2)));
        auto group = groupOf({{twin, false}, {copy, true}, {alike, false}}, true);
        EXPECT_TRUE(snapshot({group}).mayDispose(*copy));
        auto copies = snapshot({group});
        if (std::string(change) == "deleted")
            ASSERT_EQ(unlink(twin->filePath().c_str()), 0);
        else
            removaltest::overwriteInPlace(twin->filePath(), twtest::randomBytes(9000, 3));
        const tw::Status status = copies.mayDispose(*copy);
        EXPECT_FALSE(status);
        EXPECT_NE(status.reason.find("no kept file of its group has its content now"), std::string::npos)
            << status.reason;
    }
}

// A merely similar picture rests on a kept look-alike only while that is the very file
// the scan saw.
TEST_F(KeptCopiesTest, AMerelySimilarPictureNeedsTheLookAlikeAsItWasScanned) {
    auto kept = recordOf(dir.write("kept.png", twtest::randomBytes(5000, 4)));
    auto alike = recordOf(dir.write("alike.png", twtest::randomBytes(6000, 5)));
    auto group = groupOf({{kept, false}, {alike, true}}, true);
    EXPECT_TRUE(snapshot({group}).mayDispose(*alike));
    auto copies = snapshot({group});
    ASSERT_TRUE(removaltest::waitUntilSettled(kept->filePath()));
    removaltest::overwriteInPlace(kept->filePath(), twtest::randomBytes(5000, 6));  // same inode and size
    EXPECT_FALSE(copies.mayDispose(*alike));
}

// The file acted on must be the one the scan saw, in every kind of group: a file put in
// its place (here with the very same content or bundle) is not it.
TEST_F(KeptCopiesTest, ACheckedFileReplacedAfterTheScanStaysInEveryKindOfGroup) {
    const auto replace = [&](const std::string& path, const std::string& content) {
        const std::string fresh = dir.write("fresh.tmp", content);
        ASSERT_EQ(rename(fresh.c_str(), path.c_str()), 0);
    };
    auto exactKept = recordOf(dir.write("e/a.txt", "same words"));
    auto exactCopy = recordOf(dir.write("e/b.txt", "same words"));
    auto imageKept = recordOf(dir.write("i/a.png", "one picture"));
    auto imageAlike = recordOf(dir.write("i/b.png", "a similar picture"));
    auto namedKept = recordOf(dir.write("n1/notes.txt", "abc"));
    auto namedCopy = recordOf(dir.write("n2/notes.txt", "abc"));
    package("p1/Tool.app", "org.example.tool");
    package("p2/Tool.app", "org.example.tool");
    auto packageKept = TWApplicationUtility::initWithPath(dir / "p1/Tool.app");
    auto packageCopy = TWApplicationUtility::initWithPath(dir / "p2/Tool.app");
    auto exact = groupOf({{exactKept, false}, {exactCopy, true}});
    auto similar = groupOf({{imageKept, false}, {imageAlike, true}}, true);
    auto named = groupOf({{namedKept, false}, {namedCopy, true}});
    auto packages = groupOf({{packageKept, false}, {packageCopy, true}});
    auto content = snapshot({exact, similar, packages});
    auto byName = snapshot({named}, TWSearchModeName);

    replace(exactCopy->filePath(), "same words");
    replace(imageAlike->filePath(), "a similar picture");
    replace(namedCopy->filePath(), "abc");
    ASSERT_EQ(rename((dir / "p2/Tool.app").c_str(), (dir / "p2/Old.app").c_str()), 0);
    package("p2/Tool.app", "org.example.tool");
    for (const TWFileUtility* file :
         {exactCopy.get(), imageAlike.get(), static_cast<TWFileUtility*>(packageCopy.get())}) {
        const tw::Status status = content.mayDispose(*file);
        EXPECT_FALSE(status) << file->filePath();
        EXPECT_EQ(status.reason, "it was replaced after the scan");
    }
    EXPECT_FALSE(byName.mayDispose(*namedCopy));
}

// Each kept copy is read in the run, and read again whenever it changed: an edit in place
// (same size, right after the read) stops every removal that would rest on it.
TEST_F(KeptCopiesTest, AKeptCopyEditedInPlaceStopsTheCopiesThatFollow) {
    const std::string content = twtest::randomBytes(20000, 7);
    auto kept = recordOf(dir.write("kept.bin", content));
    std::vector<std::pair<removaltest::FilePtr, bool>> members{{kept, false}};
    for (int i = 0; i < 3; ++i) members.push_back({recordOf(dir.write("c" + std::to_string(i), content)), true});
    auto copies = snapshot({groupOf(members)});
    EXPECT_TRUE(copies.mayDispose(*members[1].first));
    std::string edited = content;
    edited[10000] ^= 0x20;
    removaltest::overwriteInPlace(kept->filePath(), edited);
    EXPECT_FALSE(copies.mayDispose(*members[2].first));
    removaltest::overwriteInPlace(kept->filePath(), content);  // back as it was: a copy again
    EXPECT_TRUE(copies.mayDispose(*members[3].first));
}

// An overlay mounted with relative layer folders (from a shell in their parent folder)
// does not say where its layers are: a kept file of its merged view may be the checked
// file itself, seen again, so it vouches only for files inside the same mount.
TEST_F(KeptCopiesTest, AFileOfAnOverlayWithUnknownLayersVouchesOnlyInsideItsMount) {
    auto lower = recordOf(dir.write("lower/a.txt", "only copy"));
    auto merged = recordOf(dir.write("merged/a.txt", "only copy"));  // stands for the merged view
    auto mergedTwin = recordOf(dir.write("merged/b.txt", "only copy"));
    auto other = recordOf(dir.write("other/a.txt", "only copy"));
    TWKeptCopies::Policy policy;
    policy.overlaysWithUnplacedLayers = {dir / "merged"};
    auto outside = TWKeptCopies::snapshotOfGroups({groupOf({{merged, false}, {lower, true}})}, policy);
    const tw::Status status = outside.mayDispose(*lower);
    EXPECT_FALSE(status);
    EXPECT_NE(status.reason.find("mounted overlay whose layer folders are not known"), std::string::npos);
    // A kept file outside the overlay still vouches for a file inside it or outside it,
    // and one inside vouches for another inside.
    auto mergedCopy = recordOf(dir.write("merged/c.txt", "only copy"));
    auto mixed = TWKeptCopies::snapshotOfGroups(
        {groupOf({{other, false}, {merged, true}, {lower, true}}), groupOf({{mergedTwin, false}, {mergedCopy, true}})},
        policy);
    EXPECT_TRUE(mixed.mayDispose(*lower));
    EXPECT_TRUE(mixed.mayDispose(*merged));
    EXPECT_TRUE(mixed.mayDispose(*mergedCopy));
    policy.overlaysWithUnplacedLayers.clear();
    auto known = TWKeptCopies::snapshotOfGroups({groupOf({{merged, false}, {lower, true}})}, policy);
    EXPECT_TRUE(known.mayDispose(*lower));
}

// With the full-content check a package goes only while a kept package has its whole
// tree, and while its own tree is the one the scan compared.
TEST_F(KeptCopiesTest, APackageGoesOnlyWhileAKeptPackageHasItsWholeTree) {
    for (const char* root : {"a/Tool.app", "b/Tool.app", "c/Tool.app"}) {
        package(root, "org.example.tool");
        dir.write(std::string(root) + "/Contents/MacOS/tool", "build one");
    }
    dir.write("c/Tool.app/Contents/MacOS/tool", "build two");  // same Info.plist and size
    auto a = TWApplicationUtility::initWithPath(dir / "a/Tool.app");
    auto b = TWApplicationUtility::initWithPath(dir / "b/Tool.app");
    auto c = TWApplicationUtility::initWithPath(dir / "c/Tool.app");
    ASSERT_TRUE(b->treeDigest());  // as the scan compared it
    EXPECT_TRUE(snapshot({groupOf({{a, false}, {b, true}})}).mayDispose(*b));
    EXPECT_FALSE(snapshot({groupOf({{a, false}, {c, true}})}).mayDispose(*c));

    auto copies = snapshot({groupOf({{a, false}, {b, true}})});
    removaltest::overwriteInPlace(dir / "b/Tool.app/Contents/MacOS/tool", "build 1ne");
    EXPECT_FALSE(copies.mayDispose(*b));
    removaltest::overwriteInPlace(dir / "b/Tool.app/Contents/MacOS/tool", "build one");
    EXPECT_TRUE(copies.mayDispose(*b));
    removaltest::overwriteInPlace(dir / "a/Tool.app/Contents/MacOS/tool", "build 1ne");
    EXPECT_FALSE(copies.mayDispose(*b));
}

}  // namespace
