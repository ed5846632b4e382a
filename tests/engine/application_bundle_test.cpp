// Package records: the bundle's information dictionary and the identity hash.

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <map>

#include "TWFileUtility.h"
#include "TWHashUtility.h"
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
