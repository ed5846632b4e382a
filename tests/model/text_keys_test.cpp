#include <gtest/gtest.h>

#include "model/TWTextKeys.h"

namespace {

TEST(TextKeysTest, SearchFormDropsCaseAndDiacritics) {
    EXPECT_EQ(TWFoldForSearch("Résumé"), "resume");
    EXPECT_EQ(TWFoldForSearch("RE\xCC\x81SUME\xCC\x81"), "resume");  // already decomposed
    EXPECT_EQ(TWFoldForSearch("Straße"), "strasse");
    EXPECT_EQ(TWFoldForSearch("İstanbul"), "istanbul");
    EXPECT_TRUE(TWTextContainsIgnoringCaseAndDiacritics("Mon CV - Résumé 2024", "RESUME"));
    EXPECT_TRUE(TWTextContainsIgnoringCaseAndDiacritics("Ελληνικά", "ελλην"));
    EXPECT_FALSE(TWTextContainsIgnoringCaseAndDiacritics("resume", "résumés"));
    // Letters that are not a base letter plus a mark stay themselves.
    EXPECT_FALSE(TWTextContainsIgnoringCaseAndDiacritics("Øre", "ore"));
}

TEST(TextKeysTest, InvalidUtf8IsFoldedByteForByteWithoutMerging) {
    const std::string name = "Caf\xC3\xA9-\xFF\xFEx";  // "Café-" then two stray bytes
    EXPECT_EQ(TWFoldForSearch(name), "cafe-\xFF\xFEx");
    EXPECT_TRUE(TWTextContainsIgnoringCaseAndDiacritics(name, "CAFE"));
    EXPECT_TRUE(TWTextContainsIgnoringCaseAndDiacritics(name, "\xFF"));
    EXPECT_FALSE(TWTextContainsIgnoringCaseAndDiacritics(name, "\xFD"));
    EXPECT_EQ(TWLowercase("AB\xFF\xC3\x89T\xC3\x89"), "ab\xFF\xC3\xA9t\xC3\xA9");
    EXPECT_FALSE(TWCollationKey(name).empty());
}

TEST(TextKeysTest, CollationIgnoresCase) {
    EXPECT_LT(TWCollationKey("apple"), TWCollationKey("Banana"));
    EXPECT_LT(TWCollationKey("Banana"), TWCollationKey("cherry"));
    EXPECT_EQ(TWCollationKey("REPORT"), TWCollationKey("report"));
}

}  // namespace
