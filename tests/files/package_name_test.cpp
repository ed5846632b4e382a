// Whether a name is a package's, by its extension alone: what the front ends ask before
// they let a chosen or dropped folder in while packages are skipped.

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "files/TWFileUtility.h"

namespace {

TEST(PackageName, ByTheExtensionInAnyCaseWithoutTouchingTheDisk) {
    EXPECT_TRUE(TWFileUtility::isPackageName("/nowhere/Editor.app"));
    EXPECT_TRUE(TWFileUtility::isPackageName("/nowhere/Editor.APP/"));
    EXPECT_TRUE(TWFileUtility::isPackageName("Driver.kext"));
    EXPECT_TRUE(TWFileUtility::isPackageName("/Library/Sound.component.bundle"));
    EXPECT_FALSE(TWFileUtility::isPackageName("/nowhere/Editor.app/Contents"));
    EXPECT_FALSE(TWFileUtility::isPackageName("/nowhere/notes.apps"));
    EXPECT_FALSE(TWFileUtility::isPackageName("/nowhere/app"));
    EXPECT_FALSE(TWFileUtility::isPackageName("/nowhere/trailing."));
    EXPECT_FALSE(TWFileUtility::isPackageName(""));
}

TEST(PackageName, AgreesWithTheRecordOfAFolder) {
    twtest::TempDir dir;
    const std::string package = dir.mkdir("Tool.app");
    const std::string folder = dir.mkdir("Tool.d");
    EXPECT_TRUE(TWFileUtility::isPackageName(package));
    EXPECT_EQ(TWFileUtility::fileTypeOf(package), TWFileTypePackage);
    EXPECT_FALSE(TWFileUtility::isPackageName(folder));
    EXPECT_EQ(TWFileUtility::fileTypeOf(folder), TWFileTypeDirectory);
}

}  // namespace
