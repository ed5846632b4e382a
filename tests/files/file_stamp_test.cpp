#include <gtest/gtest.h>

#include "files/TWFileStamp.h"

namespace {

constexpr int64_t kSecond = 1'000'000'000;

TWFileStamp changedAt(int64_t changeTimeNs) {
    TWFileStamp stamp;
    stamp.changeTimeNs = changeTimeNs;
    return stamp;
}

// A file system that keeps whole seconds (or FAT's two) gives a later change inside the
// same tick the same change time, so a stamp is settled only once its whole tick has
// passed: otherwise a cached digest, or the removal's read of a kept copy, would be
// trusted for content written after it.
TEST(FileStamp, AStampIsSettledOnlyOnceTheTickItStandsForHasPassed) {
    const int64_t fine = 1'700'000'000 * kSecond + 123'456'789;
    EXPECT_FALSE(changedAt(fine).isSettledAt(fine));
    EXPECT_TRUE(changedAt(fine).isSettledAt(fine + 1));

    const int64_t wholeSecond = 1'700'000'000 * kSecond;  // ext3, or FAT's two seconds
    EXPECT_FALSE(changedAt(wholeSecond).isSettledAt(wholeSecond + kSecond / 2));
    EXPECT_FALSE(changedAt(wholeSecond).isSettledAt(wholeSecond + kSecond + kSecond / 2));
    EXPECT_TRUE(changedAt(wholeSecond).isSettledAt(wholeSecond + 2 * kSecond));

    const int64_t hundredths = 1'700'000'000 * kSecond + 120'000'000;  // exFAT's 10 ms
    EXPECT_EQ(TWFileStamp::tickOf(hundredths), 10'000'000);
    EXPECT_FALSE(changedAt(hundredths).isSettledAt(hundredths + 5'000'000));
    EXPECT_TRUE(changedAt(hundredths).isSettledAt(hundredths + 10'000'000));

    EXPECT_EQ(TWFileStamp::tickOf(-kSecond + 500'000'000), 100'000'000);  // before 1970
}

}  // namespace
