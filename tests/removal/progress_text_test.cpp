// The progress texts and percentage that the sheet and the command line show.

#include <gtest/gtest.h>

#include "removal/TWRemovalProgress.h"

namespace {

TEST(RemovalProgressText, TitleAndPercentFromFirstToLastFile) {
    EXPECT_EQ(TWRemovalProgressTitle(3, 1536), "3 files, 1.5 KB remaining");
    EXPECT_EQ(TWRemovalProgressTitle(1, 512), "1 file, 512 B remaining");
    EXPECT_EQ(TWRemovalProgressTitle(0, 0), "0 files, 0 B remaining");
    EXPECT_DOUBLE_EQ(TWRemovalProgressPercent(10, 10), 0.0);
    EXPECT_DOUBLE_EQ(TWRemovalProgressPercent(3, 2), static_cast<float>(100.0f / 3.0f));
    EXPECT_DOUBLE_EQ(TWRemovalProgressPercent(10, 0), 100.0);
    EXPECT_DOUBLE_EQ(TWRemovalProgressPercent(0, 0), 0.0);
}

TEST(RemovalProgressText, TheGuideNamesTheFixedAlbumFolderAndPlaylist) {
    TWRemovalOutcome outcome;
    EXPECT_FALSE(outcome.touchedLibrary());
    outcome.cleanItunes = true;
    const TWCleanMediaLibraryGuide guide = outcome.guide();
    EXPECT_TRUE(outcome.touchedLibrary());
    EXPECT_EQ(guide.prompt(),
              "Twinsift moves all iTunes duplicates to Varnel Duplicate Media. You can use iTunes to complete the "
              "removal. As shown below:");
}

}  // namespace
