// Package records: the bundle's information dictionary and the identity hash.

#include <gtest/gtest.h>
#include <plist/plist.h>
#include <unistd.h>

#include <cstdio>
#include <map>

#include "TWFileUtility.h"
#include "TWHashUtility.h"
#include "TWPackageTree.h"
#include "TestSupport.h"

namespace {

enum class PlistFormat { xml, binary };

// An information dictionary of string values, serialised by libplist.
std::string plistBytes(const std::map<std::string, std::string>& values, PlistFormat format) {
    plist_t dict = plist_new_dict();
    for (const auto& [key, value] : values) plist_dict_set_item(dict, key.c_str(), plist_new_string(value.c_str()));
    char* data = nullptr;
    uint32_t length = 0;
    if (format == PlistFormat::xml) {
        plist_to_xml(dict, &data, &length);
    } else {
        plist_to_bin(dict, &data, &length);
    }
    std::string bytes(data ? data : "", data ? length : 0);
    if (format == PlistFormat::xml) {
        plist_to_xml_free(data);
    } else {
        plist_to_bin_free(data);
    }
    plist_free(dict);
    return bytes;
}

std::map<std::string, std::string> info(const std::string& identifier, const std::string& version,
                                        const std::string& build) {
    return {{"CFBundleIdentifier", identifier}, {"CFBundleShortVersionString", version}, {"CFBundleVersion", build}};
}

TEST(ApplicationBundle, ReadsXmlAndBinaryDictionariesInEachPlace) {
    twtest::TempDir dir;
    dir.write("Xml.app/Contents/Info.plist", plistBytes(info("org.example.xml", "1.2", "42"), PlistFormat::xml));
    dir.write("Bin.app/Resources/Info.plist", plistBytes(info("org.example.bin", "2.0", "7"), PlistFormat::binary));
    dir.write("Top.bundle/Info.plist", plistBytes({{"CFBundleIdentifier", "org.example.top"}}, PlistFormat::xml));
    auto xml = TWApplicationUtility::initWithPath(dir / "Xml.app");
    auto bin = TWApplicationUtility::initWithPath(dir / "Bin.app");
    auto top = TWApplicationUtility::initWithPath(dir / "Top.bundle");
    EXPECT_EQ(xml->fileType(), TWFileTypePackage);
    EXPECT_EQ(xml->category(), TWCategory_packages);
    EXPECT_EQ(xml->applicationIdentify(), "org.example.xml");
    EXPECT_EQ(xml->applicationVersion(), "1.2");
    EXPECT_EQ(xml->applicationBundleVersion(), "42");
    EXPECT_EQ(bin->applicationIdentify(), "org.example.bin");
    EXPECT_EQ(bin->applicationBundleVersion(), "7");
    EXPECT_EQ(top->applicationIdentify(), "org.example.top");
    EXPECT_EQ(top->applicationVersion(), std::nullopt);
    EXPECT_EQ(xml->applicationInfoForKey("NoSuchKey"), std::nullopt);
}

TEST(ApplicationBundle, ContentsWinsOverTheOtherPlacesAndBadFilesAreSkipped) {
    twtest::TempDir dir;
    dir.write("A.app/Contents/Info.plist", plistBytes({{"CFBundleIdentifier", "org.contents"}}, PlistFormat::xml));
    dir.write("A.app/Info.plist", plistBytes({{"CFBundleIdentifier", "org.top"}}, PlistFormat::xml));
    EXPECT_EQ(TWApplicationUtility::initWithPath(dir / "A.app")->applicationIdentify(), "org.contents");
    // A damaged dictionary in the first place does not hide a good one further on.
    dir.write("B.app/Contents/Info.plist", "<?xml version=\"1.0\"?><plist><dict><key>");
    dir.write("B.app/Info.plist", plistBytes({{"CFBundleIdentifier", "org.b"}}, PlistFormat::binary));
    EXPECT_EQ(TWApplicationUtility::initWithPath(dir / "B.app")->applicationIdentify(), "org.b");
    // A dictionary that is a FIFO or a link is not read.
    dir.fifo("C.app/Contents/Info.plist");
    std::string elsewhere =
        dir.write("elsewhere.plist", plistBytes({{"CFBundleIdentifier", "org.c"}}, PlistFormat::xml));
    dir.symlink(elsewhere, "C.app/Info.plist");
    EXPECT_EQ(TWApplicationUtility::initWithPath(dir / "C.app")->applicationIdentify(), std::nullopt);
    EXPECT_EQ(TWApplicationUtility::initWithPath(dir / "missing.app")->applicationIdentify(), std::nullopt);
}

TEST(ApplicationBundle, IdentityHashIgnoresContentAndSeparatesFields) {
    twtest::TempDir dir;
    dir.write("One.app/Contents/Info.plist", plistBytes(info("org.a", "1.0", "5"), PlistFormat::xml));
    dir.write("One.app/Contents/payload", "first");
    dir.write("Two.app/Contents/Info.plist", plistBytes(info("org.a", "1.0", "5"), PlistFormat::binary));
    dir.write("Two.app/Contents/payload", "different payload");
    dir.write("Newer.app/Contents/Info.plist", plistBytes(info("org.a", "1.1", "5"), PlistFormat::xml));
    auto one = TWApplicationUtility::initWithPath(dir / "One.app");
    auto two = TWApplicationUtility::initWithPath(dir / "Two.app");
    auto newer = TWApplicationUtility::initWithPath(dir / "Newer.app");
    ASSERT_TRUE(one->hashString().has_value());
    EXPECT_EQ(one->hashString()->size(), 32u);
    EXPECT_EQ(one->hashString(), two->hashString());
    EXPECT_NE(one->hashString(), newer->hashString());
    // Run together, these two would spell the same text "org.a12.05".
    dir.write("P.app/Info.plist", plistBytes(info("org.a1", "2.0", "5"), PlistFormat::xml));
    dir.write("Q.app/Info.plist", plistBytes(info("org.a", "12.0", "5"), PlistFormat::xml));
    EXPECT_NE(TWApplicationUtility::initWithPath(dir / "P.app")->hashString(),
              TWApplicationUtility::initWithPath(dir / "Q.app")->hashString());
}

TEST(ApplicationBundle, NoIdentifierMeansNoHashUntilOneAppears) {
    twtest::TempDir dir;
    dir.write("X.app/Contents/Info.plist", plistBytes({{"CFBundleVersion", "1"}}, PlistFormat::xml));
    auto record = TWApplicationUtility::initWithPath(dir / "X.app");
    EXPECT_EQ(record->hashString(), std::nullopt);
    EXPECT_EQ(record->cachedHashString(), std::nullopt);
    dir.write("X.app/Contents/Info.plist", plistBytes(info("org.x", "1", "1"), PlistFormat::xml));
    auto hash = record->hashString();
    ASSERT_TRUE(hash.has_value());
    // Once found, the identity is kept.
    dir.write("X.app/Contents/Info.plist", plistBytes(info("org.y", "1", "1"), PlistFormat::xml));
    EXPECT_EQ(record->hashString(), hash);
}

TEST(ApplicationBundle, NumbersAreReadAsText) {
    twtest::TempDir dir;
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "CFBundleIdentifier", plist_new_string("org.n"));
    plist_dict_set_item(dict, "CFBundleVersion", plist_new_uint(1234));
    plist_dict_set_item(dict, "LSRequiresNativeExecution", plist_new_bool(1));
    plist_dict_set_item(dict, "CFBundleIcons", plist_new_dict());
    char* data = nullptr;
    uint32_t length = 0;
    plist_to_bin(dict, &data, &length);
    dir.write("N.app/Contents/Info.plist", std::string(data, length));
    plist_to_bin_free(data);
    plist_free(dict);
    auto record = TWApplicationUtility::initWithPath(dir / "N.app");
    EXPECT_EQ(record->applicationBundleVersion(), "1234");
    EXPECT_EQ(record->applicationInfoForKey("LSRequiresNativeExecution"), "true");
    EXPECT_EQ(record->applicationInfoForKey("CFBundleIcons"), std::nullopt);
}

}  // namespace

