// The decoding budget: what exceeds it is refused at once, leases add up and are given
// back, and a request that does not fit waits until enough is given back.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ZPDecodeBudget.h"

namespace {

TEST(DecodeBudget, RefusesMoreThanTheWholeBudgetAndCountsWhatIsHeld) {
    ZPDecodeBudget budget(1000);
    EXPECT_FALSE(budget.acquire(1001));
    {
        std::optional<ZPDecodeBudget::Lease> a = budget.acquire(600);
        std::optional<ZPDecodeBudget::Lease> b = budget.acquire(400);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(budget.bytesInUse(), 1000u);
        std::optional<ZPDecodeBudget::Lease> moved = std::move(a);
        a.reset();  // the moved-from lease gives nothing back
        EXPECT_EQ(budget.bytesInUse(), 1000u);
    }
    EXPECT_EQ(budget.bytesInUse(), 0u);
    EXPECT_EQ(budget.peakBytesInUse(), 1000u);
    EXPECT_TRUE(budget.acquire(1000));
}

TEST(DecodeBudget, ARequestThatDoesNotFitWaitsForWhatIsGivenBack) {
    ZPDecodeBudget budget(1000);
    std::optional<ZPDecodeBudget::Lease> held = budget.acquire(700);
    std::atomic<bool> served{false};
    std::thread waiter([&] {
        std::optional<ZPDecodeBudget::Lease> lease = budget.acquire(500);
        served = lease.has_value();
    });
    held.reset();
    waiter.join();  // bounded: the 700 given back leave room for it
    EXPECT_TRUE(served);
    EXPECT_LE(budget.peakBytesInUse(), 1000u);
    EXPECT_EQ(budget.bytesInUse(), 0u);
}

}  // namespace
