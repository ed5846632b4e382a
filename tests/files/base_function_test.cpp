#include <gtest/gtest.h>

#include "TestSupport.h"
#include "files/TWBaseFunction.h"

namespace {

TEST(BaseFunction, ContainmentFollowsTheFileSystem) {
    twtest::TempDir dir;
    std::string a = dir.mkdir("a");
    std::string sibling = dir.mkdir("ab");
    std::string file = dir.write("a/b/c/file.txt", "x");
    std::string siblingFile = dir.write("ab/file.txt", "x");
    EXPECT_TRUE(TWBaseFunction::pathIsParentOfPath(a, file));
    EXPECT_TRUE(TWBaseFunction::pathIsParentOfPath(dir.path(), file));
    EXPECT_TRUE(TWBaseFunction::pathIsParentOfPath(a, dir / "a/b"));
    EXPECT_TRUE(TWBaseFunction::pathIsParentOfPath(a + "/", file));
    EXPECT_FALSE(TWBaseFunction::pathIsParentOfPath(a, a));  // not its own parent
    EXPECT_FALSE(TWBaseFunction::pathIsParentOfPath(a, siblingFile));
    EXPECT_FALSE(TWBaseFunction::pathIsParentOfPath(file, file));
    EXPECT_FALSE(TWBaseFunction::pathIsParentOfPath(dir / "a/b", a));
    EXPECT_FALSE(TWBaseFunction::pathIsParentOfPath(sibling, file));
}

TEST(BaseFunction, LinksAreResolvedOnBothSides) {
    twtest::TempDir dir;
    std::string a = dir.mkdir("a");
    std::string file = dir.write("a/b/file.txt", "x");
    std::string linkedFolder = dir.symlink(a, "other/alias");
    // The same folder under another name still contains the file...
    EXPECT_TRUE(TWBaseFunction::pathIsParentOfPath(linkedFolder, file));
    // ...and a path through a link lies where the link leads, not where it is.
    std::string throughLink = dir / "other/alias/b/file.txt";
    EXPECT_TRUE(TWBaseFunction::pathIsParentOfPath(a, throughLink));
    EXPECT_FALSE(TWBaseFunction::pathIsParentOfPath(dir / "other", throughLink));
}

TEST(BaseFunction, PathsThatDoNotExistAreComparedByWholeComponents) {
    EXPECT_TRUE(TWBaseFunction::pathIsParentOfPath("/nonexistent/a", "/nonexistent/a/b"));
    EXPECT_TRUE(TWBaseFunction::pathIsParentOfPath("/nonexistent/a/", "/nonexistent/a/b/c"));
    EXPECT_FALSE(TWBaseFunction::pathIsParentOfPath("/nonexistent/a", "/nonexistent/ab"));
    EXPECT_FALSE(TWBaseFunction::pathIsParentOfPath("/nonexistent/a", "/x/nonexistent/a/b"));
    EXPECT_FALSE(TWBaseFunction::pathIsParentOfPath("/nonexistent/a", "/nonexistent/a"));
    EXPECT_FALSE(TWBaseFunction::pathIsParentOfPath("/nonexistent/a", "/nonexistent/a/"));
    EXPECT_FALSE(TWBaseFunction::pathIsParentOfPath("", "/nonexistent/a"));
    twtest::TempDir dir;
    // An item that is gone, below a folder that exists.
    EXPECT_TRUE(TWBaseFunction::pathIsParentOfPath(dir.path(), dir / "gone/file"));
}

}  // namespace
