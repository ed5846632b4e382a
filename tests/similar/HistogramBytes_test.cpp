// A colour histogram kept as bytes between scans comes back equal, and damaged or
// foreign bytes come back as nothing.

#include <gtest/gtest.h>

#include <cstring>

#include "similar/PuzzleHistogram.h"

namespace {

PuzzleHistogram sample() {
    PuzzleHistogram histogram;
    histogram.total = 640 * 480;
    histogram.channels = 3;
    for (int block = 0; block < 3; ++block)
        for (int value = 0; value < 256; ++value)
            histogram.bins[block * 256 + value] = (value * 977 + block * 131) % 2400 * (value % 3 == 0 ? 1 : 0);
    histogram.bins[5] = INT32_MAX;
    return histogram;
}

TEST(HistogramBytes, ComeBackEqualAndRefuseDamage) {
    const PuzzleHistogram histogram = sample();
    const std::vector<uint8_t> bytes = puzzleHistogramBytes(histogram);
    EXPECT_LT(bytes.size(), sizeof(PuzzleHistogram) / 2);
    const std::optional<PuzzleHistogram> back = puzzleHistogramFromBytes(bytes.data(), bytes.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->total, histogram.total);
    EXPECT_EQ(back->channels, histogram.channels);
    EXPECT_EQ(std::memcmp(back->bins, histogram.bins, sizeof histogram.bins), 0);

    EXPECT_FALSE(puzzleHistogramFromBytes(bytes.data(), bytes.size() - 1));  // cut short
    std::vector<uint8_t> longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(puzzleHistogramFromBytes(longer.data(), longer.size()));
    std::vector<uint8_t> otherVersion = bytes;
    otherVersion[0] = 2;
    EXPECT_FALSE(puzzleHistogramFromBytes(otherVersion.data(), otherVersion.size()));
    EXPECT_FALSE(puzzleHistogramFromBytes(nullptr, 0));
}

}  // namespace
