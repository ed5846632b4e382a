// The walk's slots: a reserve held back until the walk is seen to wait, and what tells
// that it waits.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/TWWalkSlots.h"

using namespace std::chrono_literals;

namespace {

int takeAll(TWWalkSlots& slots) {
    int taken = 0;
    while (slots.tryTake()) ++taken;
    return taken;
}

void releaseAll(TWWalkSlots& slots, int count) {
    for (int i = 0; i < count; ++i) slots.release();
}

}  // namespace

TEST(WalkSlots, TheReserveIsAddedOnceAndTakenBackBetweenWalks) {
    TWWalkSlots slots(2, 4);
    EXPECT_EQ(takeAll(slots), 2);
    EXPECT_FALSE(slots.isReserveOpen());
    EXPECT_TRUE(slots.openReserve());
    EXPECT_FALSE(slots.openReserve());  // a second look that finds waits adds nothing
    EXPECT_EQ(takeAll(slots), 4);
    releaseAll(slots, 6);

    slots.closeReserve();
    EXPECT_FALSE(slots.isReserveOpen());
    EXPECT_EQ(takeAll(slots), 2);
    releaseAll(slots, 2);
    slots.closeReserve();  // closed already: nothing more is taken back
    EXPECT_EQ(takeAll(slots), 2);

    TWWalkSlots none(3);
    EXPECT_FALSE(none.openReserve());
    EXPECT_EQ(takeAll(none), 3);
}

TEST(WalkSlots, ATakerWaitingForASlotWakesWhenTheReserveOpens) {
    TWWalkSlots slots(1, 2);
    ASSERT_TRUE(slots.tryTake());
    std::atomic<int> woken{0};
    std::thread a([&] { slots.take(), ++woken; });
    std::thread b([&] { slots.take(), ++woken; });
    slots.openReserve();  // both wait or are about to: both get a slot
    a.join();
    b.join();
    EXPECT_EQ(woken.load(), 2);
}

TEST(WalkWaitWatch, AWalkThatReadsFromStorageWaitsForTheDisk) {
    const auto start = std::chrono::steady_clock::time_point{} + 1s;
    TWWalkWaitWatch watch(2, {start, 100ms, 5000});
    // Full use of both processors, reads just under the bound: no wait.
    EXPECT_FALSE(watch.waits({start + 1ms, 102ms, 5000 + TWWalkWaitWatch::kDiskReadBlocks - 1}));
    EXPECT_TRUE(watch.waits({start + 2ms, 104ms, 5000 + TWWalkWaitWatch::kDiskReadBlocks}));
}

TEST(WalkWaitWatch, AWalkWithTooLittleOfTheProcessorsWaitsForOtherPrograms) {
    const auto start = std::chrono::steady_clock::time_point{} + 1s;
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(TWWalkWaitWatch::kSpan);
    {
        // Nothing used yet, but too short a span to judge.
        TWWalkWaitWatch watch(2, {start, 0us, 0});
        EXPECT_FALSE(watch.waits({start + span / 2, 0us, 0}));
        // 1.8 of 2 processors over a whole span: the walk has what it can use.
        EXPECT_FALSE(watch.waits({start + span, span * 18 / 10, 0}));
        // Then a span with one processor's time: half of the two, too little.
        EXPECT_TRUE(watch.waits({start + span * 2, span * 18 / 10 + span, 0}));
    }
    {
        // Each span is judged on its own: an idle span long ago does not count against a
        // busy one now.
        TWWalkWaitWatch watch(4, {start, 0us, 0});
        EXPECT_TRUE(watch.waits({start + span * 10, span, 0}));
        EXPECT_FALSE(watch.waits({start + span * 11, span + span * 4, 0}));
    }
    {
        // Of one processor (or none known), using all of it.
        TWWalkWaitWatch watch(0, {start, 0us, 0});
        EXPECT_FALSE(watch.waits({start + span, span, 0}));
    }
}

TEST(WalkWaitWatch, TheProcessCanBeAsked) {
    const TWWalkWaitWatch::Sample before = TWWalkWaitWatch::now();
    volatile double spin = 0;
    for (int i = 0; i < 20'000'000; ++i) spin = spin + i;
    const TWWalkWaitWatch::Sample after = TWWalkWaitWatch::now();
    EXPECT_GT(after.at, before.at);
    EXPECT_GT(after.cpu, before.cpu);
    EXPECT_GE(after.blocksRead, before.blocksRead);
}
