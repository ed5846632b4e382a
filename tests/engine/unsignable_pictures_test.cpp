// Pictures that cannot be signed (damaged, not pictures at all, too large to decode)
// still count as scanned files and group with their byte-identical copies, as exact
// groups of the Images category, under either similarity measure.

#include <gd.h>
#include <gtest/gtest.h>

#include <cstdint>

#include "ScanHarness.h"
#include "TWPreference.h"
#include "TWPreferenceTypes.h"

using namespace twtest;
using Groups = std::vector<Group>;

namespace {

uint32_t crc32Of(const std::string& bytes, size_t from, size_t count) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = from; i < from + count; ++i) {
        crc ^= static_cast<uint8_t>(bytes[i]);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putBigEndian(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (24 - 8 * i));
}

// A small PNG whose header claims `side` x `side` pixels (with a valid checksum): the
// decoder's limits or the decoding budget refuse it before any pixel is made.
std::string hugePngHeader(uint32_t side) {
    gdImagePtr image = gdImageCreateTrueColor(4, 4);
    std::string bytes = pngBytesOf(image);
    gdImageDestroy(image);
    // Signature (8), IHDR length (4), "IHDR" (4), width (4), height (4), ... CRC after 13 data bytes.
    putBigEndian(bytes, 16, side);
    putBigEndian(bytes, 20, side);
    putBigEndian(bytes, 29, crc32Of(bytes, 12, 17));
    return bytes;
}

class UnsignablePictures : public ::testing::TestWithParam<TWSimilarMethod> {
protected:
    void SetUp() override { TWPreference::shared().setSimilarMethod(GetParam()); }
    ScopedDefaults defaults;
    TempDir dir;
    std::string base = TWFileUtility::resolvePath(dir.path());
};

TEST_P(UnsignablePictures, AreCountedAndGroupWithTheirExactCopies) {
    const std::string noise = randomBytes(5000, 3);
    dir.write("a/noise.jpg", noise);
    dir.write("b/noise.jpg", noise);
    dir.write("c/other-noise.jpg", randomBytes(5000, 4));  // same size, other bytes
    const std::string huge = hugePngHeader(30000);
    dir.write("a/huge.png", huge);
    dir.write("b/huge copy.png", huge);
    // A damaged photo: a real picture cut short.
    gdImagePtr image = gdImageCreateTrueColor(64, 64);
    const std::string cut = pngBytesOf(image).substr(0, 40);
    gdImageDestroy(image);
    dir.write("a/cut.png", cut);
    dir.write("c/cut.png", cut);

    ScanReport report = scan({dir.path()});
    EXPECT_EQ(groupsOf(report, base, TWCategory_images),
              (Groups{{"a/cut.png", "c/cut.png"}, {"a/huge.png", "b/huge copy.png"}, {"a/noise.jpg", "b/noise.jpg"}}));
    for (const auto& container : report.containers) {
        EXPECT_EQ(container->category(), TWCategory_images);
        for (const auto& group : container->duplicateFilesIncludingSimilar()) EXPECT_FALSE(group->isSimilarGroup());
    }
    EXPECT_EQ(report.scanned, 7u);
    EXPECT_EQ(report.duplicates, 3u);
}

TEST_P(UnsignablePictures, GroupByNameAndSizeInNameMode) {
    TWPreference::shared().setSearchMode(TWSearchModeName);
    dir.write("a/scan.jpg", randomBytes(3000, 5));
    dir.write("b/SCAN.jpg", randomBytes(3000, 6));
    dir.write("c/scan.jpg", randomBytes(3001, 7));  // another size
    ScanReport report = scan({dir.path()});
    EXPECT_EQ(groupsOf(report, base, TWCategory_images), (Groups{{"a/scan.jpg", "b/SCAN.jpg"}}));
    EXPECT_EQ(report.scanned, 3u);
}

INSTANTIATE_TEST_SUITE_P(ByEitherMeasure, UnsignablePictures,
                         ::testing::Values(TWSimilarMethodColours, TWSimilarMethodLook),
                         [](const auto& info) { return info.param == TWSimilarMethodLook ? "Look" : "Colours"; });

}  // namespace