namespace {

// The package's tree: what makes two packages copies of each other under the full check.
TEST(PackageTree, EqualTreesOnlyAndLinksComparedAsLinks) {
    twtest::TempDir dir;
    const auto makeTree = [&](const std::string& root) {
        dir.write(root + "/Contents/Info.plist", "<plist/>");
        dir.write(root + "/Contents/MacOS/tool", "binary bytes");
        dir.mkdir(root + "/Contents/Empty");
        dir.symlink("MacOS/tool", root + "/Contents/current");
        dir.fifo(root + "/Contents/pipe");  // a kind, never read
    };
    makeTree("a/Tool.app");
    makeTree("b/Tool.app");
    const auto digest = [&](const std::string& root) { return TWPackageTree::digestOf(dir / root); };
    ASSERT_TRUE(digest("a/Tool.app"));
    EXPECT_EQ(digest("a/Tool.app"), digest("b/Tool.app"));

    makeTree("content/Tool.app");
    dir.write("content/Tool.app/Contents/MacOS/tool", "binary BYTES");
    makeTree("name/Tool.app");
    ASSERT_EQ(::rename((dir / "name/Tool.app/Contents/MacOS/tool").c_str(),
                       (dir / "name/Tool.app/Contents/MacOS/tool2").c_str()),
              0);
    makeTree("kind/Tool.app");
    ASSERT_EQ(::rmdir((dir / "kind/Tool.app/Contents/Empty").c_str()), 0);
    dir.write("kind/Tool.app/Contents/Empty", "");
    makeTree("link/Tool.app");
    ASSERT_EQ(::unlink((dir / "link/Tool.app/Contents/current").c_str()), 0);
    dir.symlink("MacOS/../MacOS/tool", "link/Tool.app/Contents/current");
    for (const char* other : {"content/Tool.app", "name/Tool.app", "kind/Tool.app", "link/Tool.app"})
        EXPECT_NE(digest("a/Tool.app"), digest(other)) << other;

    // A link is never followed: what it points to outside does not count.
    dir.write("outside.txt", "one");
    dir.symlink(dir / "outside.txt", "a/Tool.app/Contents/out");
    dir.symlink(dir / "outside.txt", "b/Tool.app/Contents/out");
    const auto before = digest("a/Tool.app");
    dir.write("outside.txt", "another text");
    EXPECT_EQ(digest("a/Tool.app"), before);
    EXPECT_EQ(digest("b/Tool.app"), before);
    EXPECT_FALSE(TWPackageTree::digestOf(dir / "missing.app"));
}

TEST(PackageTree, APackageShowsTheSizeOfItsContents) {
    twtest::TempDir dir;
    dir.write("Tool.app/Contents/Info.plist", std::string(300, 'p'));
    dir.write("Tool.app/Contents/Resources/data", std::string(5000, 'd'));
    dir.symlink("Resources/data", "Tool.app/Contents/link");
    auto package = TWApplicationUtility::initWithPath(dir / "Tool.app");
    EXPECT_EQ(package->fileType(), TWFileTypePackage);
    EXPECT_EQ(package->fileSize(), 5300u);
    EXPECT_GE(package->fileSizeOnDisk(), 5300u);
    // The tree is read once and kept: it tells what the scan saw.
    EXPECT_FALSE(package->cachedTreeDigest());
    const auto tree = package->treeDigest();
    ASSERT_TRUE(tree);
    dir.write("Tool.app/Contents/Resources/data", std::string(5000, 'e'));
    EXPECT_EQ(package->treeDigest(), tree);
    EXPECT_NE(TWPackageTree::digestOf(dir / "Tool.app"), tree);
}

}  // namespace
