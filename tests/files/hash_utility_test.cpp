#include <gtest/gtest.h>

#include "EngineTestHelpers.h"
#include "files/TWHashUtility.h"

namespace {

TEST(HashUtility, KnownDigestsInUpperCaseHex) {
    // RFC 1321 test suite.
    EXPECT_EQ(TWHashUtility::hashStringWithString(""), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(TWHashUtility::hashStringWithString("abc"), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(
        TWHashUtility::hashStringWithString("12345678901234567890123456789012345678901234567890123456789012345678901234"
                                            "567890"),
        "57EDF4A22BE3C955AC49DA2E2107B67A");
}

TEST(HashUtility, DataAndTextAgreeAndAbsentStaysAbsent) {
    EXPECT_EQ(TWHashUtility::hashStringWithData(std::nullopt), std::nullopt);
    std::vector<unsigned char> bytes = {'a', 'b', 'c'};
    EXPECT_EQ(TWHashUtility::hashStringWithData(bytes), TWHashUtility::hashStringWithString("abc"));
    EXPECT_EQ(TWHashUtility::hashStringWithData(std::vector<unsigned char>{}), TWHashUtility::hashStringWithString(""));
}

TEST(HashUtility, BytesThatAreNotUtf8AreHashedAsTheyStand) {
    // Embedded NUL and invalid UTF-8 must neither truncate nor fail.
    std::string text("na\0me\xff\xfe", 7);
    EXPECT_EQ(TWHashUtility::hashStringWithString(text), enginetest::md5sumOf(text));
    EXPECT_NE(TWHashUtility::hashStringWithString(text), TWHashUtility::hashStringWithString("na"));
}

}  // namespace
